#pragma once

#include "container/ErrorInfo.h"
#include "export/DecoderSetup.h"
#include "export/Mp4FileProvider.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVIOContext;
struct AVPacket;

namespace KELMNameSpace {

enum class EMp4Track { Audio = 0, Video = 1 };

// Every sample time of a target is a tick on this line; it is also both tracks' time base.
constexpr int kMp4TicksPerSecond = 48000;

// One MP4 file with an H.264 and/or an AAC track, written through a file provider so that every
// file operation reports in the file system's words. Use per target:
//   Create -> AddVideoTrack / AddAudioTrack (every kind the target's day has) -> WriteHeader
//   -> WriteSample ... -> Close (the file is complete) or Abort (the caller deletes the file).
// The muxer needs every track before the first sample, so no track can be added after the header;
// a track that gets no sample is left out of the file. A writer can be reused after Close/Abort.
// Failures are reported with the provider's first error behind the operation's context text when
// the file system failed, with code 1 and the bare context text when the library failed, with
// code 14 when a decoder configuration is unusable, and with code 13/28 for misuse.
class CMp4Writer {
public:
    explicit CMp4Writer(UtilsNameSpace::CMp4FileProvider& provider);
    CMp4Writer(const CMp4Writer&) = delete;
    CMp4Writer& operator=(const CMp4Writer&) = delete;
    ~CMp4Writer(); // aborts an open file

    // Creates (truncates) the file. "Target file creation error".
    bool Create(const std::wstring& path, UtilsNameSpace::SErrorInfo* pError);
    // Picture size comes from the first readable sequence parameter set; the sets form the avcC.
    // "Video track creation error".
    bool AddVideoTrack(const ParameterSetList& sequenceParameterSets, const ParameterSetList& pictureParameterSets,
                       UtilsNameSpace::SErrorInfo* pError);
    // The AudioSpecificConfig gives the sample rate and channels. "Audio track creation error",
    // "Audio decoder configuration set error".
    bool AddAudioTrack(const uint8_t* pConfig, size_t configSize, UtilsNameSpace::SErrorInfo* pError);
    // The movie's and the tracks' creation time (UTC seconds since 1970); takes effect at the
    // header. Without one the library's default (none) stays.
    void SetCreationTime(double utcSeconds) { m_creationTime = utcSeconds; }
    // How many samples the file is expected to get at most, so that room for the index can be
    // kept at the front of the file (players then start at once, without reading the file to its
    // end). Takes effect at the header; without it the index is moved to the front at close by a
    // second pass over the file. More samples than announced are fine: the close then makes that
    // second pass.
    void SetExpectedSamples(uint64_t videoSamples, uint64_t audioSamples);
    // Writes the file header with the tracks added so far. "Target file creation error".
    bool WriteHeader(UtilsNameSpace::SErrorInfo* pError);
    // One sample at its tick (ticks strictly increase per track). Each sample lasts until the
    // next one; the last one lasts as long as the interval before it (a lone sample lasts one AAC
    // frame or 1/25 s). "Video sample write error", "Audio sample write error".
    bool WriteSample(EMp4Track track, const uint8_t* pData, size_t size, uint64_t tick, bool bSync,
                     UtilsNameSpace::SErrorInfo* pError);
    // Writes the index and closes the file. "Target file close error".
    bool Close(UtilsNameSpace::SErrorInfo* pError);
    // Closes the file without the index and without reporting anything.
    void Abort();

    bool IsOpen() const { return m_pFormat != nullptr; }
    bool IsHeaderWritten() const { return m_bHeaderWritten; }
    bool HasTrack(EMp4Track track) const { return Track(track).streamIndex >= 0; }
    uint64_t SampleCount(EMp4Track track) const { return Track(track).samples; }
    // Bytes kept at the front for the index (0: none, the index goes to the front in a second
    // pass at close).
    uint64_t ReservedIndexSize() const { return m_reservedIndexSize; }
    // The close had to make the second pass because the kept room was too small.
    bool UsedSecondPass() const { return m_bUsedSecondPass; }

