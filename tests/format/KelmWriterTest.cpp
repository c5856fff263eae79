#include "KelmWriter.h"
#include "FormatTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

using namespace KcFormatTest;
using KcTest::CKelmWriter;
using KcTest::EFault;
using KcTest::SRecordingOptions;
using KcTest::SWriteResult;

namespace {

const double kT0 = KcTest::UtcSeconds(2026, 3, 1, 22, 0, 0);

SRecordingOptions Recording(double start, double seconds)
{
    SRecordingOptions options;
    options.startUtc = start;
    options.endUtc = start + seconds;
    return options;
}

double TimeOf(const SReadRecord& unit, double rate)
{
    return double(unit.tag.unit().pts()) * (1.0 / rate);
}

bool IsSampleKeyFrame(const std::vector<uint8_t>& payload)
{
    return payload == KcTest::MediaSample().video.front().data;
}

TEST(KelmWriterTest, UtcSecondsCountsFrom1970)
{
    EXPECT_EQ(KcTest::UtcSeconds(1970, 1, 1, 0, 0, 0), 0.0);
    EXPECT_EQ(kT0, 1772402400.0);
    EXPECT_EQ(KcTest::UtcSeconds(2024, 2, 29, 23, 59, 59.5), 1709251199.5);
}

TEST(KelmWriterTest, RecordingReadsBackRecordByRecord)
{
    CTempDir dir;
    const KcTest::SMediaSample& sample = KcTest::MediaSample();
    SRecordingOptions options = Recording(kT0, 4);
    options.audioEsno = 3;
    const SWriteResult result = KcTest::WriteRecordingFile(dir.Path("cam.kelm"), options);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.fileBytes, ReadAll(dir.Path("cam.kelm")).size());

    const std::vector<SReadRecord> records = ReadRecords(dir.Path("cam.kelm"));
    ASSERT_GE(records.size(), 4u);

    const kelm::Tag& stream = records[0].tag;
    ASSERT_EQ(stream.type(), kelm::STREAM);
    EXPECT_EQ(stream.stream().timebase(), kelm::TB90KHz);
    EXPECT_EQ(stream.stream().info(), R"({"user-metadata":{"srid":"CAM1"}})");
    ASSERT_EQ(records[1].tag.type(), kelm::ESES);
    EXPECT_EQ(records[1].tag.es().esno(), 1);
    EXPECT_EQ(records[1].tag.es().estype(), kelm::AVVIDEO);
    EXPECT_EQ(records[1].tag.es().escodec(), kelm::H264Video);
    EXPECT_EQ(records[1].tag.es().info(), KcTest::VideoEsInfo());
    ASSERT_EQ(records[2].tag.type(), kelm::ESES);
    EXPECT_EQ(records[2].tag.es().esno(), 3);
    EXPECT_EQ(records[2].tag.es().estype(), kelm::AVAUDIO);
    EXPECT_EQ(records[2].tag.es().escodec(), kelm::RawAACAudio);
    EXPECT_EQ(records[2].tag.es().info(), KcTest::AudioEsInfo());
    EXPECT_EQ(records.back().tag.type(), kelm::FINISHED);
    for (const SReadRecord& record : records) {
        if (record.tag.type() != kelm::UNIT) {
            EXPECT_TRUE(record.payload.empty());
        }
    }

    // Units in time order across both streams, each the sample's packet at its loop position.
    uint64_t previous = 0;
    for (size_t i = 3; i + 1 < records.size(); ++i) {
        ASSERT_EQ(records[i].tag.type(), kelm::UNIT);
        const kelm::Unit& unit = records[i].tag.unit();
        EXPECT_GE(unit.pts(), previous);
        EXPECT_EQ(unit.dts(), unit.pts());
        EXPECT_EQ(unit.length(), records[i].payload.size());
        previous = unit.pts();
    }
    const uint64_t base = uint64_t(kT0) * 90000;
    const auto video = UnitsOf(records, 1);
    ASSERT_EQ(video.size(), 100u);
    for (size_t i = 0; i < video.size(); ++i) {
        EXPECT_EQ(video[i]->tag.unit().pts(), base + i * 3600);
        EXPECT_EQ(video[i]->payload, sample.video[i].data) << i;
        EXPECT_EQ(video[i]->tag.unit().rap(), sample.video[i].key) << i;
    }
    const auto audio = UnitsOf(records, 3);
    ASSERT_EQ(audio.size(), 188u); // 4 s of 1024-sample frames, the last one starting before 4 s
    for (size_t j = 0; j < audio.size(); ++j) {
        EXPECT_EQ(audio[j]->tag.unit().pts(), base + j * 1920);
        EXPECT_EQ(audio[j]->payload, sample.audio[j % sample.audio.size()].data) << j;
    }

