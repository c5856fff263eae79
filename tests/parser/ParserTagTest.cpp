// Tag handling: the order of receiver calls, warnings, stream statistics and cancellation.
#include "ParserTestSupport.h"

#include <functional>

namespace KcParserTest {
namespace {

using KcTest::CKelmWriter;
using Events = std::vector<std::string>;

// Every record kind once, with one warning (the ERROR record's payload).
void WriteEveryKind(CKelmWriter& w)
{
    w.WriteStream(kelm::TB1KHz);
    w.WriteES(6, kelm::SUBTITLES, 0);
    w.WriteVideoES(1);
    w.WriteAudioES(2);
    w.WriteES(3, kelm::MUX, 0);
    w.WriteES(4, kelm::AUX, 0);
    w.WriteES(5, kelm::SIGNALLING, 0);
    w.WriteUnit(1, 1000, {1});
    w.WriteUnit(2, 1010, {2, 2});
    w.WriteUnit(1, 1040, {3});
    w.WriteError(-7, {9});
    w.WriteControl();
    w.WriteFinished();
}

TEST_F(CParserTest, ReportsRecordsInFileOrderAndSummariesByEsNumberBeforeFinished)
{
    const std::string path = PathOf("every-kind.kelm");
    {
        CKelmWriter writer(path);
        WriteEveryKind(writer);
        ASSERT_TRUE(writer.Close());
    }
    CRecordingReceiver receiver;
    const SParseResult result = Parse(path, &receiver);
    ASSERT_TRUE(result.ok) << Narrow(result.error.message);
    const Events expected{
        "StreamTag CAM1",
        "SubtitlesES 6",
        "VideoES 1 codec=" + std::to_string(KELMNameSpace::H264Video),
        "AudioES 2 codec=" + std::to_string(KELMNameSpace::RawAACAudio),
        "MuxES 3",
        "AuxES 4",
        "SignallingES 5",
        "Unit 1",
        "Unit 2",
        "Unit 1",
        "ErrorTag -7",
        "Warning 14 Non-zero BinaryDataSize in ERROR tag",
        "ControlTag",
        "VideoStreamEnd 1 frames=2",
        "AudioStreamEnd 2 frames=1",
        "MuxStreamEnd 3 frames=0",
        "AuxStreamEnd 4 frames=0",
        "SignallingStreamEnd 5 frames=0",
        "SubtitlesStreamEnd 6 frames=0",
        "FinishedTag",
    };
    EXPECT_EQ(receiver.Items(), expected);

    ASSERT_EQ(result.summaries.size(), 6u);
    const uint32_t kinds[] = {KELMNameSpace::StreamKindVideo,      KELMNameSpace::StreamKindAudio,
                              KELMNameSpace::StreamKindMux,        KELMNameSpace::StreamKindAux,
                              KELMNameSpace::StreamKindSignalling, KELMNameSpace::StreamKindSubtitles};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(result.summaries[i].esno, int32_t(i + 1));
        EXPECT_EQ(result.summaries[i].kind, kinds[i]);
        EXPECT_EQ(Narrow(result.summaries[i].srid), "CAM1");
        EXPECT_TRUE(result.summaries[i].subSourceKey.empty());
    }
    const KELMNameSpace::SStreamSummary& video = result.summaries[0];
    EXPECT_EQ(video.codec, uint32_t(KELMNameSpace::H264Video));
    EXPECT_EQ(video.payloadBytes, 2u);
    EXPECT_EQ(video.firstPts, 1000u);
    EXPECT_EQ(video.lastPts, 1040u);
    EXPECT_DOUBLE_EQ(video.firstTime, 1.0);
    EXPECT_DOUBLE_EQ(video.lastTime, 1.04);
    EXPECT_EQ(result.summaries[1].payloadBytes, 2u);
}

// Any false answer stops the parse at once as "Cancelled"; summaries are handed over only when
// every summary call of their context agreed.
struct SCancelCase {
    const char* pOperation;
    int at;
    bool bSummariesKept;
};

class ParserCancelTest : public CParserTest, public ::testing::WithParamInterface<SCancelCase> {};

TEST_P(ParserCancelTest, FalseAnswerCancels)
{
    const std::string path = PathOf("every-kind.kelm");
    {
        CKelmWriter writer(path);
        WriteEveryKind(writer);
        ASSERT_TRUE(writer.Close());
    }
    CRecordingReceiver receiver;
    receiver.refuse = GetParam().pOperation;
    receiver.refuseAt = GetParam().at;
    const SParseResult result = Parse(path, &receiver);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.code, 4);
    EXPECT_EQ(Narrow(result.error.message), "Cancelled");
    EXPECT_EQ(receiver.events.back().rfind(GetParam().pOperation, 0), 0u) << receiver.events.back();
    EXPECT_EQ(result.summaries.size(), GetParam().bSummariesKept ? 6u : 0u);
}

