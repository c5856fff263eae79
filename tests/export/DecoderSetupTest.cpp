#include "export/DecoderSetup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace KELMNameSpace;
using UtilsNameSpace::SErrorInfo;

namespace {

std::vector<uint8_t> Hex(const std::string& text)
{
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

// ---- decoder setup data ----

struct SSetupCase {
    const char* name;
    std::string hex;
    const wchar_t* message; // null = success
    size_t sequenceSets;
    size_t pictureSets;
};

const SSetupCase kSetupCases[] = {
    {"FiveBytes", "0164001eff", L"Too small decoder setup data size", 0, 0},
    {"FormatIdZero", "0064001effe1", L"Invalid decoder setup data format ID", 0, 0},
    {"SpsLengthMissing", "0164001effe1", L"Not enough decoder setup data size for SequenceParamsSet NALSize", 0, 0},
    {"SpsLengthHalf", "0164001effe100", L"Not enough decoder setup data size for SequenceParamsSet NALSize", 0, 0},
    {"SpsCut", "0164001effe10005676400", L"Not enough decoder setup data size for SequenceParamsSet", 0, 0},
    {"EmptySpsThenEnd", "0164001effe10000", L"Not enough decoder setup data size for PictureParamsSetsCount", 0, 0},
    {"PpsLengthMissing",
     "0164001effe100026764"
     "01",
     L"Not enough decoder setup data size for PictureParamsSet NALSize", 0, 0},
    {"PpsLengthHalf",
     "0164001effe100026764"
     "0100",
     L"Not enough decoder setup data size for PictureParamsSet NALSize", 0, 0},
    {"PpsCut",
     "0164001effe100026764"
     "01000468ee",
     L"Not enough decoder setup data size for PictureParamsSet", 0, 0},
    {"NoPps",
     "0164001effe100026764"
     "00",
     nullptr, 1, 0},
    {"NoSps",
     "0164001effe0"
     "01000268ee",
     nullptr, 0, 1},
    {"ZeroLengthSetsSkipped",
     "0164001effe2"
     "0000"
     "00026764"
     "03"
     "0000"
     "000268ee"
     "0000",
     nullptr, 1, 1},
    {"TrailingBytesIgnored",
     "0164001effe100026764"
     "010002"
     "68ee"
     "fdf8f800",
     nullptr, 1, 1},
    // The count is the low five bits of byte 5 (the upper bits are reserved ones).
    {"ReservedBitsIgnored",
     "0164001eff"
     "21"
     "00026764"
     "00",
     nullptr, 1, 0},
};

class DecoderSetupData : public testing::TestWithParam<SSetupCase> {};

TEST_P(DecoderSetupData, ParsesOrNamesTheShortfall)
{
    const SSetupCase& c = GetParam();
    const std::vector<uint8_t> data = Hex(c.hex);
    // Lists from an earlier description stay unless the parse succeeds.
    ParameterSetList pictureSets = {{0x68, 0x01}};
    ParameterSetList sequenceSets = {{0x67, 0x01}, {0x67, 0x02}};
    SErrorInfo error;
    const bool bOk = ParseDecoderSetupData(data.data(), data.size(), pictureSets, sequenceSets, &error);
    if (c.message) {
        EXPECT_FALSE(bOk);
        EXPECT_EQ(error.code, 14);
        EXPECT_EQ(error.message, c.message);
        EXPECT_EQ(pictureSets.size(), 1u);
        EXPECT_EQ(sequenceSets.size(), 2u);
    } else {
        ASSERT_TRUE(bOk) << std::string(error.message.begin(), error.message.end());
        EXPECT_EQ(sequenceSets.size(), c.sequenceSets);
        EXPECT_EQ(pictureSets.size(), c.pictureSets);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, DecoderSetupData, testing::ValuesIn(kSetupCases),
                         [](const testing::TestParamInfo<SSetupCase>& caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

TEST(DecoderSetupDataContent, KeepsSetsInOrderAndBuildsThePrefix)
{
    const std::vector<uint8_t> data = Hex("0164001effe2"
                                          "0002"
                                          "6701"
                                          "0003"
                                          "670203"
                                          "02"
                                          "0001"
                                          "68"
                                          "0002"
                                          "6804");
    ParameterSetList pictureSets, sequenceSets;
    ASSERT_TRUE(ParseDecoderSetupData(data.data(), data.size(), pictureSets, sequenceSets, nullptr));
    EXPECT_EQ(sequenceSets, (ParameterSetList{{0x67, 0x01}, {0x67, 0x02, 0x03}}));
    EXPECT_EQ(pictureSets, (ParameterSetList{{0x68}, {0x68, 0x04}}));

    std::vector<uint8_t> prefix = {0xAA}; // replaced, not appended to
    BuildParameterSetPrefix(sequenceSets, pictureSets, prefix);
    EXPECT_EQ(prefix, Hex("000000026701"
                          "00000003670203"
                          "0000000168"
                          "000000026804"));
}

// ---- sync samples ----

struct SSyncCase {
    const char* name;
    std::string hex;
    bool bSync;
};

const SSyncCase kSyncCases[] = {
    {"IdrFirst", "0000000365888400", true},
    {"DelimiterSeiIdr",
     "000000020910"
     "0000000306050a"
     "0000000365888400",
     true},
    {"ParameterSetsFirst",
     "00000002674d"
     "0000000268ee"
     "0000000365888400",
     true},
    {"PictureSetAlone", "0000000268ee", true},
    {"NonIdrSlice", "0000000341e20c", false},
    {"DelimiterThenNonIdr",
     "000000020930"
     "0000000341e20c",
     false},
    {"ZeroLengthThenIdr",
     "00000000"
     "0000000365888400",
     true},
    // The first unit claims more bytes than there are; its type byte is still there to read.
    {"TruncatedIdr", "0000006465888400", true},
    // A length running past the end ends the walk: what follows is not a unit boundary.
    {"TruncatedThenIdrBytes",
     "0000006441e2"
     "0000000365888400",
     false},
    {"HugeLength",
     "ffffffff41"
     "00000001"
     "65",
     false},
    {"LengthOnly", "00000001", false},
    {"Empty", "", false},
};

class SyncSample : public testing::TestWithParam<SSyncCase> {};

TEST_P(SyncSample, LooksAtEveryNalUnit)
{
    const std::vector<uint8_t> unit = Hex(GetParam().hex);
    EXPECT_EQ(IsSyncSample(unit.data(), unit.size()), GetParam().bSync);
}

INSTANTIATE_TEST_SUITE_P(Cases, SyncSample, testing::ValuesIn(kSyncCases),
                         [](const testing::TestParamInfo<SSyncCase>& caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

// ---- picture size ----

struct SSizeCase {
    const char* name;
    std::string sps;
    int width; // 0 = unreadable
    int height;
};

// The x264 sets come from libx264 through FFmpeg; the hand-made ones cover syntax x264 never
// writes, and each was checked against libavcodec's H.264 parser.
const SSizeCase kSizeCases[] = {
    {"X264Baseline", "6742c00dd90141fb011000000300100000030320f142a480", 320, 240},
    {"X264Main720", "674d401feca02802dd80880000030008000003019078c18cb0", 1280, 720},
    {"X264High1080Cropped", "67640028acd940780227e5c044000003000400000300c83c60c658", 1920, 1080},
    {"X264OddSize", "6764000dacd94150878888c044000003000400000300c83c50a658", 322, 242},
    {"X264Interlaced", "6764001eacd940b424d8088000000300800000190f8a14cb", 720, 576},
    {"X264Interlaced422Cropped", "677a0015bcd941533c95808800000300080000030190f8a14cb0", 330, 190},
    {"ScalingMatrices", "6764001eada49249249249123fffc845d01405ff2a", 640, 360},
    {"PicOrderCycle", "674d001ed0e4222990589e9928", 170, 138},
    {"Field422", "677a001ebcb405a123ed", 720, 572},
    {"Separate444Scaling", "67f4001e91b0881088a4924924924924924924924924924924924924924924924974106e9248", 126, 94},
    {"PictureSetNotSequenceSet", "68ce3c80", 0, 0},
    {"Cut", "6742c00dd901", 0, 0},
    {"HeaderOnly", "674d40", 0, 0},
};

class PictureSize : public testing::TestWithParam<SSizeCase> {};

TEST_P(PictureSize, ComesFromTheSequenceParameterSet)
{
    const SSizeCase& c = GetParam();
    const std::vector<uint8_t> sps = Hex(c.sps);
    int width = -1;
    int height = -1;
    const bool bOk = ReadPictureSize(sps.data(), sps.size(), width, height);
    EXPECT_EQ(bOk, c.width != 0);
    if (bOk) {
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PictureSize, testing::ValuesIn(kSizeCases),
                         [](const testing::TestParamInfo<SSizeCase>& caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

// ---- AudioSpecificConfig ----

struct SAacCase {
    const char* name;
    std::string config;
    int sampleRate; // 0 = unreadable
    int channels;
    int frameLength;
};

const SAacCase kAacCases[] = {
    {"Lc48kMono", "1188", 48000, 1, 1024},
    {"Lc44kStereo", "1210", 44100, 2, 1024},
    {"Lc960Samples", "1194", 48000, 2, 960},
    {"ExplicitRate", "17802b1108", 22050, 1, 1024},
    {"HeAacExplicitSbr", "2b118800", 48000, 2, 2048},
    {"SevenPointOne", "11b8", 48000, 8, 1024},
    {"ObjectTypeZero", "0188", 0, 0, 0},
    {"ReservedRateIndex", "1688", 0, 0, 0},
    {"OneByte", "11", 0, 0, 0},
    {"Empty", "", 0, 0, 0},
};

class AacConfig : public testing::TestWithParam<SAacCase> {};

TEST_P(AacConfig, GivesRateChannelsAndFrameLength)
{
    const SAacCase& c = GetParam();
    const std::vector<uint8_t> config = Hex(c.config);
    SAacConfig parsed;
    const bool bOk = ReadAacConfig(config.data(), config.size(), parsed);
    EXPECT_EQ(bOk, c.sampleRate != 0);
    if (bOk) {
        EXPECT_EQ(parsed.sampleRate, c.sampleRate);
        EXPECT_EQ(parsed.channels, c.channels);
        EXPECT_EQ(parsed.frameLength, c.frameLength);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, AacConfig, testing::ValuesIn(kAacCases),
                         [](const testing::TestParamInfo<SAacCase>& caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

} // namespace
