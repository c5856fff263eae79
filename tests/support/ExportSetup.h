#pragma once

// What the export tests set up: recordings of one camera between two local times, loaded into a
// storage in the tests' zone, the request for a span of them, and the files a run leaves behind.
// Nothing here asserts; the tests check what these return.

#include "KELMExport.h"
#include "KelmWriter.h"

#include <string>
#include <vector>

namespace KcTest {

// The export tests run three hours east of UTC, whatever the machine's zone.
constexpr double kExportZoneOffset = 3 * 3600;

std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& text);

// Local seconds (as requests hold them) of a local calendar time.
double Local(int year, int month, int day, int hour, int minute, double second);

// A recording of one camera between two local times, video on esno 1 and audio on esno 2.
SRecordingOptions Recording(const std::string& srid, double localStart, double localEnd);

// Loads the files and sets the zone's offset; false with the error at the first failure.
bool LoadAndSetOffset(KELMNameSpace::CKELMExport& storage, const std::vector<std::string>& paths,
                      UtilsNameSpace::SErrorInfo* pError);

// The request for one camera's span, shown as display number 1.
KELMNameSpace::SExportRequest Request(const std::string& srid, double localStart, double localEnd,
                                      const std::string& targetDirectory);

// Regular files below the folder (recursively), relative to it, sorted.
std::vector<std::string> FilesUnder(const std::string& folder);

} // namespace KcTest
