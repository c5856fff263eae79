// Record framing: fatal errors, tolerated truncations, short files and positions.
#include "ParserTestSupport.h"

#include "container/File.h"
#include "container/TextConvert.h"

#include <filesystem>
#include <functional>

namespace KcParserTest {
namespace {

using KcTest::CKelmWriter;
using KcTest::EFault;

// A stream context with one counted video unit, the start of most files below.
void WriteContextWithUnit(CKelmWriter& writer)
{
    writer.WriteStream();
    writer.WriteVideoES(1);
    writer.WriteUnit(1, 900000, {0, 0, 0, 1, 0x65});
}

struct SFatalCase {
    const char* pName;
    std::function<void(CKelmWriter&)> write; // after WriteContextWithUnit
    int32_t code;
    const char* pMessage;
};

class ParserFatalTest : public CParserTest, public ::testing::WithParamInterface<SFatalCase> {};

TEST_P(ParserFatalTest, FailsWithCodeAndMessageAndDropsTheOpenContext)
{
    const SFatalCase& c = GetParam();
    const std::string path = PathOf("fatal.kelm");
    {
        CKelmWriter writer(path);
        WriteContextWithUnit(writer);
        c.write(writer);
        ASSERT_TRUE(writer.Close());
    }
    CRecordingReceiver receiver;
    const SParseResult result = Parse(path, &receiver);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.code, c.code);
    EXPECT_EQ(Narrow(result.error.message), c.pMessage);
    EXPECT_TRUE(result.summaries.empty());
    EXPECT_TRUE(receiver.warnings.empty());
    for (const std::string& item : receiver.Items())
        EXPECT_EQ(item.find("StreamEnd"), std::string::npos) << item;
}

const SFatalCase kFatalCases[] = {
    {"BadRecordId", [](CKelmWriter& w) { w.WriteFault(EFault::BadRecordId); }, 14, "Invalid RecordID value"},
    {"ZeroProtobufSize", [](CKelmWriter& w) { w.WriteFault(EFault::ZeroProtobufSize); }, 14,
     "Zero ProtobufDataSize value"},
    {"OversizedProtobufSize", [](CKelmWriter& w) { w.WriteFault(EFault::OversizedProtobufSize); }, 14,
     "Invalid ProtobufDataSize value"},
    {"OversizedBinarySize", [](CKelmWriter& w) { w.WriteFault(EFault::OversizedBinarySize); }, 14,
     "Invalid BinaryDataSize value"},
    {"UnparsableHeader", [](CKelmWriter& w) { w.WriteFault(EFault::UnparsableHeader); }, 1,
     "Protobuf data parsing error"},
    {"UnitWithoutLength", [](CKelmWriter& w) { w.WriteFault(EFault::UnitWithoutLength); }, 1,
     "Protobuf data parsing error"},
    // Out-of-range values of the schema's closed enums leave a required field unset.
    {"TagTypeOutOfRange", [](CKelmWriter& w) { w.WriteTagWithRawType(7); }, 1, "Protobuf data parsing error"},
    {"ESTypeOutOfRange", [](CKelmWriter& w) { w.WriteESWithRawType(3, 7, kelm::H264Video); }, 1,
     "Protobuf data parsing error"},
    {"TimebaseOutOfRange", [](CKelmWriter& w) { w.WriteStreamWithRawTimebase(3); }, 1, "Protobuf data parsing error"},
    {"LocalTimebase", [](CKelmWriter& w) { w.WriteStream(kelm::LOCAL); }, 29, "KELM time base '0' not supported"},
    {"StreamTagWithoutStreamMessage",
     [](CKelmWriter& w) {
         kelm::Tag tag;
         tag.set_type(kelm::STREAM);
         w.WriteRecord(tag);
     },
     29, "KELM time base '0' not supported"},
    {"EsRedeclaredAfterUnit", [](CKelmWriter& w) { w.WriteAudioES(1); }, 14, "New stream ID '1' already used"},
    {"NegativeEsRedeclaredAfterUnit",
     [](CKelmWriter& w) {
         w.WriteES(-1, kelm::MUX, 0);
         w.WriteUnit(-1, 1000, {1});
         w.WriteES(-1, kelm::AUX, 0);
     },
     14, "New stream ID '4294967295' already used"},
    {"TooManyStreamsInOneContext",
     [](CKelmWriter& w) {
         for (int32_t esno = 10; esno < 10 + 300; ++esno)
             w.WriteES(esno, kelm::AUX, 0);
     },
     14, "New stream ID '265' exceeds the limit of 256 streams"},
    {"StreamInfoWithoutSrid", [](CKelmWriter& w) { w.WriteStream(kelm::TB90KHz, "{\"name\":\"x\"}"); }, 26,
     "get error:  tag not found"},
    {"StreamInfoNotJson", [](CKelmWriter& w) { w.WriteStream(kelm::TB90KHz, "{\"srid\":"); }, 14,
     "get error: broken json"},
};

INSTANTIATE_TEST_SUITE_P(Records, ParserFatalTest, ::testing::ValuesIn(kFatalCases),
                         [](const ::testing::TestParamInfo<SFatalCase>& p) { return p.param.pName; });

TEST_F(CParserTest, FatalErrorKeepsSummariesOfFinishedContexts)
{
    const std::string path = PathOf("second-context-broken.kelm");
    {
        CKelmWriter writer(path);
        WriteContextWithUnit(writer);
        writer.WriteFinished();
        WriteContextWithUnit(writer);
        writer.WriteFault(EFault::BadRecordId);
        ASSERT_TRUE(writer.Close());
    }
    const SParseResult result = Parse(path);
    EXPECT_FALSE(result.ok);
    ASSERT_EQ(result.summaries.size(), 1u);
    EXPECT_EQ(result.summaries[0].frameCount, 1u);
}

TEST_F(CParserTest, MissingFileReportsTheFileError)
{
    const std::string path = PathOf("missing.kelm");
    UtilsNameSpace::SErrorInfo expected;
    UtilsNameSpace::CFile file;
    ASSERT_FALSE(file.Open(UtilsNameSpace::Utf8ToWide(path), UtilsNameSpace::CFile::OpenExisting, false, &expected));

    CRecordingReceiver receiver;
    const SParseResult result = Parse(path, &receiver);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.code, expected.code);
    EXPECT_EQ(result.error.message, expected.message);
    EXPECT_TRUE(receiver.events.empty());
}

