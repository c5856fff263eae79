// Writes the seed inputs of the fuzz targets: containers written by the test-support writer (a
// good recording and every fault and edge the parser knows), the sample's decoder configurations
// and parameter sets, and hand-made variants of them. Each seed starts with the choice byte the
// target reads first (FuzzEntries.h).
//
//   make-fuzz-seeds <corpus folder>     writes <folder>/kelm_parse, decoder_config, decoder_setup,
//                                       content_prepare, export_files

#include "FuzzEntries.h"
#include "KelmWriter.h"
#include "MediaSample.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Choice bytes of the container target.
constexpr uint8_t kReadPayloads = 0;
constexpr uint8_t kSkipPayloads = 1;
constexpr uint8_t kRecorderName = 2;
constexpr uint8_t StopAt(uint8_t call)
{
    return uint8_t(call << 2);
}

// Choice bytes of the decoder targets.
constexpr uint8_t kExtractConfig = 0;
constexpr uint8_t kBase64 = 1;
constexpr uint8_t kSetupData = 0;
constexpr uint8_t kSyncSample = 1;
constexpr uint8_t kPictureSize = 2;
constexpr uint8_t kAacConfig = 3;

// A small H.264 unit: an IDR slice behind its length.
const Bytes kIdrUnit = {0, 0, 0, 2, 0x65, 0x88};
const Bytes kSliceUnit = {0, 0, 0, 2, 0x41, 0x9A};

bool g_bFailed = false;

void Save(const fs::path& folder, const std::string& name, uint8_t choice, const Bytes& data)
{
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.put(static_cast<char>(choice));
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!out) {
        std::fprintf(stderr, "make-fuzz-seeds: cannot write %s\n", (folder / name).c_str());
        g_bFailed = true;
    }
}

void Save(const fs::path& folder, const std::string& name, uint8_t choice, const std::string& text)
{
    Save(folder, name, choice, Bytes(text.begin(), text.end()));
}

Bytes ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes one container with the writer into scratch, then saves it as a seed.
template <typename Write>
void SaveContainer(const fs::path& folder, const fs::path& scratch, const std::string& name, uint8_t choice,
                   Write write)
{
    const fs::path path = scratch / (name + ".kelm");
    {
        KcTest::CKelmWriter writer(path.string());
        write(writer);
        if (!writer.Close()) {
            std::fprintf(stderr, "make-fuzz-seeds: cannot write %s\n", path.c_str());
            g_bFailed = true;
        }
    }
    Save(folder, name, choice, ReadFile(path));
}

// STREAM, a video ES with the sample's configuration and one small unit: the start most fault
// seeds build on.
void Start(KcTest::CKelmWriter& w)
{
    w.WriteStream();
    w.WriteVideoES(1);
    w.WriteUnit(1, 900000, kIdrUnit);
}