const SCancelCase kCancelCases[] = {
    {"FileSize", 1, false},
    {"Position", 1, false},
    {"Position", 4, false},
    {"StreamTag", 1, false},
    {"SubtitlesES", 1, false},
    {"VideoES", 1, false},
    {"AudioES", 1, false},
    {"MuxES", 1, false},
    {"AuxES", 1, false},
    {"SignallingES", 1, false},
    {"Unit", 3, false},
    {"ErrorTag", 1, false},
    {"Warning", 1, false},
    {"ControlTag", 1, false},
    {"VideoStreamEnd", 1, false},
    {"AudioStreamEnd", 1, false},
    {"MuxStreamEnd", 1, false},
    {"AuxStreamEnd", 1, false},
    {"SignallingStreamEnd", 1, false},
    {"SubtitlesStreamEnd", 1, false},
    {"FinishedTag", 1, true},
};

INSTANTIATE_TEST_SUITE_P(EveryOperation, ParserCancelTest, ::testing::ValuesIn(kCancelCases),
                         [](const ::testing::TestParamInfo<SCancelCase>& p) {
                             return std::string(p.param.pOperation) + std::to_string(p.param.at);
                         });

// Problems the parse survives: each gives exactly these warnings, and the file still parses.
struct SWarningCase {
    const char* pName;
    std::function<void(CKelmWriter&)> write;
    Events warnings; // "code message"
    uint64_t frames; // of ES 1 at the end
};

class ParserWarningTest : public CParserTest, public ::testing::WithParamInterface<SWarningCase> {};

TEST_P(ParserWarningTest, WarnsAndGoesOn)
{
    const std::string path = PathOf("warnings.kelm");
    {
        CKelmWriter writer(path);
        GetParam().write(writer);
        ASSERT_TRUE(writer.Close());
    }
    // Skipping payloads must not hide a warning that reading them shows.
    for (bool bSkip : {true, false}) {
        CRecordingReceiver receiver;
        const SParseResult result = Parse(path, &receiver, bSkip);
        ASSERT_TRUE(result.ok) << Narrow(result.error.message);
        Events warnings;
        for (const auto& warning : receiver.warnings)
            warnings.push_back(std::to_string(warning.code) + " " + Narrow(warning.message));
        EXPECT_EQ(warnings, GetParam().warnings) << (bSkip ? "skipping" : "reading");
        uint64_t frames = 0;
        for (const auto& summary : result.summaries) {
            if (summary.esno == 1)
                frames = summary.frameCount;
        }
        EXPECT_EQ(frames, GetParam().frames);
    }
}

const SWarningCase kWarningCases[] = {
    {"StreamPayload",
     [](CKelmWriter& w) { w.WriteStream(kelm::TB90KHz, KcTest::SridInfo("CAM1"), {1}); },
     {"14 Non-zero BinaryDataSize in STREAM tag"},
     0},
    {"EsPayload",
     [](CKelmWriter& w) {
         w.WriteStream();
         w.WriteES(1, kelm::AVVIDEO, kelm::H264Video, "", {1});
     },
     {"14 Non-zero BinaryDataSize in ESES tag"},
     0},
    {"FinishedPayload",
     [](CKelmWriter& w) {
         w.WriteStream();
         w.WriteVideoES(1);
         w.WriteUnit(1, 100, {1});
         w.WriteFinished({1, 2});
     },
     {"14 Non-zero BinaryDataSize in FINISHED tag"},
     1},
    {"ControlPayloadIsNotChecked",
     [](CKelmWriter& w) {
         w.WriteStream();
         w.WriteControl({1, 2, 3});
     },
     {},
     0},
    {"UnknownAudioCodec",
     [](CKelmWriter& w) {
         w.WriteStream();
         w.WriteAudioES(1, 7);
     },
     {"14 Unknown ESAudioCodec value: 7"},
     0},
    {"UnknownVideoCodec",
     [](CKelmWriter& w) {
         w.WriteStream();
         w.WriteVideoES(1, -1);
     },
     {"14 Unknown ESVideoCodec value: 4294967295"},
     0},
    {"UnitOfUndeclaredStream",
     [](CKelmWriter& w) {
         w.WriteStream();
         w.WriteUnit(7, 100, {1});
     },
     {"14 UINT stream '7' not found"},
     0},
    {"EqualPts",
     [](CKelmWriter& w) {
         w.WriteStream();
         w.WriteVideoES(1);
         w.WriteUnit(1, 900000, {1});
         w.WriteUnit(1, 900000, {2});
         w.WriteUnit(1, 903600, {3});
     },
     {"14 Frame timestamp less then or equal to previous frame timestamp"},
     2},
    {"DecreasingPts",
     [](CKelmWriter& w) {
         w.WriteStream();
         w.WriteVideoES(1);
         w.WriteUnit(1, 900000, {1});
         w.WriteUnit(1, 3600, {2});
     },
     {"14 Frame timestamp less then or equal to previous frame timestamp"},
     1},
    {"UnitAfterFinishedNeedsNewDeclaration",
     [](CKelmWriter& w) {
         w.WriteStream();
         w.WriteVideoES(1);
         w.WriteUnit(1, 100, {1});
         w.WriteFinished();
         w.WriteUnit(1, 200, {1});
     },
     {"14 UINT stream '1' not found"},
     1},
    {"UnitBeforeStream",
     [](CKelmWriter& w) {
         w.WriteVideoES(1);
         w.WriteUnit(1, 100, {1});
     },
     {"29 KELM time base '0' not supported"},
     0},
};

