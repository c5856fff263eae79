#include "container/DecoderConfig.h"

namespace KELMNameSpace {

const char kDecoderConfigPrefix[] = "\"decoderConfig\":\"binary-dataXXX:";

namespace {

// Six bits of a base64 character; anything outside the alphabet (padding included) is zero, so
// a damaged configuration still has its length and the reader decides what to do with it.
uint32_t Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return uint32_t(c - 'A');
    if (c >= 'a' && c <= 'z')
        return uint32_t(c - 'a' + 26);
    if (c >= '0' && c <= '9')
        return uint32_t(c - '0' + 52);
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return 0;
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Position of the prefix in text regardless of letter case, or npos.
size_t FindPrefix(const std::string& text)
{
    const size_t prefixLength = sizeof(kDecoderConfigPrefix) - 1;
    if (text.size() < prefixLength)
        return std::string::npos;
    for (size_t at = 0; at + prefixLength <= text.size(); ++at) {
        size_t i = 0;
        while (i < prefixLength && AsciiLower(text[at + i]) == AsciiLower(kDecoderConfigPrefix[i]))
            ++i;
        if (i == prefixLength)
            return at;
    }
    return std::string::npos;
}

} // namespace

bool DecodeBase64Lenient(const char* pText, size_t length, UtilsNameSpace::CFastDynArray<uint8_t>& out)
{
    const size_t groups = length / 4;
    if (groups * 3 > UINT32_MAX || !out.Resize(static_cast<uint32_t>(groups * 3))) {
        out.Clear();
        return false;
    }
    uint8_t* pOut = out.Data();
    for (size_t g = 0; g < groups; ++g) {
        const char* pGroup = pText + g * 4;
        const uint32_t bits = (Base64Value(pGroup[0]) << 18) | (Base64Value(pGroup[1]) << 12)
                              | (Base64Value(pGroup[2]) << 6) | Base64Value(pGroup[3]);
        *pOut++ = uint8_t(bits >> 16);
        *pOut++ = uint8_t(bits >> 8);
        *pOut++ = uint8_t(bits);
    }
    return true;
}

bool ExtractDecoderConfig(const std::string& info, UtilsNameSpace::CFastDynArray<uint8_t>& out,
                          UtilsNameSpace::SErrorInfo* pError)
{
    const size_t at = FindPrefix(info);
    if (at == std::string::npos) {
        out.Clear();
        std::wstring message(kDecoderConfigPrefix, kDecoderConfigPrefix + sizeof(kDecoderConfigPrefix) - 1);
        message += L"' tag not found";
        UtilsNameSpace::SetErrorInfo(pError, UtilsNameSpace::kErrNotFound, message);
        return false;
    }

    size_t begin = at + sizeof(kDecoderConfigPrefix) - 1;
    size_t end = info.find('"', begin);
    if (end == std::string::npos)
        end = info.size();
    while (begin < end && IsBlank(info[begin]))
        ++begin;
    while (end > begin && IsBlank(info[end - 1]))
        --end;
    if (!DecodeBase64Lenient(info.data() + begin, end - begin, out)) {
        UtilsNameSpace::SetOutOfMemory(pError);
        return false;
    }
    return true;
}

} // namespace KELMNameSpace
