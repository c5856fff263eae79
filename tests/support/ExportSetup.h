#pragma once

// What the export tests set up: recordings loaded into a storage in the tests' zone, the request
// for a span of them, and the files a run leaves behind.
// Nothing here asserts; the tests check what these return.

#include "KelmWriter.h"
#include "TestText.h"
#include "TestZone.h"
#include "export/KELMExport.h"

#include <string>
#include <vector>

namespace KcTest {

// Loads the files and sets the tests' zone offset; false with the error at the first failure.
bool LoadAndSetOffset(KELMNameSpace::CKELMExport& storage, const std::vector<std::string>& paths,
                      UtilsNameSpace::SErrorInfo* pError);

// The request for one camera's span, shown as display number 1.
KELMNameSpace::SExportRequest Request(const std::string& srid, double localStart, double localEnd,
                                      const std::string& targetDirectory);

// Regular files below the folder (recursively), relative to it, sorted.
std::vector<std::string> FilesUnder(const std::string& folder);

} // namespace KcTest
