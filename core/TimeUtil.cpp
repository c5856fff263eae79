#include "core/TimeUtil.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace KcTime {

namespace {

std::mutex g_zoneMutex;
QTimeZone g_selectedZone; // invalid until the user picks one

// Far beyond any recording, yet well inside what QDateTime can represent.
constexpr double kMomentLimit = 1e13;

qint64 wholeSeconds(double seconds)
{
    if (std::isnan(seconds))
        return 0;
    return qint64(std::floor(std::clamp(seconds, -kMomentLimit, kMomentLimit)));
}

QTimeZone effectiveZone()
{
    const QTimeZone selected = CTimeUtil::selectedTimeZone();
    return selected.isValid() ? selected : QTimeZone::systemTimeZone();
}

} // namespace

void CTimeUtil::setSelectedTimeZone(const QTimeZone& zone)
{
    std::lock_guard<std::mutex> lock(g_zoneMutex);
    g_selectedZone = zone;
}

QTimeZone CTimeUtil::selectedTimeZone()
{
    std::lock_guard<std::mutex> lock(g_zoneMutex);
    return g_selectedZone;
}

QString CTimeUtil::utcOffsetText(int hours)
{
    if (hours > 0)
        return QStringLiteral("UTC+%1").arg(hours);
    if (hours < 0)
        return QStringLiteral("UTC%1").arg(hours);
    return QStringLiteral("UTC+0");
}

int CTimeUtil::standardOffsetAtSeconds(qint64 seconds)
{
    return effectiveZone().standardTimeOffset(QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC));
}

double CTimeUtil::standardOffsetAt(double seconds)
{
    return double(standardOffsetAtSeconds(wholeSeconds(seconds)));
}

int CTimeUtil::systemStandardOffsetNow()
{
    return QTimeZone::systemTimeZone().standardTimeOffset(QDateTime::currentDateTimeUtc());
}

quint64 CTimeUtil::roundUpToMinute(quint64 seconds)
{
    const quint64 remainder = seconds % 60;
    return remainder == 0 ? seconds : seconds + (60 - remainder);
}

double CTimeUtil::toLocalSeconds(double seconds)
{
    return seconds + standardOffsetAt(seconds);
}

} // namespace KcTime
