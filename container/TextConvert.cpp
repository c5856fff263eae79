#include "container/TextConvert.h"

#include <cstdint>

namespace UtilsNameSpace {

static_assert(sizeof(wchar_t) == 4, "wide text is UTF-32 on this platform");

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

bool IsValidCodePoint(uint32_t codePoint)
{
    return codePoint <= 0x10FFFF && (codePoint < 0xD800 || codePoint > 0xDFFF);
}

} // namespace

std::wstring Utf8ToWide(const std::string& text)
{
    std::wstring result;
    result.reserve(text.size());
    const auto* pBytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    size_t i = 0;
    while (i < size) {
        const unsigned char lead = pBytes[i];
        if (lead < 0x80) {
            result += static_cast<wchar_t>(lead);
            ++i;
            continue;
        }
        // The allowed range of the first continuation byte excludes overlong forms, surrogates and
        // code points above U+10FFFF (RFC 3629, section 4).
        int trailCount = 0;
        uint32_t codePoint = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            trailCount = 1;
            codePoint = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trailCount = 2;
            codePoint = lead & 0x0F;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trailCount = 3;
            codePoint = lead & 0x07;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        } else {
            result += kReplacement;
            ++i;
            continue;
        }

        // A broken sequence becomes one replacement character; decoding resumes at the byte that
        // broke it, so a valid character right after it is kept.
        size_t next = i + 1;
        bool bComplete = true;
        for (int k = 0; k < trailCount; ++k, ++next) {
            if (next >= size || pBytes[next] < low || pBytes[next] > high) {
                bComplete = false;
                break;
            }
            codePoint = (codePoint << 6) | (pBytes[next] & 0x3F);
            low = 0x80;
            high = 0xBF;
        }
        result += bComplete ? static_cast<wchar_t>(codePoint) : kReplacement;
        i = next;
    }
    return result;
}

std::string WideToUtf8(const std::wstring& text)
{
    std::string result;
    result.reserve(text.size());
    for (wchar_t ch : text) {
        uint32_t codePoint = static_cast<uint32_t>(ch);
        if (!IsValidCodePoint(codePoint))
            codePoint = kReplacement;
        if (codePoint < 0x80) {
            result += static_cast<char>(codePoint);
        } else if (codePoint < 0x800) {
            result += static_cast<char>(0xC0 | (codePoint >> 6));
            result += static_cast<char>(0x80 | (codePoint & 0x3F));
        } else if (codePoint < 0x10000) {
            result += static_cast<char>(0xE0 | (codePoint >> 12));
            result += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
            result += static_cast<char>(0x80 | (codePoint & 0x3F));
        } else {
            result += static_cast<char>(0xF0 | (codePoint >> 18));
            result += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
            result += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
            result += static_cast<char>(0x80 | (codePoint & 0x3F));
        }
    }
    return result;
}

} // namespace UtilsNameSpace
