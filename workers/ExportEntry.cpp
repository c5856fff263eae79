#include "workers/ExportEntry.h"

#include <cwchar>

namespace KcWorkers {

uint32_t truncateToUint32Seconds(double seconds)
{
    if (!(seconds > 0))
        return 0;
    if (seconds >= 4294967295.0)
        return 4294967295u;
    return static_cast<uint32_t>(seconds);
}

std::wstring makeExportKey(const SExportEntry& entry)
{
    // The day window starts at local midnight or later, so whole days of local seconds give the
    // day number; the 32-bit cut keeps keys of the same day equal whatever the fraction.
    const uint32_t localSeconds = truncateToUint32Seconds(entry.fragment.windowStart);
    const unsigned long dayNumber = localSeconds / 86400u;

    wchar_t dayText[16] = {};
    std::swprintf(dayText, sizeof(dayText) / sizeof(dayText[0]), L"%012lu", dayNumber);
    return dayText + entry.displayNumber + entry.srid + entry.subSourceKey;
}

} // namespace KcWorkers
