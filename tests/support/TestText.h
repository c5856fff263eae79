#pragma once

// The engine takes and gives paths and messages as wide strings; the tests write UTF-8.

#include <string>
#include <vector>

namespace KcTest {

std::wstring Wide(const std::string& text);
std::string Narrow(const std::wstring& text);
std::vector<std::wstring> WidePaths(const std::vector<std::string>& paths);

} // namespace KcTest