struct STruncationCase {
    const char* pName;
    EFault fault;
    uint32_t keep; // bytes of the cut size field
    const char* pMessage;
};

class ParserTruncationTest : public CParserTest, public ::testing::WithParamInterface<STruncationCase> {
protected:
    std::string WriteTruncatedFile()
    {
        const std::string path = PathOf("truncated.kelm");
        CKelmWriter writer(path);
        WriteContextWithUnit(writer);
        writer.SetTruncateKeep(GetParam().keep);
        writer.WriteFault(GetParam().fault);
        EXPECT_TRUE(writer.Close());
        return path;
    }
};

TEST_P(ParserTruncationTest, WarnsThenSummarisesAndSucceeds)
{
    const std::string path = WriteTruncatedFile();
    CRecordingReceiver receiver;
    const SParseResult result = Parse(path, &receiver);
    ASSERT_TRUE(result.ok) << Narrow(result.error.message);
    ASSERT_EQ(receiver.warnings.size(), 1u);
    EXPECT_EQ(receiver.warnings[0].code, 14);
    EXPECT_EQ(Narrow(receiver.warnings[0].message), GetParam().pMessage);
    ASSERT_EQ(result.summaries.size(), 1u);
    EXPECT_EQ(result.summaries[0].frameCount, 1u);
    EXPECT_EQ(receiver.positions.back(), std::filesystem::file_size(path));
    EXPECT_EQ(receiver.Items().back(), "VideoStreamEnd 1 frames=1");
}

TEST_P(ParserTruncationTest, RefusedWarningCancels)
{
    const std::string path = WriteTruncatedFile();
    CRecordingReceiver receiver;
    receiver.refuse = "Warning";
    const SParseResult result = Parse(path, &receiver);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.code, 4);
    EXPECT_EQ(Narrow(result.error.message), "Cancelled");
    EXPECT_TRUE(result.summaries.empty());
    EXPECT_EQ(receiver.events.back().rfind("Warning", 0), 0u);
}

const STruncationCase kTruncationCases[] = {
    {"NoProtobufSize", EFault::TruncatedBeforeProtobufSize, 0, "Unexpected end of file before protobuf data size read"},
    {"PartOfProtobufSize", EFault::TruncatedBeforeProtobufSize, 3,
     "Unexpected end of file before protobuf data size read"},
    {"NoBinarySize", EFault::TruncatedBeforeBinarySize, 0, "Unexpected end of file before binary data size read"},
    {"PartOfBinarySize", EFault::TruncatedBeforeBinarySize, 2, "Unexpected end of file before binary data size read"},
    {"InProtobufData", EFault::TruncatedInProtobufData, 0, "Unexpected end of file before protobuf data read"},
    {"InBinaryData", EFault::TruncatedInBinaryData, 0, "Unexpected end of file before binary data read"},
};

INSTANTIATE_TEST_SUITE_P(LastRecord, ParserTruncationTest, ::testing::ValuesIn(kTruncationCases),
                         [](const ::testing::TestParamInfo<STruncationCase>& p) { return p.param.pName; });

class ParserShortFileTest : public CParserTest, public ::testing::WithParamInterface<int> {};

TEST_P(ParserShortFileTest, HoldsNoRecordsAndReportsItsSize)
{
    const int size = GetParam();
    const std::string path = PathOf("short.kelm");
    {
        CKelmWriter writer(path);
        for (int i = 0; i < size; ++i)
            writer.WriteBytes({0xFE});
        ASSERT_TRUE(writer.Close());
    }
    CRecordingReceiver receiver;
    const SParseResult result = Parse(path, &receiver);
    ASSERT_TRUE(result.ok) << Narrow(result.error.message);
    EXPECT_TRUE(result.summaries.empty());
    EXPECT_TRUE(receiver.Items().empty());
    EXPECT_EQ(receiver.events.front(), "FileSize " + std::to_string(size));
    const std::vector<uint64_t> expected =
        size == 0 ? std::vector<uint64_t>{0} : std::vector<uint64_t>{0, uint64_t(size)};
    EXPECT_EQ(receiver.positions, expected);
}

