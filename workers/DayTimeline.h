#pragma once

#include "export/ExportTypes.h"

#include <QtGlobal>

#include <utility>
#include <vector>

namespace KcWorkers {

// The time line of one day, as the date panes draw it and the scan text prints it. Every time is
// in whole seconds cut by truncateToUint32Seconds, like the day's start, stop and length.

// Seconds of a day of ullSpan seconds that its video parts leave without video. The parts'
// lengths are added as they are (a part that ends before it starts adds nothing) and the sum is
// capped at the span, so overlapping parts cannot make the loss wrap around.
quint64 lostSeconds(quint64 ullSpan, const std::vector<KELMNameSpace::SMediaPart>& videoParts);

// Runs of cells without video on a line of nCells cells over [ullStart, ullStop], each as
// (first cell, last cell), both inclusive. Parts are clipped to the day and ones wholly outside
// it are ignored; a part that ends before it starts still marks the cell of its end. ullSpan is
// the day's own length, which may be a second short of ullStop - ullStart when both ends carry
// fractions; no runs for a span or a line of 0.
using SGapSegment = std::pair<int, int>;
std::vector<SGapSegment> gapSegments(quint64 ullStart, quint64 ullStop, quint64 ullSpan,
                                     const std::vector<KELMNameSpace::SMediaPart>& videoParts, int nCells);

} // namespace KcWorkers