void ContainerSeeds(const fs::path& folder, const fs::path& scratch)
{
    using KcTest::CKelmWriter;
    using KcTest::EFault;

    // A good recording: a fifth of a second of the sample, video and audio.
    KcTest::SRecordingOptions rec;
    rec.srid = "CAM1";
    rec.startUtc = KcTest::UtcSeconds(2026, 3, 1, 12, 0, 0);
    rec.endUtc = rec.startUtc + 0.2;
    SaveContainer(folder, scratch, "good-recording", kReadPayloads, [&](CKelmWriter& w) { w.WriteRecording(rec); });
    SaveContainer(folder, scratch, "good-recording-skipped", kSkipPayloads,
                  [&](CKelmWriter& w) { w.WriteRecording(rec); });
    KcTest::SRecordingOptions millis = rec;
    millis.timebase = kelm::TB1KHz;
    millis.endUtc = rec.startUtc + 0.1;
    SaveContainer(folder, scratch, "good-recording-1khz", kReadPayloads,
                  [&](CKelmWriter& w) { w.WriteRecording(millis); });
    SaveContainer(folder, scratch, "good-recording-cancelled", StopAt(9),
                  [&](CKelmWriter& w) { w.WriteRecording(millis); });

    // Every framing fault, after a start that declares a stream.
    const struct {
        const char* pName;
        EFault fault;
    } faults[] = {
        {"fault-bad-record-id", EFault::BadRecordId},
        {"fault-zero-protobuf-size", EFault::ZeroProtobufSize},
        {"fault-oversized-protobuf-size", EFault::OversizedProtobufSize},
        {"fault-oversized-binary-size", EFault::OversizedBinarySize},
        {"fault-truncated-before-protobuf-size", EFault::TruncatedBeforeProtobufSize},
        {"fault-truncated-before-binary-size", EFault::TruncatedBeforeBinarySize},
        {"fault-truncated-in-protobuf-data", EFault::TruncatedInProtobufData},
        {"fault-truncated-in-binary-data", EFault::TruncatedInBinaryData},
        {"fault-unparsable-header", EFault::UnparsableHeader},
        {"fault-unit-without-length", EFault::UnitWithoutLength},
    };
    for (const auto& fault : faults) {
        SaveContainer(folder, scratch, fault.pName, kReadPayloads, [&](CKelmWriter& w) {
            Start(w);
            w.WriteFault(fault.fault);
        });
    }
    SaveContainer(folder, scratch, "fault-truncated-in-binary-data-skipped", kSkipPayloads, [&](CKelmWriter& w) {
        Start(w);
        w.WriteFault(EFault::TruncatedInBinaryData);
    });

    // Edges of the files themselves.
    SaveContainer(folder, scratch, "empty-file", kReadPayloads, [](CKelmWriter&) {});
    SaveContainer(folder, scratch, "trailing-bytes", kReadPayloads, [](CKelmWriter& w) {
        Start(w);
        w.WriteBytes({0xFE, 0xED, 0x5E});
    });

    // Stream contexts and the Srid.
    SaveContainer(folder, scratch, "srid-from-file-name", kRecorderName, [](CKelmWriter& w) {
        w.WriteStream(kelm::TB90KHz, "not json");
        w.WriteVideoES(1);
        w.WriteUnit(1, 900000, kIdrUnit);
    });
    SaveContainer(folder, scratch, "srid-missing", kReadPayloads,
                  [](CKelmWriter& w) { w.WriteStream(kelm::TB90KHz, "{\"other\":\"CAM1\"}"); });
    SaveContainer(folder, scratch, "srid-user-metadata-and-root", kReadPayloads, [](CKelmWriter& w) {
        w.WriteStream(kelm::TB90KHz, "{\"vrid\":\"ROOT\",\"user-metadata\":{\"sid\":7,\"cid\":\"CAM2\"}}");
        w.WriteAudioES(2);
        w.WriteUnit(2, 900000, Bytes{0x21, 0x10});
    });
    SaveContainer(folder, scratch, "timebase-raw-values", kReadPayloads,
                  [](CKelmWriter& w) { w.WriteStreamWithRawTimebase(3); });
    SaveContainer(folder, scratch, "two-contexts", kReadPayloads, [](CKelmWriter& w) {
        Start(w);
        w.WriteFinished();
        w.WriteUnit(1, 900001, kSliceUnit); // refers to a stream of the closed context
        w.WriteStream(kelm::TB1KHz, KcTest::SridInfo("CAM2"));
        w.WriteVideoES(1);
        w.WriteUnit(1, 10000, kIdrUnit);
        w.WriteStream(kelm::TB90KHz, KcTest::SridInfo("CAM3")); // time base changes under the stream
        w.WriteUnit(1, 10001, kSliceUnit);
        w.WriteFinished();
    });

    // Elementary streams.
    SaveContainer(folder, scratch, "es-every-kind", kReadPayloads, [](CKelmWriter& w) {
        w.WriteStream();
        w.WriteES(1, kelm::MUX, 0);
        w.WriteES(2, kelm::AUX, 0);
        w.WriteES(3, kelm::SIGNALLING, 0);
        w.WriteES(4, kelm::SUBTITLES, 0);
        w.WriteVideoES(5, kelm::AnnexBH264Video);
        w.WriteAudioES(6, kelm::ADTSAACAudio);
        w.WriteES(7, kelm::AVVIDEO, 99);
        w.WriteES(8, kelm::AVAUDIO, -1);
        w.WriteESWithRawType(9, 17, 2);
        for (int32_t esno = 1; esno <= 9; ++esno)
            w.WriteUnit(esno, 900000 + uint64_t(esno), kSliceUnit);
        w.WriteFinished();
    });
    SaveContainer(folder, scratch, "es-redeclared", kReadPayloads, [](CKelmWriter& w) {
        w.WriteStream();
        w.WriteVideoES(1);
        w.WriteVideoES(1); // before any unit: starts afresh
        w.WriteUnit(1, 900000, kIdrUnit);
        w.WriteVideoES(1); // after a unit: fatal
    });
    SaveContainer(folder, scratch, "es-damaged-config", kReadPayloads, [](CKelmWriter& w) {
        w.WriteStream();
        w.WriteVideoES(1, kelm::H264Video, "{\"decoderConfig\":\"binary-dataXXX: AQ=\t\"}");
        w.WriteAudioES(2, kelm::RawAACAudio, "{\"DECODERCONFIG\":\"BINARY-DATAxxx:EQ");
        w.WriteUnit(1, 900000, kIdrUnit);
        w.WriteUnit(2, 900000, Bytes{0x21});
    });

    // Units.
    SaveContainer(folder, scratch, "unit-order", kSkipPayloads, [](CKelmWriter& w) {
        w.WriteUnit(1, 1, kIdrUnit); // before any STREAM
        Start(w);
        w.WriteUnit(1, 900000, kSliceUnit); // equal pts
        w.WriteUnit(1, 899999, kSliceUnit); // earlier pts
        w.WriteUnit(5, 900001, kSliceUnit); // undeclared stream
        w.WriteUnit(1, 900001, Bytes{});    // empty payload
    });

    // The other tags, with and without payloads.
    SaveContainer(folder, scratch, "tags-with-payloads", kReadPayloads, [](CKelmWriter& w) {
        w.WriteStream(kelm::TB90KHz, KcTest::SridInfo("CAM1"), Bytes{1});
        w.WriteES(1, kelm::AVVIDEO, kelm::H264Video, std::string(), Bytes{1, 2});
        w.WriteError(-5, Bytes{3});
        w.WriteControl(Bytes{4, 5, 6});
        w.WriteTagWithRawType(9);
        w.WriteFinished(Bytes{7});
    });
    SaveContainer(folder, scratch, "tags-plain", kSkipPayloads | kRecorderName, [](CKelmWriter& w) {
        w.WriteError(2);
        w.WriteControl();
        w.WriteFinished();
    });
}