INSTANTIATE_TEST_SUITE_P(ZeroToThreeBytes, ParserShortFileTest, ::testing::Values(0, 1, 2, 3));

TEST_F(CParserTest, PositionsFollowEveryRecordAndTrailingBytesEndAtTheSize)
{
    const std::string path = PathOf("positions.kelm");
    std::vector<uint64_t> expected{0};
    {
        CKelmWriter writer(path);
        writer.WriteStream();
        expected.push_back(writer.BytesWritten());
        writer.WriteVideoES(1);
        expected.push_back(writer.BytesWritten());
        writer.WriteUnit(1, 900000, {1, 2, 3});
        expected.push_back(writer.BytesWritten());
        writer.WriteBytes({0xFE, 0xED, 0x5E});
        expected.push_back(writer.BytesWritten());
        ASSERT_TRUE(writer.Close());
    }
    CRecordingReceiver receiver;
    const SParseResult result = Parse(path, &receiver);
    ASSERT_TRUE(result.ok) << Narrow(result.error.message);
    EXPECT_TRUE(receiver.warnings.empty());
    EXPECT_EQ(receiver.positions, expected);
}

TEST_F(CParserTest, RefusedFinalPositionCancels)
{
    const std::string path = PathOf("trailing.kelm");
    {
        CKelmWriter writer(path);
        WriteContextWithUnit(writer);
        writer.WriteBytes({0, 0});
        ASSERT_TRUE(writer.Close());
    }
    CRecordingReceiver receiver;
    receiver.refuse = "Position";
    receiver.refuseAt = 5; // 0, three records, the end
    const SParseResult result = Parse(path, &receiver);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error.code, 4);
    EXPECT_TRUE(result.summaries.empty());
}

// The largest header and payload the format allows are read; the next larger are refused above.
TEST_F(CParserTest, LargestSizesAreAccepted)
{
    kelm::Tag tag;
    tag.set_type(kelm::CONTROL);
    tag.mutable_control()->set_length(0);
    std::string name(KcTest::kMaxProtobufDataSize, 'n');
    do {
        name.pop_back();
        tag.mutable_control()->set_cname(name);
    } while (tag.ByteSizeLong() > KcTest::kMaxProtobufDataSize);
    ASSERT_EQ(tag.ByteSizeLong(), KcTest::kMaxProtobufDataSize);

    const std::string path = PathOf("largest.kelm");
    {
        CKelmWriter writer(path);
        const std::vector<uint8_t> payload(KcTest::kMaxBinaryDataSize, 0x5A);
        writer.WriteRecord(tag, payload);
        ASSERT_TRUE(writer.Close());
    }
    for (bool bSkip : {true, false}) {
        CRecordingReceiver receiver;
        const SParseResult result = Parse(path, &receiver, bSkip);
        EXPECT_TRUE(result.ok) << Narrow(result.error.message);
        EXPECT_EQ(receiver.Items(), std::vector<std::string>{"ControlTag"});
    }
}

TEST_F(CParserTest, PayloadsAreSkippedOrDeliveredButAlwaysCounted)
{
    KcTest::SRecordingOptions options;
    options.startUtc = KcTest::UtcSeconds(2026, 3, 1, 12, 0, 0);
    options.endUtc = options.startUtc + 2;
    const std::string path = PathOf("CAM1-payloads.kelm");
    const KcTest::SWriteResult written = KcTest::WriteRecordingFile(path, options);
    ASSERT_TRUE(written.ok);

    CRecordingReceiver skipping;
    const SParseResult skipped = Parse(path, &skipping, true);
    CRecordingReceiver reading;
    const SParseResult read = Parse(path, &reading, false);
    ASSERT_TRUE(skipped.ok && read.ok);

    EXPECT_TRUE(skipping.bUnitPayloadNull);
    for (uint32_t size : skipping.unitPayloadSizes)
        EXPECT_EQ(size, 0u);
    EXPECT_FALSE(reading.bUnitPayloadNull);
    uint64_t delivered = 0;
    for (uint32_t size : reading.unitPayloadSizes)
        delivered += size;
    EXPECT_EQ(delivered, written.video.payloadBytes + written.audio.payloadBytes);

    ASSERT_EQ(skipped.summaries.size(), 2u);
    ASSERT_EQ(read.summaries.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(skipped.summaries[i].payloadBytes, read.summaries[i].payloadBytes);
        EXPECT_EQ(skipped.summaries[i].frameCount, read.summaries[i].frameCount);
    }
    EXPECT_EQ(skipped.summaries[0].payloadBytes, written.video.payloadBytes);
    EXPECT_EQ(skipped.summaries[1].payloadBytes, written.audio.payloadBytes);
}

} // namespace
} // namespace KcParserTest
