// The day texts of scan: the same figures the desktop program's date panes show; the progress
// line's texts.
#include "cli/DayText.h"
#include "cli/ProgressPrinter.h"

#include <gtest/gtest.h>

namespace KcCliTest {
namespace {

using KcCli::DescribeDay;
using KcCli::GapSegments;
using KcCli::SGapSegment;

KELMNameSpace::SMediaPart Part(double start, double end)
{
    KELMNameSpace::SMediaPart part;
    part.startTime = start;
    part.endTime = end;
    return part;
}

TEST(DayTextTest, GapsAtBothEndsReachTheLineEnds)
{
    // 0..100 s on 10 cells; video from 20 to 70: cells 2..7 covered.
    const std::vector<SGapSegment> segments = GapSegments(1000, 1100, 100, {Part(1020, 1070)}, 10);
    EXPECT_EQ(segments, (std::vector<SGapSegment>{{0, 1}, {8, 9}}));
}

TEST(DayTextTest, PartsOutsideTheDayAreClippedOrIgnored)
{
    const std::vector<SGapSegment> segments =
        GapSegments(1000, 1100, 100, {Part(900, 1030), Part(1200, 1300), Part(1090, 1500)}, 10);
    // 0..3 from the clipped first part, 9 from the clipped last one; the second lies outside.
    EXPECT_EQ(segments, (std::vector<SGapSegment>{{4, 8}}));
}

TEST(DayTextTest, LostTimeBelowTenSecondsIsNotShown)
{
    KcWorkers::SExportEntry entry;
    entry.fragment.startTime = 1000;
    entry.fragment.endTime = 1100;
    entry.fragment.videoParts = {Part(1000, 1045), Part(1054, 1100)};
    KcCli::SDayText day = DescribeDay(entry, 10);
    EXPECT_EQ(day.ullLostSeconds, 9u);
    EXPECT_TRUE(day.qsLost.isEmpty());
    EXPECT_EQ(day.qsTimeLine.toStdString(), "##########");

    entry.fragment.videoParts = {Part(1000, 1045), Part(1055, 1100)};
    day = DescribeDay(entry, 10);
    EXPECT_EQ(day.qsLost.toStdString(), "Lost: 10 sec from 1 min 40 sec");

    entry.fragment.videoParts = {Part(1000, 1040), Part(1060, 1100)};
    day = DescribeDay(entry, 10);
    EXPECT_EQ(day.qsLost.toStdString(), "Lost: 20 sec from 1 min 40 sec");
    EXPECT_EQ(day.qsTimeLine.toStdString(), "#####.####");
}

TEST(DayTextTest, ClockTimesAreLocalAndTheStopRoundsUpToAMinute)
{
    KcWorkers::SExportEntry entry;
    entry.fragment.startTime = 1772409594.5; // 2026-03-01 23:59:54.5 as local seconds
    entry.fragment.endTime = 1772409599.99;
    const KcCli::SDayText day = DescribeDay(entry);
    EXPECT_TRUE(day.bTimesValid);
    EXPECT_EQ(day.qsDate.toStdString(), "2026-03-01");
    EXPECT_EQ(day.qsStart.toStdString(), "23:59");
    EXPECT_EQ(day.qsStop.toStdString(), "00:00");
}

TEST(DayTextTest, StartAfterStopReadsAsIncorrect)
{
    KcWorkers::SExportEntry entry;
    entry.fragment.startTime = 2000;
    entry.fragment.endTime = 1000;
    entry.fragment.estimatedSize = 5000;
    const KcCli::SDayText day = DescribeDay(entry);
    EXPECT_FALSE(day.bTimesValid);
    EXPECT_EQ(day.qsDate.toStdString(), "incorrect time value");
    EXPECT_TRUE(day.qsStart.isEmpty());
    EXPECT_EQ(day.qsSize.toStdString(), "4 Kb");
}

TEST(DayTextTest, TheProgressLineFitsTheTerminalAndLeavesTheLastColumnFree)
{
    using KcCli::CProgressPrinter;
    const QString qsLine = KcCli::ProgressBarText(50, 10) + QStringLiteral("  day 1/3"); // 26 characters
    EXPECT_EQ(qsLine, QStringLiteral("[#####.....]  50%  day 1/3"));
    EXPECT_EQ(CProgressPrinter::fitToWidth(qsLine, 0), qsLine); // width unknown: as it is
    EXPECT_EQ(CProgressPrinter::fitToWidth(qsLine, 27), qsLine);
    EXPECT_EQ(CProgressPrinter::fitToWidth(qsLine, 26), qsLine.left(25));
    EXPECT_EQ(CProgressPrinter::fitToWidth(qsLine, 12), QStringLiteral("[#####....."));
    EXPECT_EQ(CProgressPrinter::fitToWidth(qsLine, 1), QString());
}

} // namespace
} // namespace KcCliTest