void DecoderConfigSeeds(const fs::path& folder)
{
    const KcTest::SMediaSample& sample = KcTest::MediaSample();
    Save(folder, "video-es-info", kExtractConfig, KcTest::VideoEsInfo());
    Save(folder, "audio-es-info", kExtractConfig, KcTest::AudioEsInfo());
    Save(folder, "empty-config", kExtractConfig, KcTest::DecoderConfigInfo({}));
    Save(folder, "letter-case-and-blanks", kExtractConfig, "{\"DecoderConfig\":\"Binary-DataXXX: \tAAA=AAAA \"}");
    Save(folder, "no-closing-quote", kExtractConfig, "\"decoderConfig\":\"binary-dataXXX:AAA");
    Save(folder, "member-missing", kExtractConfig, "{\"decoderConfig\":\"binary-data:AAAA\"}");
    Save(folder, "base64-avcc", kBase64, KcTest::EncodeBase64(sample.avcC));
    Save(folder, "base64-damaged", kBase64, "AA=A*$%_-\"\x80\xff/+9z");
}

void DecoderSetupSeeds(const fs::path& folder)
{
    const KcTest::SMediaSample& sample = KcTest::MediaSample();
    Save(folder, "avcc", kSetupData, sample.avcC);
    Save(folder, "avcc-too-small", kSetupData, Bytes{1, 0x64, 0, 0x0D, 0xFF});
    Save(folder, "avcc-bad-format", kSetupData, Bytes{0, 0x64, 0, 0x0D, 0xFF, 0xE1});
    Save(folder, "avcc-empty-sps-then-end", kSetupData, Bytes{1, 0x64, 0, 0x0D, 0xFF, 0xE1, 0, 0});
    Save(folder, "avcc-no-pps", kSetupData, Bytes{1, 0x64, 0, 0x0D, 0xFF, 0xE0, 0});
    Save(folder, "key-unit", kSyncSample, sample.video.front().data);
    Save(folder, "other-unit", kSyncSample, sample.video.at(1).data);
    // A delimiter and an SEI before the IDR slice, then a length running past the end.
    Save(folder, "delimiter-first", kSyncSample,
         Bytes{0, 0, 0, 2, 0x09, 0xF0, 0, 0, 0, 1, 0x06, 0, 0, 0, 2, 0x65, 0x88, 0, 0, 1, 0, 0x41});
    for (size_t i = 0; i < sample.sps.size(); ++i)
        Save(folder, "sps-" + std::to_string(i), kPictureSize, sample.sps[i]);
    // Baseline profile, 1920x1088 cropped to 1920x1080.
    Save(folder, "sps-baseline-cropped", kPictureSize,
         Bytes{0x67, 0x42, 0xC0, 0x28, 0xDA, 0x01, 0xE0, 0x08, 0x9F, 0x96, 0x10, 0x00, 0x00, 0x03, 0x00, 0x10});
    Save(folder, "aac-sample", kAacConfig, sample.audioSpecificConfig);
    // HE-AAC signalled explicitly: 24 kHz core, 48 kHz output, stereo.
    Save(folder, "aac-explicit-sbr", kAacConfig, Bytes{0x2B, 0x11, 0x88, 0x00});
    // Escape object type and an explicit sampling frequency.
    Save(folder, "aac-escapes", kAacConfig, Bytes{0xF8, 0x1F, 0x80, 0x3E, 0x80, 0x10});
}

} // namespace