    EXPECT_EQ(result.video.units, 100u);
    EXPECT_EQ(result.audio.units, 188u);
    EXPECT_NEAR(result.video.firstTime, kT0, 1e-6);
    EXPECT_NEAR(result.video.lastTime, kT0 + 3.96, 1e-6);
    EXPECT_NEAR(result.audio.lastTime, kT0 + 187 * 1024 / 48000.0, 1e-6);
}

TEST(KelmWriterTest, VideoLoopRestartsAtKeyFrame)
{
    CTempDir dir;
    const KcTest::SMediaSample& sample = KcTest::MediaSample();
    SRecordingOptions options = Recording(kT0, 10);
    options.audio = false;
    KcTest::WriteRecordingFile(dir.Path("v.kelm"), options);
    const std::vector<SReadRecord> records = ReadRecords(dir.Path("v.kelm"));

    for (const SReadRecord& record : records) {
        if (record.tag.type() == kelm::ESES) {
            EXPECT_EQ(record.tag.es().estype(), kelm::AVVIDEO);
        }
    }
    const auto video = UnitsOf(records, 1);
    ASSERT_EQ(video.size(), 250u);
    for (size_t i = 0; i < video.size(); ++i)
        EXPECT_EQ(video[i]->payload, sample.video[i % sample.video.size()].data) << i;
    EXPECT_TRUE(UnitsOf(records, 2).empty());
}

TEST(KelmWriterTest, GapsHoldNoUnitsAndVideoResumesAtKeyFrame)
{
    CTempDir dir;
    SRecordingOptions options = Recording(kT0, 10);
    options.gaps.push_back({kT0 + 3.5, kT0 + 5.0});
    options.videoGaps.push_back({kT0 + 7.02, kT0 + 8.0});
    options.audioGaps.push_back({kT0, kT0 + 2.0}); // audio starts two seconds late
    KcTest::WriteRecordingFile(dir.Path("g.kelm"), options);
    const std::vector<SReadRecord> records = ReadRecords(dir.Path("g.kelm"));

    const auto video = UnitsOf(records, 1);
    ASSERT_FALSE(video.empty());
    EXPECT_TRUE(IsSampleKeyFrame(video.front()->payload));
    for (size_t i = 0; i < video.size(); ++i) {
        const double t = TimeOf(*video[i], 90000);
        EXPECT_FALSE(t >= kT0 + 3.5 && t < kT0 + 5.0) << t;
        EXPECT_FALSE(t >= kT0 + 7.02 && t < kT0 + 8.0) << t;
        if (i > 0 && t - TimeOf(*video[i - 1], 90000) > 0.05) {
            EXPECT_TRUE(IsSampleKeyFrame(video[i]->payload)) << "after the gap ending at " << t;
        }
    }
    // 10 s at 25 fps, less the frames 3.52 .. 4.96 s and 7.04 .. 7.96 s; frames on a gap's end
    // are kept.
    const uint64_t base = uint64_t(kT0) * 90000;
    ASSERT_EQ(video.size(), 250u - 37u - 24u);
    EXPECT_EQ(video[87]->tag.unit().pts(), base + 87 * 3600);
    EXPECT_EQ(video[88]->tag.unit().pts(), base + 5 * 90000);
    EXPECT_EQ(video[88 + 51]->tag.unit().pts(), base + 8 * 90000);

    const auto audio = UnitsOf(records, 2);
    ASSERT_FALSE(audio.empty());
    EXPECT_GE(TimeOf(*audio.front(), 90000), kT0 + 2.0);
    for (const SReadRecord* pUnit : audio) {
        const double t = TimeOf(*pUnit, 90000);
        EXPECT_FALSE(t >= kT0 + 3.5 && t < kT0 + 5.0) << t;
    }
    // Audio keeps its place in the sample loop across gaps: the frame at grid position j.
    const size_t firstJ = size_t(std::ceil(2.0 * 48000 / 1024));
    EXPECT_EQ(audio.front()->payload, KcTest::MediaSample().audio[firstJ].data);
}

