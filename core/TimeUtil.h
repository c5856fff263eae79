#pragma once

#include <QString>
#include <QTimeZone>
#include <QtGlobal>

#include <type_traits>

namespace KcTime {

// Local time of recordings follows one process-wide time zone, in standard time only: daylight
// saving is ignored everywhere, so a day never has 23 or 25 hours. While no valid zone is
// selected, the computer's own zone applies.
class CTimeUtil {
public:
    // The selected zone is replaced on the GUI thread while no analysis runs; readers on other
    // threads always see a whole zone.
    static void setSelectedTimeZone(const QTimeZone& zone);
    static QTimeZone selectedTimeZone();

    // "UTC+3", "UTC-5", "UTC+0".
    static QString utcOffsetText(int hours);

    // Standard-time offset in seconds of the selected zone (or the system's) at a moment given
    // in seconds since 1970.
    template <typename T, std::enable_if_t<std::is_integral_v<T>, int> = 0>
    static int standardOffsetAt(T seconds)
    {
        return standardOffsetAtSeconds(qint64(seconds));
    }
    static double standardOffsetAt(double seconds);

    static int systemStandardOffsetNow();

    static quint64 roundUpToMinute(quint64 seconds);

    template <typename T, std::enable_if_t<std::is_integral_v<T>, int> = 0>
    static qint64 toLocalSeconds(T seconds)
    {
        return qint64(seconds) + standardOffsetAtSeconds(qint64(seconds));
    }
    static double toLocalSeconds(double seconds);

private:
    static int standardOffsetAtSeconds(qint64 seconds);
};

} // namespace KcTime
