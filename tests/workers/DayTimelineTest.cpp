// The time line of a day: the cases its two users (date pane, scan text) never hand it or never
// try, checked on the shared computation directly.

#include "workers/DayTimeline.h"

#include <gtest/gtest.h>

#include <vector>

using KcWorkers::SGapSegment;

namespace {

KELMNameSpace::SMediaPart Part(double start, double end)
{
    KELMNameSpace::SMediaPart part;
    part.startTime = start;
    part.endTime = end;
    return part;
}

TEST(DayTimelineTest, LostSecondsNeverWrapAndCutEachEndToWholeSeconds)
{
    struct SCase {
        const char* pName;
        quint64 ullSpan;
        std::vector<KELMNameSpace::SMediaPart> parts;
        quint64 ullLost;
    };
    const SCase cases[] = {
        {"overlapping parts add up past the span", 100, {Part(1000, 1100), Part(1050, 1150)}, 0},
        {"each end cut on its own: 10.9..20.1 is 10..20", 100, {Part(1010.9, 1020.1)}, 90},
        {"a day of no length loses nothing", 0, {}, 0},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(KcWorkers::lostSeconds(c.ullSpan, c.parts), c.ullLost) << c.pName;
}

TEST(DayTimelineTest, GapSegmentsOfDegenerateDays)
{
    struct SCase {
        const char* pName;
        quint64 ullStart;
        quint64 ullStop;
        quint64 ullSpan;
        int nCells;
        std::vector<SGapSegment> gaps;
    };
    const std::vector<KELMNameSpace::SMediaPart> parts = {Part(1000, 1100)};
    const SCase cases[] = {
        {"start later than stop: no part fits, the whole line is a gap", 1100, 1000, 100, 10, {{0, 9}}},
        {"no span: nothing to divide by", 1000, 1000, 0, 10, {}},
        {"no cells", 1000, 1100, 100, 0, {}},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(KcWorkers::gapSegments(c.ullStart, c.ullStop, c.ullSpan, parts, c.nCells), c.gaps) << c.pName;
}

} // namespace
