#include "cli/DayText.h"

#include "core/DisplayText.h"
#include "core/TimeUtil.h"

#include <QDateTime>

namespace KcCli {

namespace {

constexpr QChar kRecordedCell = QLatin1Char('#');
constexpr QChar kGapCell = QLatin1Char('.');

QDateTime AsUtc(quint64 ullSeconds)
{
    // The day's times are already local: read them as UTC so that nothing shifts them again.
    return QDateTime::fromSecsSinceEpoch(qint64(ullSeconds), Qt::UTC);
}

} // namespace

SDayText DescribeDay(const KcWorkers::SExportEntry& entry, int nCells)
{
    const KELMNameSpace::SExportFragment& fragment = entry.fragment;
    SDayText text;
    text.qsSize = KcCore::CDisplayText::size(fragment.estimatedSize);
    text.qsTimeLine = QString(nCells, kRecordedCell);

    if (fragment.startTime > fragment.endTime) {
        text.qsDate = QStringLiteral("incorrect time value");
        return text;
    }
    text.bTimesValid = true;

    const quint64 ullStart = KcWorkers::truncateToUint32Seconds(fragment.startTime);
    const quint64 ullStop = KcWorkers::truncateToUint32Seconds(fragment.endTime);
    const QDateTime start = AsUtc(ullStart);
    const QDateTime stop = AsUtc(KcTime::CTimeUtil::roundUpToMinute(ullStop));
    text.qsDate = start.toString(QStringLiteral("yyyy-MM-dd"));
    text.qsStart = start.toString(QStringLiteral("hh:mm"));
    text.qsStop = stop.toString(QStringLiteral("hh:mm"));

    text.ullSpanSeconds = KcWorkers::truncateToUint32Seconds(fragment.endTime - fragment.startTime);
    text.ullLostSeconds = KcWorkers::lostSeconds(text.ullSpanSeconds, fragment.videoParts);
    if (text.ullLostSeconds < kLostTimeThreshold)
        return text;

    text.qsLost = QStringLiteral("Lost: %1 from %2")
                      .arg(KcCore::CDisplayText::duration(text.ullLostSeconds, false).trimmed(),
                           KcCore::CDisplayText::duration(text.ullSpanSeconds, true).trimmed());
    for (const SGapSegment& segment : GapSegments(ullStart, ullStop, text.ullSpanSeconds, fragment.videoParts, nCells))
        text.qsTimeLine.replace(segment.first, segment.second - segment.first + 1,
                                QString(segment.second - segment.first + 1, kGapCell));
    return text;
}

} // namespace KcCli
