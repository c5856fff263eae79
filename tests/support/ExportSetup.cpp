#include "ExportSetup.h"

#include "TextConvert.h"

#include <algorithm>
#include <filesystem>

namespace KcTest {

namespace fs = std::filesystem;

std::wstring Wide(const std::string& text) { return UtilsNameSpace::Utf8ToWide(text); }
std::string Narrow(const std::wstring& text) { return UtilsNameSpace::WideToUtf8(text); }

double Local(int year, int month, int day, int hour, int minute, double second)
{
    // Local times are kept as if they were UTC.
    return UtcSeconds(year, month, day, hour, minute, second);
}

SRecordingOptions Recording(const std::string& srid, double localStart, double localEnd)
{
    SRecordingOptions options;
    options.srid = srid;
    options.startUtc = localStart - kExportZoneOffset;
    options.endUtc = localEnd - kExportZoneOffset;
    options.videoEsno = 1;
    options.audioEsno = 2;
    return options;
}

bool LoadAndSetOffset(KELMNameSpace::CKELMExport& storage, const std::vector<std::string>& paths,
                      UtilsNameSpace::SErrorInfo* pError)
{
    std::vector<std::wstring> widePaths;
    for (const std::string& path : paths)
        widePaths.push_back(Wide(path));
    return storage.LoadContent(widePaths, pError) && storage.SetUTCTimeToLocalTimeOffset(kExportZoneOffset, pError);
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