struct STimebaseCase {
    int timebase;
    double rate;
    uint64_t videoStep;
};

void PrintTo(const STimebaseCase& testCase, std::ostream* pOut)
{
    *pOut << "timebase " << testCase.timebase;
}

class KelmWriterTimebaseTest : public ::testing::TestWithParam<STimebaseCase> {};

TEST_P(KelmWriterTimebaseTest, PtsCountInTheStreamTimebase)
{
    CTempDir dir;
    SRecordingOptions options = Recording(kT0 + 0.5, 3);
    options.timebase = GetParam().timebase;
    KcTest::WriteRecordingFile(dir.Path("t.kelm"), options);
    const std::vector<SReadRecord> records = ReadRecords(dir.Path("t.kelm"));
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(int(records[0].tag.stream().timebase()), GetParam().timebase);

    const uint64_t base = uint64_t(std::llround((kT0 + 0.5) * GetParam().rate));
    const auto video = UnitsOf(records, 1);
    ASSERT_EQ(video.size(), 75u);
    for (size_t i = 0; i < video.size(); ++i)
        EXPECT_EQ(video[i]->tag.unit().pts(), base + i * GetParam().videoStep);
    const auto audio = UnitsOf(records, 2);
    ASSERT_EQ(audio.size(), 141u);
    for (size_t j = 1; j < audio.size(); ++j) {
        EXPECT_GT(audio[j]->tag.unit().pts(), audio[j - 1]->tag.unit().pts());
        EXPECT_NEAR(TimeOf(*audio[j], GetParam().rate), kT0 + 0.5 + j * 1024 / 48000.0, 0.001);
    }
}

INSTANTIATE_TEST_SUITE_P(Timebases, KelmWriterTimebaseTest,
                         ::testing::Values(STimebaseCase{kelm::TB90KHz, 90000, 3600},
                                           STimebaseCase{kelm::TB1KHz, 1000, 40}));

TEST(KelmWriterTest, HourlyFilesAreCompleteContextsOnOneGrid)
{
    CTempDir dir;
    SRecordingOptions options = Recording(KcTest::UtcSeconds(2026, 3, 1, 23, 59, 58), 5);
    options.srid = "CAM7";
    const SWriteResult result = KcTest::WriteHourlyFiles(dir.Path(), options);
    ASSERT_TRUE(result.ok);
    ASSERT_EQ(result.files,
              (std::vector<std::string>{dir.Path("CAM7-20260301-2300.kelm"), dir.Path("CAM7-20260302-0000.kelm")}));
    EXPECT_EQ(result.video.units, 125u);
    EXPECT_EQ(result.fileBytes, ReadAll(result.files[0]).size() + ReadAll(result.files[1]).size());

    const double midnight = KcTest::UtcSeconds(2026, 3, 2, 0, 0, 0);
    size_t videoUnits = 0;
    for (size_t f = 0; f < 2; ++f) {
        const std::vector<SReadRecord> records = ReadRecords(result.files[f]);
        ASSERT_GE(records.size(), 4u);
        EXPECT_EQ(records[0].tag.type(), kelm::STREAM);
        EXPECT_EQ(records[0].tag.stream().info(), R"({"user-metadata":{"srid":"CAM7"}})");
        EXPECT_EQ(records[1].tag.type(), kelm::ESES);
        EXPECT_EQ(records[2].tag.type(), kelm::ESES);
        EXPECT_EQ(records.back().tag.type(), kelm::FINISHED);
        const auto video = UnitsOf(records, 1);
        ASSERT_FALSE(video.empty());
        EXPECT_TRUE(IsSampleKeyFrame(video.front()->payload)) << "file " << f;
        for (const SReadRecord* pUnit : video)
            EXPECT_EQ(pUnit->tag.unit().pts() < uint64_t(midnight) * 90000, f == 0) << pUnit->tag.unit().pts();
        videoUnits += video.size();
    }
    EXPECT_EQ(videoUnits, 125u);
    // The grid continues: the second file starts exactly 2 s (50 frames) after the first.
    EXPECT_EQ(UnitsOf(ReadRecords(result.files[1]), 1).front()->tag.unit().pts(),
              UnitsOf(ReadRecords(result.files[0]), 1).front()->tag.unit().pts() + 50 * 3600);
}

