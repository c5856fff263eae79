#include "container/TextConvert.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace UtilsNameSpace;

namespace {

struct SCodec {
    std::wstring wide;
    std::string utf8;
};

// Each length of encoding, at both ends of its range.
TEST(TextConvertTest, ValidCharactersConvertBothWays)
{
    const std::vector<SCodec> cases = {
        {L"", ""},
        {std::wstring(1, L'\0'), std::string(1, '\0')},
        {L"A", "A"},
        {L"\x7F", "\x7F"},
        {L"\x80", "\xC2\x80"},
        {L"\x7FF", "\xDF\xBF"},
        {L"\x800", "\xE0\xA0\x80"},
        {L"\xD7FF", "\xED\x9F\xBF"},
        {L"\xE000", "\xEE\x80\x80"},
        {L"\xFFFD", "\xEF\xBF\xBD"},
        {L"\xFFFF", "\xEF\xBF\xBF"},
        {L"\x10000", "\xF0\x90\x80\x80"},
        {L"\x10FFFF", "\xF4\x8F\xBF\xBF"},
        {L"Камера", "\xD0\x9A\xD0\xB0\xD0\xBC\xD0\xB5\xD1\x80\xD0\xB0"},
        {L"录像", "\xE5\xBD\x95\xE5\x83\x8F"},
        {L"a\U0001F600b", "a\xF0\x9F\x98\x80"
                          "b"},
    };
    for (const SCodec& c : cases) {
        EXPECT_EQ(WideToUtf8(c.wide), c.utf8);
        EXPECT_EQ(Utf8ToWide(c.utf8), c.wide);
        EXPECT_EQ(NarrowToWide(c.utf8), c.wide);
        EXPECT_EQ(WideToNarrow(c.wide), c.utf8);
    }
}

// Each broken piece becomes one U+FFFD and the text after it survives.
TEST(TextConvertTest, InvalidUtf8BecomesReplacementCharacters)
{
    struct SCase {
        const char* label;
        std::string utf8;
        std::wstring wide;
    };
    const std::vector<SCase> cases = {
        {"lone continuation",
         "a\x80"
         "b",
         L"a\xFFFD"
         L"b"},
        {"two continuations", "\x80\xBF", L"\xFFFD\xFFFD"},
        {"overlong two bytes", "\xC0\x80", L"\xFFFD\xFFFD"},
        {"overlong two bytes C1", "\xC1\xBF", L"\xFFFD\xFFFD"},
        {"overlong three bytes", "\xE0\x80\x80", L"\xFFFD\xFFFD\xFFFD"},
        {"overlong four bytes", "\xF0\x80\x80\x80", L"\xFFFD\xFFFD\xFFFD\xFFFD"},
        {"high surrogate", "\xED\xA0\x80", L"\xFFFD\xFFFD\xFFFD"},
        {"low surrogate", "\xED\xBF\xBF", L"\xFFFD\xFFFD\xFFFD"},
        {"encoded surrogate pair", "\xED\xA0\xBD\xED\xB8\x80", std::wstring(6, L'\xFFFD')},
        {"above U+10FFFF", "\xF4\x90\x80\x80", L"\xFFFD\xFFFD\xFFFD\xFFFD"},
        {"lead F5", "\xF5\x80", L"\xFFFD\xFFFD"},
        {"lead FF", "\xFF", L"\xFFFD"},
        {"five-byte form", "\xF8\x88\x80\x80\x80", std::wstring(5, L'\xFFFD')},
        {"cut at the end", "ab\xE2\x82", L"ab\xFFFD"},
        {"cut before ASCII",
         "\xE2\x82"
         "A",
         L"\xFFFD"
         L"A"},
        {"cut before a valid character", "\xF0\x9F\xD0\x9A", L"\xFFFD\x41A"},
        {"lead alone at the end", "\xC3", L"\xFFFD"},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(Utf8ToWide(c.utf8), c.wide) << c.label;
}

TEST(TextConvertTest, InvalidWideCharactersBecomeReplacementCharacters)
{
    const std::string replacement = "\xEF\xBF\xBD";
    const std::vector<std::pair<wchar_t, const char*>> cases = {
        {static_cast<wchar_t>(0xD800), "high surrogate"},   {static_cast<wchar_t>(0xDBFF), "last high surrogate"},
        {static_cast<wchar_t>(0xDC00), "low surrogate"},    {static_cast<wchar_t>(0xDFFF), "last low surrogate"},
        {static_cast<wchar_t>(0x110000), "above U+10FFFF"}, {static_cast<wchar_t>(-1), "negative"},
    };
    for (const auto& c : cases) {
        const std::wstring text = std::wstring(L"x") + c.first + L"y";
        EXPECT_EQ(WideToUtf8(text), "x" + replacement + "y") << c.second;
    }
}

TEST(TextConvertTest, FileNamesSurviveTheRoundTrip)
{
    const std::vector<std::wstring> names = {
        L"/home/пользователь/Видео/Камера 1/2024-05-01 10_00_00.kelm",
        L"C:/録画/カメラ_02.mp4",
        L"/data/监控/摄像头\U0001F4F7/片段\U00020000.mp4",
        L"/tmp/mixed ÄÖÜ ß € \U0001F600\U0001F1F7\U0001F1FA.kelm",
    };
    for (const std::wstring& name : names)
        EXPECT_EQ(Utf8ToWide(WideToUtf8(name)), name) << WideToUtf8(name);
}

} // namespace
