#include "export/FileSystemName.h"

#include "container/TextConvert.h"

#include <cstdint>
#include <cwchar>

namespace KELMNameSpace {

namespace {

constexpr size_t kHashDigits = 8;
constexpr wchar_t kHashMark = L'~';

bool IsReplaced(wchar_t c)
{
    const uint32_t code = static_cast<uint32_t>(c);
    if (code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F))
        return true; // NUL and the control characters
    if (code >= 0xD800 && code <= 0xDFFF)
        return true; // no character: UTF-8 has no form for it
    if (code > 0x10FFFF)
        return true;
    return std::wcschr(L"/\\<>:\"|?*", c) != nullptr;
}

size_t Utf8Bytes(wchar_t c)
{
    const uint32_t code = static_cast<uint32_t>(c);
    return code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
}

bool IsHexDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f');
}

// Ends like a changed name's mark, so it must be marked itself to keep apart from one.
bool LooksMarked(const std::wstring& name)
{
    if (name.size() < kHashDigits + 1 || name[name.size() - kHashDigits - 1] != kHashMark)
        return false;
    for (size_t i = name.size() - kHashDigits; i < name.size(); ++i) {
        if (!IsHexDigit(name[i]))
            return false;
    }
    return true;
}

// FNV-1a over the UTF-8 form: stable across runs and machines, so a re-run finds its files.
std::wstring HashMark(const std::wstring& text)
{
    uint32_t hash = 2166136261u;
    for (const char byte : UtilsNameSpace::WideToUtf8(text)) {
        hash ^= static_cast<uint8_t>(byte);
        hash *= 16777619u;
    }
    wchar_t mark[kHashDigits + 2];
    std::swprintf(mark, sizeof(mark) / sizeof(mark[0]), L"%lc%08x", static_cast<wint_t>(kHashMark), hash);
    return mark;
}

} // namespace

std::wstring MakeFileSystemName(const std::wstring& text, size_t maxBytes)
{
    std::wstring name;
    name.reserve(text.size() + 1);
    bool bChanged = false;
    size_t bytes = 0;
    for (const wchar_t c : text) {
        const bool bReplaced = IsReplaced(c);
        bChanged = bChanged || bReplaced;
        name += bReplaced ? L'_' : c;
        bytes += bReplaced ? 1 : Utf8Bytes(c);
    }
    if (name.empty()) {
        name = L"_";
        bChanged = true;
        bytes = 1;
    } else if (name.front() == L'.') {
        // Defuses "." and ".." and keeps the folder from being hidden.
        name.insert(name.begin(), L'_');
        bChanged = true;
        ++bytes;
    }
    if (bytes > maxBytes || LooksMarked(name))
        bChanged = true;
    if (!bChanged)
        return name;

    const std::wstring mark = HashMark(text);
    const size_t room = maxBytes > mark.size() ? maxBytes - mark.size() : 0;
    // Cut on a character boundary: wide text holds one character per element.
    size_t kept = 0;
    size_t keptBytes = 0;
    while (kept < name.size() && keptBytes + Utf8Bytes(name[kept]) <= room)
        keptBytes += Utf8Bytes(name[kept++]);
    name.resize(kept);
    return name + mark;
}

} // namespace KELMNameSpace
