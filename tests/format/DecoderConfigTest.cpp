#include "container/DecoderConfig.h"

#include "MediaSample.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

using KELMNameSpace::DecodeBase64Lenient;
using KELMNameSpace::ExtractDecoderConfig;
using UtilsNameSpace::CFastDynArray;
using UtilsNameSpace::SErrorInfo;

namespace {

std::vector<uint8_t> Bytes(const CFastDynArray<uint8_t>& array)
{
    return std::vector<uint8_t>(array.Data(), array.Data() + array.Count());
}

std::vector<uint8_t> Decode(const std::string& text)
{
    CFastDynArray<uint8_t> out;
    DecodeBase64Lenient(text.data(), text.size(), out);
    return Bytes(out);
}

struct SBase64Case {
    const char* pName;
    std::string text;
    std::vector<uint8_t> expected;
};

// Test names in CTest show the case name instead of the bytes of the record.
void PrintTo(const SBase64Case& testCase, std::ostream* pOut)
{
    *pOut << testCase.pName;
}

class Base64LenientTest : public ::testing::TestWithParam<SBase64Case> {};

TEST_P(Base64LenientTest, DecodesCompleteGroupsOnly)
{
    EXPECT_EQ(Decode(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Base64LenientTest,
    ::testing::Values(SBase64Case{"Empty", "", {}}, SBase64Case{"FourLettersAGiveThreeZeros", "AAAA", {0, 0, 0}},
                      SBase64Case{"ThreeLettersAGiveNothing", "AAA", {}},
                      SBase64Case{"PaddedGroupIsThreeBytes", "AAA=", {0, 0, 0}},
                      SBase64Case{"OnePaddingGivesOneTrailingZero", "AQI=", {1, 2, 0}},
                      SBase64Case{"TwoPaddingsGiveTwoTrailingZeros", "AQ==", {1, 0, 0}},
                      SBase64Case{"WholeAlphabet",
                                  "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/",
                                  {0x00, 0x10, 0x83, 0x10, 0x51, 0x87, 0x20, 0x92, 0x8B, 0x30, 0xD3, 0x8F,
                                   0x41, 0x14, 0x93, 0x51, 0x55, 0x97, 0x61, 0x96, 0x9B, 0x71, 0xD7, 0x9F,
                                   0x82, 0x18, 0xA3, 0x92, 0x59, 0xA7, 0xA2, 0x9A, 0xAB, 0xB2, 0xDB, 0xAF,
                                   0xC3, 0x1C, 0xB3, 0xD3, 0x5D, 0xB7, 0xE3, 0x9E, 0xBB, 0xF3, 0xDF, 0xBF}},
                      SBase64Case{"InvalidCharactersAreZeroBits", "/*/-", {0xFC, 0x0F, 0xC0}},
                      SBase64Case{"UrlSafeLettersAreNotTheAlphabet", "-_-_", {0, 0, 0}},
                      SBase64Case{"BlankInsideCountsAsZero", "AQ I", {0x01, 0x00, 0x08}},
                      SBase64Case{"PartialTrailingGroupDropped", "AQIDBA", {1, 2, 3}},
                      SBase64Case{"OneCharacterDropped", "AQIDB", {1, 2, 3}},
                      SBase64Case{"PaddingInTheMiddleIsZeroBits", "A=A=AQID", {0x00, 0x00, 0x00, 1, 2, 3}},
                      SBase64Case{"HighBitBytesAreZeroBits", "\xC3\xA9\xC3\xA9", {0, 0, 0}}),
    [](const ::testing::TestParamInfo<SBase64Case>& caseInfo) { return std::string(caseInfo.param.pName); });

TEST(Base64LenientTest, ReusedBufferTakesTheNewLength)
{
    CFastDynArray<uint8_t> out;
    DecodeBase64Lenient("AQIDBAUG", 8, out);
    DecodeBase64Lenient("BwgJ", 4, out);
    EXPECT_EQ(Bytes(out), (std::vector<uint8_t>{7, 8, 9}));
}

TEST(Base64LenientTest, ReadsOnlyTheGivenLength)
{
    const char text[] = "AQIDBAUG";
    EXPECT_EQ(Decode(std::string(text, 4)), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(Base64LenientTest, UndoesTheEncoderForEveryLengthUpToPadding)
{
    std::vector<uint8_t> data;
    for (int length = 0; length < 40; ++length) {
        std::vector<uint8_t> expected = data;
        while (expected.size() % 3 != 0)
            expected.push_back(0);
        EXPECT_EQ(Decode(KcTest::EncodeBase64(data)), expected) << "length " << length;
        data.push_back(uint8_t(length * 37 + 11));
    }
}

// ---- configuration in ES info

struct SExtractCase {
    const char* pName;
    std::string info;
    std::vector<uint8_t> expected;
};

void PrintTo(const SExtractCase& testCase, std::ostream* pOut)
{
    *pOut << testCase.pName;
}

class ExtractDecoderConfigTest : public ::testing::TestWithParam<SExtractCase> {};

TEST_P(ExtractDecoderConfigTest, FindsAndDecodes)
{
    CFastDynArray<uint8_t> out;
    SErrorInfo error;
    ASSERT_TRUE(ExtractDecoderConfig(GetParam().info, out, &error));
    EXPECT_EQ(error.code, 0);
    EXPECT_EQ(Bytes(out), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtractDecoderConfigTest,
    ::testing::Values(
        SExtractCase{"WholeObject", R"({"decoderConfig":"binary-dataXXX:AQID"})", {1, 2, 3}},
        SExtractCase{"AmongOtherMembers", R"({"a":1,"decoderConfig":"binary-dataXXX:AQID","b":"BAUG"})", {1, 2, 3}},
        SExtractCase{"CaseInsensitivePrefix", R"({"DECODERCONFIG":"Binary-DataXxx:AQID"})", {1, 2, 3}},
        SExtractCase{"NotJsonAtAll", R"(garbage "decoderConfig":"binary-dataXXX:AQID)", {1, 2, 3}},
        SExtractCase{"UpToTheEndWithoutQuote", R"("decoderConfig":"binary-dataXXX:AQIDBA)", {1, 2, 3}},
        SExtractCase{"SpacesAndTabsTrimmed", "\"decoderConfig\":\"binary-dataXXX: \t AQID\t \"", {1, 2, 3}},
        SExtractCase{
            "TrimmingKeepsGroupsAligned", "\"decoderConfig\":\"binary-dataXXX: AQIDBAUG \"", {1, 2, 3, 4, 5, 6}},
        SExtractCase{"InnerBlankNotTrimmed", "\"decoderConfig\":\"binary-dataXXX: AQ ID\"", {0x01, 0x00, 0x08}},
        SExtractCase{"EmptyValue", R"({"decoderConfig":"binary-dataXXX:"})", {}},
        SExtractCase{"PrefixAtTheEnd", R"("decoderConfig":"binary-dataXXX:)", {}},
        SExtractCase{"FirstOccurrenceWins",
                     R"("decoderConfig":"binary-dataXXX:AQID" "decoderConfig":"binary-dataXXX:BAUG")",
                     {1, 2, 3}},
        // A near miss right before the real prefix: the search must restart inside it.
        SExtractCase{"FoundAfterAFalseStart", R"(""decoderConfig":"decoderConfig":"binary-dataXXX:AQID")", {1, 2, 3}}),
    [](const ::testing::TestParamInfo<SExtractCase>& caseInfo) { return std::string(caseInfo.param.pName); });

class MissingDecoderConfigTest : public ::testing::TestWithParam<std::string> {};

TEST_P(MissingDecoderConfigTest, IsNotFoundWithPrefixInMessage)
{
    CFastDynArray<uint8_t> out;
    ASSERT_TRUE(DecodeBase64Lenient("AQID", 4, out)); // stale bytes must not survive
    // A text whose result no array can hold is refused before a byte of it is read.
    EXPECT_FALSE(DecodeBase64Lenient("AQID", size_t(6) << 30, out));
    EXPECT_EQ(out.Count(), 0u);
    ASSERT_TRUE(DecodeBase64Lenient("AQID", 4, out));
    SErrorInfo error;
    EXPECT_FALSE(ExtractDecoderConfig(GetParam(), out, &error));
    EXPECT_EQ(error.code, 26);
    EXPECT_EQ(error.message, L"\"decoderConfig\":\"binary-dataXXX:' tag not found");
    EXPECT_EQ(out.Count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, MissingDecoderConfigTest,
                         ::testing::Values("", R"({"srid":"CAM1"})",
                                           R"({"decoderConfig":"AQID"})",                 // no binary-data marker
                                           R"({"decoderConfig": "binary-dataXXX:AQID"})", // blank after colon
                                           R"({"decoderConfig":"binary-dataXX:AQID"})",
                                           R"("decoderConfig":"binary-dataXXX)")); // cut before the colon

TEST(ExtractDecoderConfigTest, MissingWithoutErrorRecordIsAllowed)
{
    CFastDynArray<uint8_t> out;
    EXPECT_FALSE(ExtractDecoderConfig("{}", out, nullptr));
}

TEST(ExtractDecoderConfigTest, PrefixConstantIsTheSearchedText)
{
    EXPECT_EQ(std::strlen(KELMNameSpace::kDecoderConfigPrefix), 32u);
}

TEST(ExtractDecoderConfigTest, ReturnsTheSampleConfigurationsPaddedToGroups)
{
    const KcTest::SMediaSample& sample = KcTest::MediaSample();
    for (const auto& pair : {std::make_pair(KcTest::VideoEsInfo(), sample.avcC),
                             std::make_pair(KcTest::AudioEsInfo(), sample.audioSpecificConfig)}) {
        CFastDynArray<uint8_t> out;
        ASSERT_TRUE(ExtractDecoderConfig(pair.first, out, nullptr));
        std::vector<uint8_t> expected = pair.second;
        while (expected.size() % 3 != 0)
            expected.push_back(0);
        EXPECT_EQ(Bytes(out), expected);
    }
}

} // namespace
