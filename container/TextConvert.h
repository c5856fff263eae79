#pragma once

#include <string>

namespace UtilsNameSpace {

// Narrow text in the engine (protobuf strings, file names) is UTF-8 whatever the process locale,
// and wide text is UTF-32 here. Invalid input sequences become U+FFFD; nothing throws.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

// The narrow/wide conversions of the engine; on this platform they are the UTF-8 ones.
inline std::wstring NarrowToWide(const std::string& text)
{
    return Utf8ToWide(text);
}
inline std::string WideToNarrow(const std::wstring& text)
{
    return WideToUtf8(text);
}

} // namespace UtilsNameSpace
