#pragma once

// Writes .kelm containers for tests and benchmarks.
//
// Whole recordings, one call each:
//
//   KcTest::SRecordingOptions rec;                    // CAM1, 90 kHz, video + audio from the sample
//   rec.srid = "CAM1";
//   rec.startUtc = KcTest::UtcSeconds(2026, 3, 1, 22, 0, 0);
//   rec.endUtc = KcTest::UtcSeconds(2026, 3, 2, 2, 0, 0);
//   KcTest::SWriteResult res = KcTest::WriteHourlyFiles(dir, rec);   // 4 files, res.files
//   KcTest::WriteRecordingFile(dir + "/one.kelm", rec);               // or all in one file
//
//   rec.audio = false;                                 // video only
//   rec.gaps.push_back({t0 + 10, t0 + 12});            // no units in [t0+10, t0+12)
//   rec.payload = KcTest::EPayload::Synthetic;         // benchmark: realistic sizes, no real frames
//   rec.payload = KcTest::EPayload::PaddedSample;      // realistic sizes, real frames
//
// Record by record, for the parser's edge cases:
//
//   KcTest::CKelmWriter w(path);
//   w.WriteStream();                                   // {"user-metadata":{"srid":"CAM1"}}, 90 kHz
//   w.WriteVideoES(1);                                 // H264Video with the sample's decoder config
//   w.WriteUnit(1, 900000, {0, 0, 0, 1, 0x65});        // pts in the current time base
//   w.WriteUnit(1, 900000, {0, 0, 0, 1, 0x41});        // equal pts
//   w.WriteFault(KcTest::EFault::TruncatedInBinaryData);
//   w.Close();
//
// Times are UTC seconds since 1970 (doubles), as in the content model. Video units sit on a 25 fps
// grid counted from startUtc, audio units every 1024/48000 s; both are interleaved in time order.
// Each file, and the first unit after a gap, starts the video loop at a key frame.

#include "MediaSample.h"

