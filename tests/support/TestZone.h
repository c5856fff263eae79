#pragma once

// The tests' local time: three hours east of UTC, a fixed zone, so that days, file names and
// export keys do not depend on the machine. Times the tests choose are wall-clock times there.

#include "KelmWriter.h"

#include <string>

namespace KcTest {

constexpr int kZoneOffset = 3 * 3600;

// Local seconds (as export requests and entries hold them) of a wall-clock time.
double Local(int year, int month, int day, int hour, int minute, double second);

// UTC seconds of a wall-clock time in the tests' zone, or nHours east of UTC.
double LocalToUtc(int year, int month, int day, int hour, int minute, double second);
double LocalToUtc(int nHours, int year, int month, int day, int hour, int minute, double second);

// A recording of one camera between two local times, video on esno 1 and audio on esno 2.
SRecordingOptions Recording(const std::string& srid, double localStart, double localEnd);

} // namespace KcTest