INSTANTIATE_TEST_SUITE_P(Records, ParserWarningTest, ::testing::ValuesIn(kWarningCases),
                         [](const ::testing::TestParamInfo<SWarningCase>& p) { return p.param.pName; });

TEST_F(CParserTest, EqualPtsKeepsTheFirstUnitsTime)
{
    const std::string path = PathOf("equal.kelm");
    {
        CKelmWriter writer(path);
        writer.WriteStream();
        writer.WriteVideoES(1);
        writer.WriteUnit(1, 900000, {1, 2});
        writer.WriteUnit(1, 900000, {3, 4, 5});
        ASSERT_TRUE(writer.Close());
    }
    CRecordingReceiver receiver;
    const SParseResult result = Parse(path, &receiver);
    ASSERT_TRUE(result.ok);
    ASSERT_EQ(result.summaries.size(), 1u);
    EXPECT_EQ(result.summaries[0].frameCount, 1u);
    EXPECT_EQ(result.summaries[0].payloadBytes, 2u);
    EXPECT_DOUBLE_EQ(result.summaries[0].lastTime, 10.0);
    EXPECT_EQ(receiver.unitPayloadSizes.size(), 1u);
}

TEST_F(CParserTest, RedeclaringAnEsBeforeItsUnitsStartsItAfresh)
{
    const std::string path = PathOf("redeclared.kelm");
    {
        CKelmWriter writer(path);
        writer.WriteStream(kelm::TB90KHz, KcTest::SridInfo("OLD"));
        writer.WriteVideoES(1);
        writer.WriteStream(kelm::TB90KHz, KcTest::SridInfo("NEW"));
        writer.WriteAudioES(1, kelm::ADTSAACAudio);
        writer.WriteUnit(1, 90000, {1});
        ASSERT_TRUE(writer.Close());
    }
    CRecordingReceiver receiver;
    const SParseResult result = Parse(path, &receiver);
    ASSERT_TRUE(result.ok) << Narrow(result.error.message);
    EXPECT_TRUE(receiver.warnings.empty());
    ASSERT_EQ(result.summaries.size(), 1u);
    EXPECT_EQ(result.summaries[0].kind, uint32_t(KELMNameSpace::StreamKindAudio));
    EXPECT_EQ(result.summaries[0].codec, uint32_t(KELMNameSpace::ADTSAACAudio));
    EXPECT_EQ(Narrow(result.summaries[0].srid), "NEW");
    EXPECT_EQ(result.summaries[0].frameCount, 1u);
}

TEST_F(CParserTest, EachStreamContextGivesItsOwnSummaries)
{
    const std::string path = PathOf("contexts.kelm");
    {
        CKelmWriter writer(path);
        writer.WriteStream(kelm::TB90KHz, KcTest::SridInfo("CAM1"));
        writer.WriteVideoES(1);
        writer.WriteUnit(1, 90000, {1});
        writer.WriteUnit(1, 93600, {1});
        writer.WriteFinished();
        writer.WriteStream(kelm::TB1KHz, KcTest::SridInfo("CAM2"));
        writer.WriteVideoES(1);
        writer.WriteAudioES(2);
        writer.WriteUnit(1, 5000, {1});
        writer.WriteUnit(2, 5010, {1});
        // No FINISHED: the end of the file closes the second context.
        ASSERT_TRUE(writer.Close());
    }
    CRecordingReceiver receiver;
    const SParseResult result = Parse(path, &receiver);
    ASSERT_TRUE(result.ok) << Narrow(result.error.message);
    ASSERT_EQ(result.summaries.size(), 3u);
    EXPECT_EQ(result.summaries[0].esno, 1);
    EXPECT_EQ(Narrow(result.summaries[0].srid), "CAM1");
    EXPECT_EQ(result.summaries[0].frameCount, 2u);
    EXPECT_DOUBLE_EQ(result.summaries[0].firstTime, 1.0);
    EXPECT_DOUBLE_EQ(result.summaries[0].lastTime, 1.04);
    EXPECT_EQ(result.summaries[1].esno, 1);
    EXPECT_EQ(Narrow(result.summaries[1].srid), "CAM2");
    EXPECT_EQ(result.summaries[1].frameCount, 1u);
    EXPECT_DOUBLE_EQ(result.summaries[1].firstTime, 5.0);
    EXPECT_EQ(result.summaries[2].esno, 2);
    EXPECT_DOUBLE_EQ(result.summaries[2].lastTime, 5.01);
}