TEST(KelmWriterTest, HourlyFilesStartAtTheHourOfTheStart)
{
    CTempDir dir;
    const SRecordingOptions options = Recording(KcTest::UtcSeconds(2026, 3, 1, 22, 30, 0), 1);
    const SWriteResult result = KcTest::WriteHourlyFiles(dir.Path(), options);
    ASSERT_EQ(result.files, (std::vector<std::string>{dir.Path("CAM1-20260301-2200.kelm")}));
    EXPECT_NEAR(result.video.firstTime, options.startUtc, 1e-6);
}

TEST(KelmWriterTest, SyntheticPayloadsHaveChosenSizesAndNalTypes)
{
    CTempDir dir;
    SRecordingOptions options = Recording(kT0, 3);
    options.payload = KcTest::EPayload::Synthetic;
    options.syntheticKeyBytes = 1000;
    options.syntheticOtherBytes = 100;
    options.syntheticAudioBytes = 20;
    options.syntheticGopFrames = 10;
    const SWriteResult result = KcTest::WriteRecordingFile(dir.Path("s.kelm"), options);
    const std::vector<SReadRecord> records = ReadRecords(dir.Path("s.kelm"));

    const auto video = UnitsOf(records, 1);
    ASSERT_EQ(video.size(), 75u);
    for (size_t i = 0; i < video.size(); ++i) {
        const std::vector<uint8_t>& p = video[i]->payload;
        const bool key = i % 10 == 0;
        ASSERT_EQ(p.size(), key ? 1000u : 100u);
        EXPECT_EQ(Be32(std::string(p.begin(), p.begin() + 4), 0), p.size() - 4);
        EXPECT_EQ(p[4] & 0x1F, key ? 5 : 1) << i;
        EXPECT_EQ(video[i]->tag.unit().rap(), key);
    }
    for (const SReadRecord* pUnit : UnitsOf(records, 2))
        EXPECT_EQ(pUnit->payload.size(), 20u);
    EXPECT_EQ(result.video.payloadBytes, 8u * 1000 + 67u * 100);
}

TEST(KelmWriterTest, AnHourOfSyntheticUnitsStaysOnTheGrid)
{
    CTempDir dir;
    SRecordingOptions options = Recording(kT0, 3600);
    options.payload = KcTest::EPayload::Synthetic;
    options.syntheticKeyBytes = 5;
    options.syntheticOtherBytes = 5;
    options.syntheticAudioBytes = 1;
    const SWriteResult result = KcTest::WriteRecordingFile(dir.Path("h.kelm"), options);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.video.units, 90000u);
    EXPECT_EQ(result.audio.units, 168750u);
    EXPECT_NEAR(result.video.lastTime, kT0 + 3600 - 0.04, 1e-6);
    EXPECT_NEAR(result.audio.lastTime, kT0 + 3600 - 1024 / 48000.0, 1e-6);
    EXPECT_EQ(result.fileBytes, ReadAll(dir.Path("h.kelm")).size());
}

