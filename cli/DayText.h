#pragma once

#include "workers/DayTimeline.h"
#include "workers/ExportEntry.h"

#include <QString>
#include <QtGlobal>

#include <vector>

namespace KcCli {

// What a date pane of the desktop program shows of one camera and day, as console text: the same
// figures, the same rounding, the same English words.

// Runs of cells without video on a line of nCells cells over [ullStart, ullStop], each as
// (first cell, last cell), both inclusive: the panes' own runs (see DayTimeline.h).
using SGapSegment = KcWorkers::SGapSegment;
inline std::vector<SGapSegment> GapSegments(quint64 ullStart, quint64 ullStop, quint64 ullSpan,
                                            const std::vector<KELMNameSpace::SMediaPart>& videoParts, int nCells)
{
    return KcWorkers::gapSegments(ullStart, ullStop, ullSpan, videoParts, nCells);
}

// Gaps shorter than this are not shown, as on the panes.
constexpr quint64 kLostTimeThreshold = 10;
constexpr int kTextTimeLineCells = 64;

struct SDayText {
    bool bTimesValid = false; // false when the day's start lies after its end
    QString qsDate;           // "2026-03-01", or "incorrect time value"
    QString qsStart;          // "hh:mm"
    QString qsStop;           // "hh:mm", rounded up to a whole minute
    QString qsSize;
    quint64 ullSpanSeconds = 0;
    quint64 ullLostSeconds = 0;
    QString qsLost;     // "Lost: 56 min from 1 hour 4 min"; empty below the threshold
    QString qsTimeLine; // kTextTimeLineCells characters: '#' recorded, '.' missing
};

SDayText DescribeDay(const KcWorkers::SExportEntry& entry, int nCells = kTextTimeLineCells);

} // namespace KcCli