TEST_F(CParserTest, RecordingSummaryMatchesWhatWasWritten)
{
    for (int timebase : {kelm::TB90KHz, kelm::TB1KHz}) {
        KcTest::SRecordingOptions options;
        options.srid = "4711";
        options.timebase = timebase;
        options.startUtc = KcTest::UtcSeconds(2026, 3, 1, 23, 59, 58);
        options.endUtc = options.startUtc + 3;
        const std::string path = PathOf("rec-" + std::to_string(timebase) + ".kelm");
        const KcTest::SWriteResult written = KcTest::WriteRecordingFile(path, options);
        ASSERT_TRUE(written.ok);

        const SParseResult result = Parse(path);
        ASSERT_TRUE(result.ok) << Narrow(result.error.message);
        ASSERT_EQ(result.summaries.size(), 2u);
        const KcTest::SKindStats* stats[] = {&written.video, &written.audio};
        for (size_t i = 0; i < 2; ++i) {
            SCOPED_TRACE("time base " + std::to_string(timebase) + ", stream " + std::to_string(i));
            const KELMNameSpace::SStreamSummary& summary = result.summaries[i];
            EXPECT_EQ(Narrow(summary.srid), "4711");
            EXPECT_EQ(summary.frameCount, stats[i]->units);
            EXPECT_EQ(summary.payloadBytes, stats[i]->payloadBytes);
            EXPECT_DOUBLE_EQ(summary.firstTime, stats[i]->firstTime);
            EXPECT_DOUBLE_EQ(summary.lastTime, stats[i]->lastTime);
        }
    }
}

TEST_F(CParserTest, DecoderConfigurationReachesTheReceiver)
{
    const std::string path = PathOf("config.kelm");
    {
        CKelmWriter writer(path);
        writer.WriteStream();
        writer.WriteVideoES(1);
        writer.WriteAudioES(2);
        writer.WriteVideoES(3, kelm::H264Video, "{\"other\":\"x\"}");
        ASSERT_TRUE(writer.Close());
    }
    CRecordingReceiver receiver;
    const SParseResult result = Parse(path, &receiver);
    ASSERT_TRUE(result.ok);
    EXPECT_TRUE(receiver.warnings.empty());
    // Base64 padding decodes to zero bytes up to a whole group of three.
    auto padded = [](std::vector<uint8_t> bytes) {
        bytes.resize((bytes.size() + 2) / 3 * 3, 0);
        return bytes;
    };
    ASSERT_EQ(receiver.configs.size(), 3u);
    EXPECT_EQ(receiver.configs[0], padded(KcTest::MediaSample().avcC));
    EXPECT_EQ(receiver.configs[1], padded(KcTest::MediaSample().audioSpecificConfig));
    EXPECT_TRUE(receiver.configs[2].empty());
}

// The file's codec numbers differ per kind; the parser's ids follow the names' alphabetical order.
TEST_F(CParserTest, CodecNumbersMapPerStreamKind)
{
    const std::string path = PathOf("codecs.kelm");
    {
        CKelmWriter writer(path);
        writer.WriteStream();
        for (int32_t codec = 1; codec <= 6; ++codec)
            writer.WriteAudioES(codec, codec);
        for (int32_t codec = 1; codec <= 5; ++codec)
            writer.WriteVideoES(10 + codec, codec);
        ASSERT_TRUE(writer.Close());
    }
    const SParseResult result = Parse(path);
    ASSERT_TRUE(result.ok);
    std::vector<std::string> names;
    for (const auto& summary : result.summaries) {
        names.push_back(Narrow(summary.kind == KELMNameSpace::StreamKindAudio
                                   ? KELMNameSpace::AudioCodecName(summary.codec)
                                   : KELMNameSpace::VideoCodecName(summary.codec)));
    }
    const Events expected{"MPEG2Audio",      "ADTSAACAudio", "RawAACAudio", "RawPCMAudio",
                          "WavAudio",        "AudioAvCodec", "MPEG2Video",  "H264Video",
                          "AnnexBH264Video", "RawYUVPlanes", "VideoAvcodec"};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(Narrow(KELMNameSpace::AudioCodecName(0)), "Unknown audio codec");
    EXPECT_EQ(Narrow(KELMNameSpace::VideoCodecName(6)), "Unknown video codec");
}

} // namespace
} // namespace KcParserTest