TEST(KelmWriterTest, RecordHelpersWriteWhatTheyAreGiven)
{
    CTempDir dir;
    {
        CKelmWriter w(dir.Path("r.kelm"));
        ASSERT_TRUE(w.IsOpen());
        w.WriteUnit(1, 5, {1}); // before any STREAM
        w.WriteStream(kelm::TB1KHz, "not json", {9});
        w.WriteES(4, kelm::SUBTITLES, 77, "", {8, 8});
        w.WriteVideoES(1);
        w.WriteVideoES(1); // re-declared
        w.WriteUnitAt(1, 1000.25, {0, 0, 0, 1, 0x65}, true);
        w.WriteUnitAt(1, 1000.25, {0, 0, 0, 1, 0x41}); // equal pts
        w.WriteUnit(9, 1, {2});                        // unknown esno, earlier pts
        w.WriteError(-3, {7});
        w.WriteControl({6, 6, 6});
        w.WriteFinished({5});
        EXPECT_TRUE(w.Close());
    }
    const std::vector<SReadRecord> r = ReadRecords(dir.Path("r.kelm"));
    ASSERT_EQ(r.size(), 11u);
    EXPECT_EQ(r[0].tag.type(), kelm::UNIT);
    EXPECT_EQ(r[1].tag.stream().info(), "not json");
    EXPECT_EQ(r[1].payload, std::vector<uint8_t>{9});
    EXPECT_EQ(r[2].tag.es().estype(), kelm::SUBTITLES);
    EXPECT_EQ(r[2].tag.es().escodec(), 77);
    EXPECT_FALSE(r[2].tag.es().has_info());
    EXPECT_EQ(r[2].payload, (std::vector<uint8_t>{8, 8}));
    EXPECT_EQ(r[3].header, r[4].header);
    EXPECT_EQ(r[5].tag.unit().pts(), 1000250u);
    EXPECT_TRUE(r[5].tag.unit().rap());
    EXPECT_EQ(r[6].tag.unit().pts(), 1000250u);
    EXPECT_EQ(r[7].tag.unit().esno(), 9);
    EXPECT_EQ(r[7].tag.unit().pts(), 1u);
    EXPECT_EQ(r[8].tag.error().code(), -3);
    EXPECT_EQ(r[8].payload, std::vector<uint8_t>{7});
    EXPECT_EQ(r[9].tag.control().length(), 3u);
    EXPECT_EQ(r[9].payload, (std::vector<uint8_t>{6, 6, 6}));
    EXPECT_EQ(r[10].tag.type(), kelm::FINISHED);
    EXPECT_EQ(r[10].payload, std::vector<uint8_t>{5});
}

TEST(KelmWriterTest, UnwritablePathIsReported)
{
    CTempDir dir;
    CKelmWriter w(dir.Path("missing/x.kelm"));
    EXPECT_FALSE(w.IsOpen());
    EXPECT_FALSE(w.Close());
    EXPECT_FALSE(KcTest::WriteRecordingFile(dir.Path("missing/y.kelm"), Recording(kT0, 1)).ok);
}

// ---- hand-encoded headers

std::vector<SReadRecord> WriteAndRead(const std::string& path, const std::function<void(CKelmWriter&)>& write)
{
    {
        CKelmWriter w(path);
        write(w);
    }
    return ReadRecords(path);
}

std::string HeaderOfOnlyRecord(const std::string& path, const std::function<void(CKelmWriter&)>& write)
{
    {
        CKelmWriter w(path);
        write(w);
    }
    const std::string bytes = ReadAll(path);
    if (bytes.size() < 12)
        return std::string();
    return bytes.substr(12, Be32(bytes, 4));
}

TEST(KelmWriterRawTest, RawEncodingMatchesTheGeneratedClassesForValidValues)
{
    CTempDir dir;
    const std::string p = dir.Path("x.kelm");
    EXPECT_EQ(HeaderOfOnlyRecord(p, [](CKelmWriter& w) { w.WriteESWithRawType(-1, kelm::AVAUDIO, -5); }),
              HeaderOfOnlyRecord(p, [](CKelmWriter& w) { w.WriteES(-1, kelm::AVAUDIO, -5); }));
    EXPECT_EQ(HeaderOfOnlyRecord(p, [](CKelmWriter& w) { w.WriteStreamWithRawTimebase(kelm::TB1KHz, "i"); }),
              HeaderOfOnlyRecord(p, [](CKelmWriter& w) { w.WriteStream(kelm::TB1KHz, "i"); }));

    // A known type without its sub-message: readers fall back to the default instance.
    const std::vector<SReadRecord> r = WriteAndRead(p, [](CKelmWriter& w) { w.WriteTagWithRawType(kelm::CONTROL); });
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].tag.type(), kelm::CONTROL);
    EXPECT_FALSE(r[0].tag.has_control());
}

