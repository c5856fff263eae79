#include "TestText.h"

#include "container/TextConvert.h"

namespace KcTest {

std::wstring Wide(const std::string& text)
{
    return UtilsNameSpace::Utf8ToWide(text);
}

std::string Narrow(const std::wstring& text)
{
    return UtilsNameSpace::WideToUtf8(text);
}

std::vector<std::wstring> WidePaths(const std::vector<std::string>& paths)
{
    std::vector<std::wstring> wide;
    wide.reserve(paths.size());
    for (const std::string& path : paths)
        wide.push_back(Wide(path));
    return wide;
}

} // namespace KcTest
