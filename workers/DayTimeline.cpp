#include "workers/DayTimeline.h"

#include "workers/ExportEntry.h"

#include <algorithm>

namespace KcWorkers {

quint64 lostSeconds(quint64 ullSpan, const std::vector<KELMNameSpace::SMediaPart>& videoParts)
{
    quint64 ullCovered = 0;
    for (const KELMNameSpace::SMediaPart& part : videoParts) {
        const quint64 ullPartStart = truncateToUint32Seconds(part.startTime);
        const quint64 ullPartStop = truncateToUint32Seconds(part.endTime);
        if (ullPartStop > ullPartStart)
            ullCovered += ullPartStop - ullPartStart;
    }
    ullCovered = std::min(ullCovered, ullSpan);
    return ullSpan - ullCovered;
}

std::vector<SGapSegment> gapSegments(quint64 ullStart, quint64 ullStop, quint64 ullSpan,
                                     const std::vector<KELMNameSpace::SMediaPart>& videoParts, int nCells)
{
    std::vector<SGapSegment> segments;
    if (ullSpan == 0 || nCells <= 0)
        return segments;

    // Mark the cells that hold video; every run of unmarked cells is a gap. The last cell takes
    // the day's stop (and whatever a short span pushes past it).
    const quint64 ullCells = quint64(nCells);
    const quint64 ullLastCell = ullCells - 1;
    std::vector<bool> covered(size_t(nCells), false);
    for (const KELMNameSpace::SMediaPart& part : videoParts) {
        const quint64 s = std::max<quint64>(truncateToUint32Seconds(part.startTime), ullStart);
        if (s > ullStop)
            continue;
        const quint64 e = std::min<quint64>(truncateToUint32Seconds(part.endTime), ullStop);
        if (e < ullStart)
            continue;
        quint64 a = std::min((s - ullStart) * ullCells / ullSpan, ullLastCell);
        const quint64 b = std::min((e - ullStart) * ullCells / ullSpan, ullLastCell);
        if (a > b)
            a = b;
        std::fill(covered.begin() + qint64(a), covered.begin() + qint64(b) + 1, true);
    }

    for (int j = 0; j < nCells;) {
        if (covered[size_t(j)]) {
            ++j;
            continue;
        }
        int i = j + 1;
        while (i < nCells && !covered[size_t(i)])
            ++i;
        segments.emplace_back(j, i - 1);
        j = i + 1;
    }
    return segments;
}

} // namespace KcWorkers
