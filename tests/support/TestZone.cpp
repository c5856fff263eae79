#include "TestZone.h"

namespace KcTest {

double Local(int year, int month, int day, int hour, int minute, double second)
{
    // Local times are kept as if they were UTC.
    return UtcSeconds(year, month, day, hour, minute, second);
}

double LocalToUtc(int year, int month, int day, int hour, int minute, double second)
{
    return Local(year, month, day, hour, minute, second) - kZoneOffset;
}

double LocalToUtc(int nHours, int year, int month, int day, int hour, int minute, double second)
{
    return Local(year, month, day, hour, minute, second) - nHours * 3600.0;
}

SRecordingOptions Recording(const std::string& srid, double localStart, double localEnd)
{
    SRecordingOptions options;
    options.srid = srid;
    options.startUtc = localStart - kZoneOffset;
    options.endUtc = localEnd - kZoneOffset;
    options.videoEsno = 1;
    options.audioEsno = 2;
    return options;
}

} // namespace KcTest