// The bytes of one recording written by the container writer.
Bytes RecordingBytes(const fs::path& scratch, const KcTest::SRecordingOptions& options)
{
    const fs::path path = scratch / "multi.kelm";
    if (!KcTest::WriteRecordingFile(path.string(), options).ok) {
        std::fprintf(stderr, "make-fuzz-seeds: cannot write %s\n", path.c_str());
        g_bFailed = true;
    }
    return ReadFile(path);
}

// Seeds of the engine-level targets: sets of files as cameras write them, joined by the
// separator the targets split at (FuzzEntries.h).
void MultiFileSeeds(const fs::path& folder, const fs::path& scratch)
{
    const auto shortRecording = [](const char* pSrid, double startUtc, double seconds) {
        KcTest::SRecordingOptions options;
        options.srid = pSrid;
        options.startUtc = startUtc;
        options.endUtc = startUtc + seconds;
        return options;
    };
    const double noon = KcTest::UtcSeconds(2026, 3, 1, 12, 0, 0);
    const double beforeMidnight = KcTest::UtcSeconds(2026, 3, 1, 20, 59, 59.6);
    KcTest::SRecordingOptions videoOnly = shortRecording("CAM1", noon + 1, 0.4);
    videoOnly.audio = false;
    KcTest::SRecordingOptions audioFirst = shortRecording("CAM1", noon, 0.4);
    audioFirst.video = false;

    const struct {
        const char* pName;
        uint8_t choice; // the zone
        std::vector<KcTest::SRecordingOptions> files;
    } sets[] = {
        {"one-file", 0, {shortRecording("CAM1", noon, 0.4)}},
        {"two-files-one-camera", 1, {shortRecording("CAM1", noon, 0.4), shortRecording("CAM1", noon + 2, 0.4)}},
        {"two-cameras", 2, {shortRecording("CAM1", noon, 0.4), shortRecording("cam-2", noon + 0.2, 0.4)}},
        {"across-midnight", 1, {shortRecording("1001", beforeMidnight, 0.8)}},
        {"audio-then-video", 3, {audioFirst, videoOnly}},
        {"clock-reset", 0, {shortRecording("CAM1", 0, 0.4), shortRecording("CAM1", noon, 0.4)}},
        {"far-future", 1, {shortRecording("CAM1", 4294967295.0 - 0.2, 0.4), shortRecording("CAM2", noon, 0.4)}},
        {"odd-camera-names", 0, {shortRecording("..", noon, 0.2), shortRecording("a b.c", noon, 0.2)}},
    };
    const Bytes separator(KcFuzz::kFileSeparator, KcFuzz::kFileSeparator + sizeof(KcFuzz::kFileSeparator) - 1);
    for (const auto& set : sets) {
        Bytes joined;
        for (size_t i = 0; i < set.files.size(); ++i) {
            if (i > 0)
                joined.insert(joined.end(), separator.begin(), separator.end());
            const Bytes file = RecordingBytes(scratch, set.files[i]);
            joined.insert(joined.end(), file.begin(), file.end());
        }
        Save(folder, set.pName, set.choice, joined);
    }
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-fuzz-seeds <corpus folder>\n");
        return 2;
    }
    const fs::path corpus = argv[1];
    const fs::path scratch = fs::temp_directory_path() / ("kc-fuzz-seeds-" + std::to_string(::getpid()));
    std::error_code error;
    fs::create_directories(scratch, error);
    for (const char* pTarget : {"kelm_parse", "decoder_config", "decoder_setup", "content_prepare", "export_files"})
        fs::create_directories(corpus / pTarget, error);

    ContainerSeeds(corpus / "kelm_parse", scratch);
    DecoderConfigSeeds(corpus / "decoder_config");
    DecoderSetupSeeds(corpus / "decoder_setup");
    MultiFileSeeds(corpus / "content_prepare", scratch);
    MultiFileSeeds(corpus / "export_files", scratch);

    fs::remove_all(scratch, error);
    return g_bFailed ? 1 : 0;
}
