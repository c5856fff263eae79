#pragma once

#include "container/ErrorInfo.h"

#include <cstdint>
#include <string>
#include <vector>

namespace KELMNameSpace {

using UtilsNameSpace::SErrorInfo;

// Kinds of elementary streams; the values follow the alphabetical order of the names.
enum StreamKind : uint32_t {
    StreamKindUnknown = 0,
    StreamKindAudio = 1,
    StreamKindAux = 2,
    StreamKindMux = 3,
    StreamKindSignalling = 4,
    StreamKindSubtitles = 5,
    StreamKindVideo = 6,
};

enum AudioCodecId : uint32_t {
    AudioCodecUnknown = 0,
    ADTSAACAudio = 1,
    AudioAvCodec = 2,
    MPEG2Audio = 3,
    RawAACAudio = 4,
    RawPCMAudio = 5,
    WavAudio = 6,
};

enum VideoCodecId : uint32_t {
    VideoCodecUnknown = 0,
    AnnexBH264Video = 1,
    H264Video = 2,
    MPEG2Video = 3,
    RawYUVPlanes = 4,
    VideoAvcodec = 5,
};

// "RawAACAudio", ...; "Unknown audio codec" / "Unknown video codec" outside the tables.
const wchar_t* AudioCodecName(uint32_t codec);
const wchar_t* VideoCodecName(uint32_t codec);
// "Audio", "Aux", ...; null for kind 0 and unknown values.
const wchar_t* StreamKindName(uint32_t kind);

// What the parser gathered for one elementary stream of one stream context.
struct SStreamSummary {
    int32_t esno = 0;
    uint64_t frameCount = 0;
    uint64_t payloadBytes = 0;
    double firstTime = 0;
    double lastTime = 0;
    uint32_t kind = StreamKindUnknown;
    std::wstring srid;
    std::wstring subSourceKey;
    uint32_t codec = 0;
    uint64_t firstPts = 0;
    uint64_t lastPts = 0;
    std::vector<uint8_t> decoderConfig; // of an audio or video stream, as its description gave it
};

// Receives the items of a container as the parser meets them. Every operation answers whether
// to go on; false stops the parse with code 4 "Cancelled".
class IKELMItemsReceiver {
public:
    virtual ~IKELMItemsReceiver() = default;

    virtual bool OnControlTag() = 0;
    virtual bool OnFinishedTag() = 0;
    virtual bool OnErrorTag(int32_t code) = 0;
    virtual bool OnStreamTag(const std::wstring& srid, const std::wstring& subSourceKey) = 0;
    virtual bool OnAudioStreamEnd(int32_t esno, uint64_t frameCount, double lastTime) = 0;
    virtual bool OnAudioES(int32_t esno, AudioCodecId codec, const uint8_t* pConfig, uint32_t configSize) = 0;
    virtual bool OnAuxStreamEnd(int32_t esno, uint64_t frameCount, double lastTime) = 0;
    virtual bool OnAuxES(int32_t esno) = 0;
    virtual bool OnMuxStreamEnd(int32_t esno, uint64_t frameCount, double lastTime) = 0;
    virtual bool OnMuxES(int32_t esno) = 0;
    virtual bool OnSignallingStreamEnd(int32_t esno, uint64_t frameCount, double lastTime) = 0;
    virtual bool OnSignallingES(int32_t esno) = 0;
    virtual bool OnSubtitlesStreamEnd(int32_t esno, uint64_t frameCount, double lastTime) = 0;
    virtual bool OnSubtitlesES(int32_t esno) = 0;
    virtual bool OnVideoStreamEnd(int32_t esno, uint64_t frameCount, double lastTime) = 0;
    virtual bool OnVideoES(int32_t esno, VideoCodecId codec, const uint8_t* pConfig, uint32_t configSize) = 0;
    // pPayload is null and payloadSize 0 when payloads are skipped.
    virtual bool OnUnit(int32_t esno, double time, const uint8_t* pPayload, uint32_t payloadSize) = 0;
    virtual bool OnFileSize(uint64_t fileSize) = 0;
    virtual bool OnPosition(uint64_t bytesConsumed) = 0;
    virtual bool OnParseWarning(const SErrorInfo& warning) = 0;
};

// Answers true to everything; receivers override what they need.
class CKELMItemsReceiverStub : public IKELMItemsReceiver {
public:
    bool OnControlTag() override { return true; }
    bool OnFinishedTag() override { return true; }
    bool OnErrorTag(int32_t) override { return true; }
    bool OnStreamTag(const std::wstring&, const std::wstring&) override { return true; }
    bool OnAudioStreamEnd(int32_t, uint64_t, double) override { return true; }
    bool OnAudioES(int32_t, AudioCodecId, const uint8_t*, uint32_t) override { return true; }
    bool OnAuxStreamEnd(int32_t, uint64_t, double) override { return true; }
    bool OnAuxES(int32_t) override { return true; }
    bool OnMuxStreamEnd(int32_t, uint64_t, double) override { return true; }
    bool OnMuxES(int32_t) override { return true; }
    bool OnSignallingStreamEnd(int32_t, uint64_t, double) override { return true; }
    bool OnSignallingES(int32_t) override { return true; }
    bool OnSubtitlesStreamEnd(int32_t, uint64_t, double) override { return true; }
    bool OnSubtitlesES(int32_t) override { return true; }
    bool OnVideoStreamEnd(int32_t, uint64_t, double) override { return true; }
    bool OnVideoES(int32_t, VideoCodecId, const uint8_t*, uint32_t) override { return true; }
    bool OnUnit(int32_t, double, const uint8_t*, uint32_t) override { return true; }
    bool OnFileSize(uint64_t) override { return true; }
    bool OnPosition(uint64_t) override { return true; }
    bool OnParseWarning(const SErrorInfo&) override { return true; }
};

// How a parse reads its file. It reads blockSize bytes at a time, in file order, into one buffer
// that it reuses, and takes headers and payloads from there. Bytes it does not need (skipped
// payloads) are read through as well, since reading on costs less than breaking the system's
// read-ahead, unless the next needed byte lies more than skipThreshold bytes beyond what was
// read: then it jumps there. The items reported do not depend on these values.
struct SParseReading {
    uint32_t blockSize = 2 * 1024 * 1024;
    // From a disk nobody read yet, jumping over 8 and 16 MiB saved a third to two thirds of the
    // time, while up to 4 MiB it saved nothing or cost more (bench-scan --cold --sweep).
    uint64_t skipThreshold = 4 * 1024 * 1024;
};

// Reads one .kelm file from start to end and reports its items to pReceiver (a shared stub when
// null). Summaries are appended to pSummaries when given. True when the file was read to its end
// or to a tolerated truncation; otherwise pError holds the reason.
bool ParseContainer(const std::wstring& filePath, bool bSkipPayloads, IKELMItemsReceiver* pReceiver,
                    std::vector<SStreamSummary>* pSummaries, SErrorInfo* pError);
bool ParseContainer(const std::wstring& filePath, bool bSkipPayloads, IKELMItemsReceiver* pReceiver,
                    std::vector<SStreamSummary>* pSummaries, SErrorInfo* pError, const SParseReading& reading);

// The Srid a recorder encodes in a file name "<Srid>-<a>-<b>.<ext>" with b - a = 59, for streams
// whose information names no source. False when the name does not have that form.
bool SridFromFileName(const std::wstring& filePath, std::string& srid);

} // namespace KELMNameSpace
