#include "ExportSetup.h"

#include <algorithm>
#include <filesystem>

namespace KcTest {

namespace fs = std::filesystem;

bool LoadAndSetOffset(KELMNameSpace::CKELMExport& storage, const std::vector<std::string>& paths,
                      UtilsNameSpace::SErrorInfo* pError)
{
    return storage.LoadContent(WidePaths(paths), pError) && storage.SetUTCTimeToLocalTimeOffset(kZoneOffset, pError);
}

KELMNameSpace::SExportRequest Request(const std::string& srid, double localStart, double localEnd,
                                      const std::string& targetDirectory)
{
    KELMNameSpace::SExportRequest request;
    request.startTime = localStart;
    request.endTime = localEnd;
    request.srid = Wide(srid);
    request.displayNumber = L"1";
    request.targetDirectory = Wide(targetDirectory);
    return request;
}

std::vector<std::string> FilesUnder(const std::string& folder)
{
    std::vector<std::string> files;
    std::error_code error;
    const fs::path root = folder;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        if (it->is_regular_file())
            files.push_back(fs::relative(it->path(), root).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace KcTest