#include "KELM.pb.h"

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace KcTest {

// Record framing constants of the container.
constexpr uint8_t kRecordId[4] = {0xFE, 0xED, 0x5E, 0xED};
constexpr uint32_t kMaxProtobufDataSize = 1048576;
constexpr uint32_t kMaxBinaryDataSize = 16777216;

// Seconds since 1970 of a UTC calendar time.
double UtcSeconds(int year, int month, int day, int hour, int minute, double second);

// {"user-metadata":{"srid":"<srid>"}}
std::string SridInfo(const std::string& srid);

// Faults written by CKelmWriter::WriteFault. The truncations write the start of a record and
// nothing else; whatever the caller writes afterwards follows the cut record directly.
enum class EFault {
    BadRecordId,                 // FE ED 5E EE, then a valid CONTROL record's rest
    ZeroProtobufSize,            // ProtobufDataSize 0
    OversizedProtobufSize,       // ProtobufDataSize 1048577 (nothing follows the framing)
    OversizedBinarySize,         // BinaryDataSize 16777217 (nothing follows the framing)
    TruncatedBeforeProtobufSize, // RecordID, then 0 to 3 bytes of the size (see truncateKeep)
    TruncatedBeforeBinarySize,   // RecordID + ProtobufDataSize, then part of BinaryDataSize
    TruncatedInProtobufData,     // framing + half of a CONTROL header
    TruncatedInBinaryData,       // framing + UNIT header (esno 1, next pts) + half the payload
    UnparsableHeader,            // framing + bytes that are no Tag (FF FF FF FF)
    UnitWithoutLength,           // UNIT header lacking the required Unit.length
};

// Where the payload of generated units comes from.
enum class EPayload {
    Sample,       // the sample's H.264 and AAC packets, looped (decodable)
    Synthetic,    // length-prefixed NAL-like bytes of chosen sizes (key: type 5, others: type 1)
    PaddedSample, // the sample's packets, video grown to the synthetic sizes by filler data (decodable)
};

struct SSpan {
    double start = 0; // UTC seconds, inclusive
    double end = 0;   // UTC seconds, exclusive
};

// A recording of one camera, written as units looping the sample.
struct SRecordingOptions {
    std::string srid = "CAM1";
    std::string streamInfo;       // STREAM info; empty = SridInfo(srid)
    int timebase = kelm::TB90KHz; // written as is (LOCAL or any other value too)
    double startUtc = 0;          // [startUtc, endUtc)
    double endUtc = 0;

    bool video = true;
    bool audio = true;
    int32_t videoEsno = 1;
    int32_t audioEsno = 2;
    int32_t videoCodec = kelm::H264Video;
    int32_t audioCodec = kelm::RawAACAudio;
    // ES info texts; empty = the sample's decoder configuration (VideoEsInfo / AudioEsInfo).
    std::string videoEsInfo;
    std::string audioEsInfo;

    std::vector<SSpan> gaps;      // no units of either kind
    std::vector<SSpan> videoGaps; // no video units
    std::vector<SSpan> audioGaps; // no audio units

    bool finished = true; // end each file with a FINISHED record

    EPayload payload = EPayload::Sample;
    uint32_t syntheticKeyBytes = 100000;  // roughly 720p: key frames ...
    uint32_t syntheticOtherBytes = 15000; // ... and the rest
    uint32_t syntheticAudioBytes = 370;   // AAC frame at about 128 kbit/s
    uint32_t syntheticGopFrames = 25;
};

// What a write produced. Times are the units' times as a reader converts their pts.
struct SKindStats {
    uint64_t units = 0;
    uint64_t payloadBytes = 0;
    double firstTime = 0; // valid when units > 0
    double lastTime = 0;
};

struct SWriteResult {
    bool ok = true; // false: a file could not be written
    std::vector<std::string> files;
    SKindStats video;
    SKindStats audio;
    uint64_t fileBytes = 0; // all files together
};

// One file with STREAM, the ES records, the units of [startUtc, endUtc) and FINISHED.
SWriteResult WriteRecordingFile(const std::string& path, const SRecordingOptions& options);

// One file per UTC hour touched by [startUtc, endUtc), each a complete stream context, named
// "<srid>-<YYYYMMDD>-<HH>00.kelm" in dir (which must exist). The unit grid runs on across files.
SWriteResult WriteHourlyFiles(const std::string& dir, const SRecordingOptions& options);

// Hand-encodes protobuf fields, for values the generated classes refuse to produce (out-of-range
// values of closed enums, missing required fields).
class CRawProto {
public:
    CRawProto& Varint(uint32_t field, uint64_t value);
    CRawProto& Bytes(uint32_t field, const std::string& bytes);
    CRawProto& Message(uint32_t field, const CRawProto& message);
    // Appends the serialized message as it is (required fields may be missing).
    CRawProto& Append(const google::protobuf::MessageLite& message);
    const std::string& Data() const { return m_data; }

private:
    void Key(uint32_t field, uint32_t wireType);
    void RawVarint(uint64_t value);
    std::string m_data;
};

class CKelmWriter {
public:
    // Creates (truncates) the file. IsOpen() tells whether that worked.
    explicit CKelmWriter(const std::string& path);
    ~CKelmWriter();
    CKelmWriter(const CKelmWriter&) = delete;
    CKelmWriter& operator=(const CKelmWriter&) = delete;

    bool IsOpen() const { return m_pFile != nullptr; }
    // Flushes and closes; false when any write failed.
    bool Close();
    uint64_t BytesWritten() const { return m_bytes; }

    // ---- record level

    // RecordID, sizes, serialized tag (all required fields must be set), payload.
    void WriteRecord(const kelm::Tag& tag, const uint8_t* pPayload = nullptr, uint32_t size = 0);
    void WriteRecord(const kelm::Tag& tag, const std::vector<uint8_t>& payload);
    // RecordID, sizes taken from the given bytes, the header bytes as given, payload.
    void WriteRawRecord(const std::string& header, const uint8_t* pPayload = nullptr, uint32_t size = 0);
    // Framing only: the record id and the two sizes as given (big-endian).
    void WriteFraming(uint32_t protobufSize, uint32_t binarySize, const uint8_t* pRecordId = kRecordId);
    // Any bytes.
    void WriteBytes(const void* pData, size_t size);
    void WriteBytes(std::initializer_list<uint8_t> bytes);

    // ---- one record per call; the payload arguments make non-empty payloads on purpose

    // Also sets the time base WriteUnitAt converts with.
    void WriteStream(int timebase = kelm::TB90KHz, const std::string& info = SridInfo("CAM1"),
                     const std::vector<uint8_t>& payload = {});
    void WriteES(int32_t esno, kelm::ESType type, int32_t codec, const std::string& info = std::string(),
                 const std::vector<uint8_t>& payload = {});
    // With the sample's decoder configuration in info unless info is given.
    void WriteVideoES(int32_t esno = 1, int32_t codec = kelm::H264Video, const std::string& info = VideoEsInfo());
    void WriteAudioES(int32_t esno = 2, int32_t codec = kelm::RawAACAudio, const std::string& info = AudioEsInfo());
    // pts in the time base of the data; Unit.dts = pts, Unit.length = payload size.
    void WriteUnit(int32_t esno, uint64_t pts, const uint8_t* pPayload, uint32_t size, bool rap = false);
    void WriteUnit(int32_t esno, uint64_t pts, const std::vector<uint8_t>& payload, bool rap = false);
    // pts from UTC seconds in the time base of the last WriteStream (TB1KHz: ms, else 90 kHz).
    void WriteUnitAt(int32_t esno, double utcSeconds, const std::vector<uint8_t>& payload, bool rap = false);
    void WriteError(int32_t code, const std::vector<uint8_t>& payload = {});
    void WriteControl(const std::vector<uint8_t>& payload = {});
    void WriteFinished(const std::vector<uint8_t>& payload = {});

    // Records the generated classes cannot express: hand-encoded enum values.
    void WriteTagWithRawType(uint64_t tagType);                            // Tag.type only
    void WriteESWithRawType(int32_t esno, uint64_t esType, int32_t codec); // ES.estype out of range
    void WriteStreamWithRawTimebase(uint64_t timebase, const std::string& info = SridInfo("CAM1"));

    void WriteFault(EFault fault);
    // For the two "truncated before size" faults: how many bytes of that size field to keep (0..3).
    void SetTruncateKeep(uint32_t bytes) { m_truncateKeep = bytes; }

    // ---- recording level

    // STREAM, the ES records, the units of [startUtc, endUtc), FINISHED (when options.finished).
    void WriteRecording(const SRecordingOptions& options, SWriteResult* pResult = nullptr);
    // Only the units of [from, to) on the grid of options.startUtc; no STREAM/ES/FINISHED. The
    // video restarts at a key frame at the first unit written and after every gap.
    void WriteUnits(const SRecordingOptions& options, double from, double to, SWriteResult* pResult = nullptr);

private:
    uint64_t PtsOf(double utcSeconds) const;

    std::FILE* m_pFile = nullptr;
    std::vector<char> m_buffer;
    bool m_failed = false;
    uint64_t m_bytes = 0;
    int m_timebase = kelm::TB90KHz;
    uint64_t m_lastPts = 0; // of the last unit written, for the truncated-unit fault
    uint32_t m_truncateKeep = 2;
    kelm::Tag m_unitTag;  // reused for every unit
    std::string m_header; // reused serialization buffer
};

} // namespace KcTest