// Closed enums: the generated classes move an unknown value into the unknown fields, so the
// required field counts as missing and the whole header fails to parse.
TEST(KelmWriterRawTest, OutOfRangeEnumValuesAreOnTheWire)
{
    CTempDir dir;
    const std::string p = dir.Path("x.kelm");

    const std::string tagHeader = HeaderOfOnlyRecord(p, [](CKelmWriter& w) { w.WriteTagWithRawType(7); });
    EXPECT_EQ(tagHeader, std::string("\x08\x07", 2));
    kelm::Tag tag;
    ASSERT_TRUE(tag.ParsePartialFromString(tagHeader));
    EXPECT_FALSE(tag.has_type());
    EXPECT_FALSE(tag.IsInitialized());

    const std::string esHeader = HeaderOfOnlyRecord(p, [](CKelmWriter& w) { w.WriteESWithRawType(2, 9, 3); });
    EXPECT_NE(esHeader.find(std::string("\x18\x09", 2)), std::string::npos); // field 3 = 9
    ASSERT_TRUE(tag.ParsePartialFromString(esHeader));
    EXPECT_FALSE(tag.es().has_estype());
    EXPECT_FALSE(tag.IsInitialized());

    const std::string streamHeader = HeaderOfOnlyRecord(p, [](CKelmWriter& w) { w.WriteStream(3); });
    EXPECT_NE(streamHeader.find(std::string("\x18\x03", 2)), std::string::npos); // field 3 = 3
    ASSERT_TRUE(tag.ParsePartialFromString(streamHeader));
    EXPECT_FALSE(tag.stream().has_timebase());
    EXPECT_FALSE(tag.IsInitialized());

    // LOCAL is a declared value and goes through the generated classes.
    const std::vector<SReadRecord> r = WriteAndRead(p, [](CKelmWriter& w) { w.WriteStream(kelm::LOCAL); });
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].tag.stream().timebase(), kelm::LOCAL);
}

// ---- faults: what follows a valid STREAM record

struct SFaultCase {
    const char* pName;
    EFault fault;
    uint32_t keep;
    std::function<void(const std::string& tail)> check;
};

// Test names in CTest show the case name instead of the bytes of the record.
void PrintTo(const SFaultCase& testCase, std::ostream* pOut)
{
    *pOut << testCase.pName;
}

std::string IdOf(const std::string& tail)
{
    return tail.substr(0, 4);
}

const std::string kId("\xFE\xED\x5E\xED", 4);

class KelmWriterFaultTest : public ::testing::TestWithParam<SFaultCase> {};

