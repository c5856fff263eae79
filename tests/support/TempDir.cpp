#include "TempDir.h"

#include "container/TextConvert.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include <stdlib.h>

namespace KcTest {

CTempDir::CTempDir()
{
    std::error_code error;
    std::filesystem::path root = std::filesystem::temp_directory_path(error);
    if (error)
        root = "/tmp";
    // Left-over folders tell which test program made them.
    std::string pattern = (root / (std::string(program_invocation_short_name) + "-XXXXXX")).string();
    if (::mkdtemp(&pattern[0]))
        m_path = pattern;
}

CTempDir::~CTempDir()
{
    if (!m_path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
}

std::wstring CTempDir::WidePath(const std::wstring& name) const
{
    const std::wstring base = UtilsNameSpace::Utf8ToWide(m_path);
    return name.empty() ? base : base + L"/" + name;
}

void CTempDir::WriteFile(const std::string& name, const std::string& content) const
{
    std::ofstream(Path(name), std::ios::binary) << content;
}

std::string CTempDir::ReadFile(const std::string& name) const
{
    std::ifstream in(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace KcTest
