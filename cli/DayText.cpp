#include "DayText.h"

#include "TimeUtil.h"

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

QString SizeText(quint64 ullBytes)
{
    constexpr quint64 kGb = quint64(1) << 30;
    constexpr quint64 kMb = quint64(1) << 20;
    constexpr quint64 kKb = quint64(1) << 10;

    if (ullBytes >= 1048576000u) {
        if (ullBytes % kGb >= 10485760u)
            return QStringLiteral("%L1 Gb").arg(double(ullBytes) / double(kGb), 0, 'f', 2);
        return QStringLiteral("%1 Gb").arg(ullBytes / kGb);
    }
    if (ullBytes >= 1024000u)
        return QStringLiteral("%1 Mb").arg(ullBytes / kMb);
    if (ullBytes >= 1000u)
        return QStringLiteral("%1 Kb").arg(ullBytes / kKb);
    return QStringLiteral("%1 Bytes").arg(ullBytes);
}

QString DurationText(quint64 ullSeconds, bool bAfterFrom)
{
    quint64 t = ullSeconds;
    if (t > 600)
        t = KcTime::CTimeUtil::roundUpToMinute(t);
    const quint64 hours = t / 3600;
    const quint64 minutes = (t / 60) % 60;
    const quint64 seconds = t % 60;

    // The panes' English: one form for "hour" in the ordinary case only, and the few/many forms
    // (which a translation tells apart) both read "hours".
    QStringList parts;
    if (hours > 0) {
        const bool bSingular = !bAfterFrom && (hours == 1 || hours == 21);
        parts << QStringLiteral("%1 %2").arg(hours).arg(bSingular ? QStringLiteral("hour") : QStringLiteral("hours"));
    }
    if (minutes > 0)
        parts << QStringLiteral("%1 min").arg(minutes);
    if (seconds > 0)
        parts << QStringLiteral("%1 sec").arg(seconds);
    return parts.join(QLatin1Char(' '));
}

SDayText DescribeDay(const KcWorkers::SExportEntry& entry, int nCells)
{
    const KELMNameSpace::SExportFragment& fragment = entry.fragment;
    SDayText text;
    text.qsSize = SizeText(fragment.estimatedSize);
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
                      .arg(DurationText(text.ullLostSeconds, false), DurationText(text.ullSpanSeconds, true));
    for (const SGapSegment& segment : GapSegments(ullStart, ullStop, text.ullSpanSeconds, fragment.videoParts, nCells))
        text.qsTimeLine.replace(segment.first, segment.second - segment.first + 1,
                                QString(segment.second - segment.first + 1, kGapCell));
    return text;
}

} // namespace KcCli