TEST_P(KelmWriterFaultTest, WritesTheFault)
{
    CTempDir dir;
    const std::string path = dir.Path("f.kelm");
    size_t before = 0;
    {
        CKelmWriter w(path);
        w.WriteStream();
        w.WriteUnit(1, 900000, {0, 0, 0, 1, 0x65});
        before = w.BytesWritten();
        w.SetTruncateKeep(GetParam().keep);
        w.WriteFault(GetParam().fault);
        EXPECT_TRUE(w.Close());
        EXPECT_EQ(w.BytesWritten(), ReadAll(path).size());
    }
    const std::string bytes = ReadAll(path);
    ASSERT_GE(bytes.size(), before);
    GetParam().check(bytes.substr(before));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, KelmWriterFaultTest,
    ::testing::Values(SFaultCase{"BadRecordId", EFault::BadRecordId, 0,
                                 [](const std::string& bytes) {
                                     ASSERT_GE(bytes.size(), 12u);
                                     EXPECT_EQ(IdOf(bytes), std::string("\xFE\xED\x5E\xEE", 4));
                                     EXPECT_EQ(bytes.size(), 12 + Be32(bytes, 4));
                                     kelm::Tag tag;
                                     EXPECT_TRUE(tag.ParseFromString(bytes.substr(12)));
                                 }},
                      SFaultCase{"ZeroProtobufSize", EFault::ZeroProtobufSize, 0,
                                 [](const std::string& bytes) { EXPECT_EQ(bytes, kId + std::string(8, '\0')); }},
                      SFaultCase{"OversizedProtobufSize", EFault::OversizedProtobufSize, 0,
                                 [](const std::string& bytes) {
                                     ASSERT_EQ(bytes.size(), 12u);
                                     EXPECT_EQ(IdOf(bytes), kId);
                                     EXPECT_EQ(Be32(bytes, 4), 1048577u);
                                 }},
                      SFaultCase{"OversizedBinarySize", EFault::OversizedBinarySize, 0,
                                 [](const std::string& bytes) {
                                     ASSERT_EQ(bytes.size(), 12u);
                                     EXPECT_EQ(IdOf(bytes), kId);
                                     EXPECT_GT(Be32(bytes, 4), 0u);
                                     EXPECT_LE(Be32(bytes, 4), 1048576u);
                                     EXPECT_EQ(Be32(bytes, 8), 16777217u);
                                 }},
                      SFaultCase{"TruncatedBeforeProtobufSize0", EFault::TruncatedBeforeProtobufSize, 0,
                                 [](const std::string& bytes) { EXPECT_EQ(bytes, kId); }},
                      SFaultCase{"TruncatedBeforeProtobufSize3", EFault::TruncatedBeforeProtobufSize, 3,
                                 [](const std::string& bytes) { EXPECT_EQ(bytes, kId + std::string(3, '\0')); }},
                      SFaultCase{"TruncatedBeforeBinarySize0", EFault::TruncatedBeforeBinarySize, 0,
                                 [](const std::string& bytes) {
                                     ASSERT_EQ(bytes.size(), 8u);
                                     EXPECT_EQ(IdOf(bytes), kId);
                                     EXPECT_GT(Be32(bytes, 4), 0u);
                                 }},
                      SFaultCase{"TruncatedBeforeBinarySize2", EFault::TruncatedBeforeBinarySize, 2,
                                 [](const std::string& bytes) { EXPECT_EQ(bytes.size(), 10u); }},
                      SFaultCase{"TruncatedInProtobufData", EFault::TruncatedInProtobufData, 0,
                                 [](const std::string& bytes) {
                                     ASSERT_GE(bytes.size(), 12u);
                                     EXPECT_EQ(IdOf(bytes), kId);
                                     EXPECT_GT(bytes.size(), 12u);
                                     EXPECT_LT(bytes.size(), 12 + Be32(bytes, 4));
                                 }},
                      SFaultCase{"TruncatedInBinaryData", EFault::TruncatedInBinaryData, 0,
                                 [](const std::string& bytes) {
                                     ASSERT_GE(bytes.size(), 12u);
                                     const uint32_t headerSize = Be32(bytes, 4);
                                     ASSERT_GE(bytes.size(), 12 + headerSize);
                                     kelm::Tag tag;
                                     ASSERT_TRUE(tag.ParseFromString(bytes.substr(12, headerSize)));
                                     EXPECT_EQ(tag.type(), kelm::UNIT);
                                     EXPECT_EQ(tag.unit().esno(), 1);
                                     EXPECT_GT(tag.unit().pts(), 900000u); // would count if it were complete
                                     const size_t payload = bytes.size() - 12 - headerSize;
                                     EXPECT_GT(payload, 0u);
                                     EXPECT_LT(payload, Be32(bytes, 8));
                                 }},
                      SFaultCase{"UnparsableHeader", EFault::UnparsableHeader, 0,
                                 [](const std::string& bytes) {
                                     ASSERT_EQ(bytes.size(), 12 + Be32(bytes, 4));
                                     kelm::Tag tag;
                                     EXPECT_FALSE(tag.ParsePartialFromString(bytes.substr(12)));
                                 }},
                      SFaultCase{"UnitWithoutLength", EFault::UnitWithoutLength, 0,
                                 [](const std::string& bytes) {
                                     ASSERT_EQ(bytes.size(), 12 + Be32(bytes, 4));
                                     EXPECT_EQ(Be32(bytes, 8), 0u);
                                     kelm::Tag tag;
                                     ASSERT_TRUE(tag.ParsePartialFromString(bytes.substr(12)));
                                     EXPECT_FALSE(tag.IsInitialized());
                                     EXPECT_EQ(tag.type(), kelm::UNIT);
                                     EXPECT_FALSE(tag.unit().has_length());
                                     EXPECT_TRUE(tag.unit().has_pts());
                                 }}),
    [](const ::testing::TestParamInfo<SFaultCase>& caseInfo) { return std::string(caseInfo.param.pName); });

} // namespace