    struct SFormatContextDeleter {
        void operator()(AVFormatContext* p) const;
    };
    struct SIoContextDeleter {
        void operator()(AVIOContext* p) const;
    };
    struct SPacketDeleter {
        void operator()(AVPacket* p) const;
    };

private:
    struct STrack {
        int streamIndex = -1;
        uint64_t samples = 0;
        uint64_t lastTick = 0;
        uint64_t firstDuration = 0; // length of a first sample that stays the only one
        uint64_t lastDuration = 0;
        uint64_t syncSamples = 0;
        uint64_t lastInterval = 0;
        uint64_t intervalRuns = 0; // runs of equal intervals: the entries of the time table
        // Chunks as the muxer forms them (samples that follow each other in the file, up to a
        // size), counted so that the index is never underestimated: more chunks, more changes.
        uint64_t chunks = 0;
        uint64_t chunkBytes = 0;
        uint64_t chunkSamples = 0;
        uint64_t lastChunkSamples = 0;
        uint64_t chunkTableEntries = 0; // changes of samples per chunk
        uint64_t bytes = 0;
        size_t configSize = 0;
    };
    // Longer than this since the previous sample is a gap, not a sample's length.
    static constexpr uint64_t kMaxSampleDuration = 10 * kMp4TicksPerSecond;
    static uint64_t SampleDuration(const STrack& track, uint64_t tick);

    STrack& Track(EMp4Track track) { return m_tracks[static_cast<int>(track)]; }
    const STrack& Track(EMp4Track track) const { return m_tracks[static_cast<int>(track)]; }
    bool CanAddTrack(EMp4Track track, const wchar_t* pContext, UtilsNameSpace::SErrorInfo* pError) const;
    // Fills the error with the provider's first error (or the target's first file error) behind
    // "<context>: ", or with code 1 "<context>".
    void LibraryFailure(const wchar_t* pContext, UtilsNameSpace::SErrorInfo* pError);
    void Release();
    // What the index can take at most for these tracks.
    uint64_t IndexBound(bool bExpected) const;
    // Marks the room kept after the file-type box as a free box, so that the file stays readable
    // whichever way the index is placed at close. False when the file does not look as expected.
    bool MarkReservedRoom();
    // Before the trailer: when the index may not fit the room kept, have the muxer move it to the
    // front in a second pass instead.
    bool ChooseIndexPlacement();

    UtilsNameSpace::CMp4FileProvider& m_provider;
    std::unique_ptr<AVFormatContext, SFormatContextDeleter> m_pFormat;
    std::unique_ptr<AVIOContext, SIoContextDeleter> m_pIo;
    std::unique_ptr<AVPacket, SPacketDeleter> m_pPacket; // reused for every sample
    STrack m_tracks[2];
    bool m_bHeaderWritten = false;
    bool m_bBroken = false; // the header failed: only Close or Abort remain
    double m_creationTime = -1;
    uint64_t m_expectedVideoSamples = 0;
    uint64_t m_expectedAudioSamples = 0;
    uint64_t m_reservedIndexSize = 0;
    bool m_bReservedRoomMarked = false;
    bool m_bUsedSecondPass = false;
    int m_lastTrack = -1;                   // of the sample written last
    UtilsNameSpace::SErrorInfo m_fileError; // the first file error of the current target
};

// Receives the library's error and warning reports, formatted and prefixed with
// "libavformat error: " or "libavformat warning: ". Called on the thread that made the library
// call. The library's log output is process-wide, so only one sink can listen at a time.
class ILibraryLogSink {
public:
    virtual ~ILibraryLogSink() = default;
    virtual void OnLibraryLog(bool bError, const std::wstring& message) = 0;
};

// Points the library's log output at the sink; null restores the library's own output.
void SetLibraryLogSink(ILibraryLogSink* pSink);

} // namespace KELMNameSpace
