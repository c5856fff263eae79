// The only place that talks to libavformat (through the module AvLibrary.h loads): the MP4 muxer,
// its I/O through the file provider and its log output.
#include "export/Mp4Writer.h"

#include "export/AvLibrary.h"

#include "container/File.h"
#include "container/TextConvert.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace KELMNameSpace {

using UtilsNameSpace::CMp4FileProvider;
using UtilsNameSpace::SErrorInfo;
using UtilsNameSpace::SetErrorInfo;

namespace {

// Samples reach the file in blocks of this size: one write per block, whatever the sample sizes.
constexpr int kIoBufferSize = 2 * 1024 * 1024;
constexpr AVRational kTickBase = {1, kMp4TicksPerSecond};
constexpr size_t kMaxLogText = 65536;
constexpr size_t kMaxSequenceParameterSets = 31; // avcC keeps the count in 5 bits
constexpr size_t kMaxPictureParameterSets = 255;

// The index (moov) the muxer writes: the boxes of the movie and of each track (headers, edit list,
// sample description with its decoder configuration, metadata: bounded by these), then tables
// with an entry per sample (size), per sync sample, per run of equal sample intervals, per chunk
// (offset) and per change of the samples in a chunk.
constexpr uint64_t kIndexMovieBytes = 8192;
constexpr uint64_t kIndexTrackBytes = 2048;
constexpr uint64_t kIndexSizeEntryBytes = 4;
constexpr uint64_t kIndexSyncEntryBytes = 4;
constexpr uint64_t kIndexTimeEntryBytes = 8;
constexpr uint64_t kIndexChunkEntryBytes = 12;
constexpr uint64_t kIndexShortOffsetBytes = 4;
constexpr uint64_t kIndexLongOffsetBytes = 8;
// The muxer closes a chunk at 1 MiB; counting at half that only overestimates.
constexpr uint64_t kChunkBytesCounted = 512 * 1024;
// Room kept at the start, per announced sample: sizes and chunk offsets, the sync table of a
// camera with frequent key frames and the tables of a steady clock, with headroom. The close
// checks the real need and makes the second pass when the room is too small.
constexpr uint64_t kReserveVideoSampleBytes = 16;
constexpr uint64_t kReserveAudioSampleBytes = 8;
constexpr uint64_t kFreeBoxHeaderBytes = 8;

uint32_t ReadBigEndian32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// "2026-03-01T09:00:00.250000Z", as the muxer reads creation times.
std::string Iso8601Utc(double utcSeconds)
{
    const time_t whole = static_cast<time_t>(utcSeconds);
    struct tm fields {};
    if (!gmtime_r(&whole, &fields))
        return std::string();
    char text[64];
    const size_t length = std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%S", &fields);
    const int microseconds = std::min(999999, static_cast<int>((utcSeconds - static_cast<double>(whole)) * 1e6));
    std::snprintf(text + length, sizeof(text) - length, ".%06dZ", std::max(0, microseconds));
    return text;
}

const wchar_t* TrackName(EMp4Track track)
{
    return track == EMp4Track::Video ? L"Video" : L"Audio";
}

// ---- I/O through the file provider ----

int ProviderFailure(const CMp4FileProvider& provider)
{
    return provider.Error().code == UtilsNameSpace::kErrStorageFull ? AVERROR(ENOSPC) : AVERROR(EIO);
}

int ReadPacket(void* pOpaque, uint8_t* pBuffer, int bufferSize)
{
    auto& provider = *static_cast<CMp4FileProvider*>(pOpaque);
    uint64_t size = 0;
    if (!provider.GetSize(size))
        return ProviderFailure(provider);
    const uint64_t position = provider.Position();
    if (position >= size)
        return AVERROR_EOF;
    const uint64_t count = std::min<uint64_t>(static_cast<uint64_t>(bufferSize), size - position);
    if (!provider.Read(pBuffer, count))
        return ProviderFailure(provider);
    return static_cast<int>(count);
}

#if LIBAVFORMAT_VERSION_MAJOR >= 61
int WritePacket(void* pOpaque, const uint8_t* pBuffer, int bufferSize)
#else
int WritePacket(void* pOpaque, uint8_t* pBuffer, int bufferSize)
#endif
{
    auto& provider = *static_cast<CMp4FileProvider*>(pOpaque);
    if (bufferSize < 0)
        return AVERROR(EINVAL);
    if (!provider.Write(pBuffer, static_cast<uint64_t>(bufferSize)))
        return ProviderFailure(provider);
    return bufferSize;
}

int64_t SeekPacket(void* pOpaque, int64_t offset, int whence)
{
    auto& provider = *static_cast<CMp4FileProvider*>(pOpaque);
    whence &= ~AVSEEK_FORCE;
    int64_t base = 0;
    if (whence == AVSEEK_SIZE || whence == SEEK_END) {
        uint64_t size = 0;
        if (!provider.GetSize(size))
            return ProviderFailure(provider);
        if (whence == AVSEEK_SIZE)
            return static_cast<int64_t>(size);
        base = static_cast<int64_t>(size);
    } else if (whence == SEEK_CUR) {
        base = static_cast<int64_t>(provider.Position());
    } else if (whence != SEEK_SET) {
        return AVERROR(EINVAL);
    }
    if (offset < 0 ? base < -offset : base > INT64_MAX - offset)
        return AVERROR(EINVAL);
    const int64_t position = base + offset;
    if (!provider.Seek(static_cast<uint64_t>(position)))
        return ProviderFailure(provider);
    return position;
}

// The library's functions; only called once Create has loaded them.
const SAvFunctions& Av()
{
    return *LoadAvFunctions();
}

// ---- log output ----

std::atomic<ILibraryLogSink*> g_pLogSink{nullptr};

void LogCallback(void* /*pClass*/, int level, const char* pFormat, va_list arguments)
{
    ILibraryLogSink* pSink = g_pLogSink.load();
    level &= 0xFF; // the upper bits carry colour hints
    if (!pSink || level > AV_LOG_WARNING)
        return;
    std::string text(kMaxLogText + 1, '\0');
    va_list copy;
    va_copy(copy, arguments);
    const int length = std::vsnprintf(&text[0], text.size(), pFormat, copy);
    va_end(copy);
    if (length < 0)
        return;
    text.resize(std::min<size_t>(static_cast<size_t>(length), kMaxLogText));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    const bool bError = level <= AV_LOG_ERROR;
    pSink->OnLibraryLog(bError, (bError ? L"libavformat error: " : L"libavformat warning: ")
                                    + UtilsNameSpace::Utf8ToWide(text));
}

// Extradata must be allocated by the library and padded for its readers.
bool SetExtradata(AVCodecParameters& parameters, const uint8_t* pData, size_t size)
{
    if (size > INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE)
        return false;
    parameters.extradata = static_cast<uint8_t*>(Av().av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!parameters.extradata)
        return false;
    if (size)
        std::memcpy(parameters.extradata, pData, size);
    parameters.extradata_size = static_cast<int>(size);
    return true;
}

// The avcC record: profile, compatibility and level from the first sequence parameter set,
// 4-byte NAL lengths, then the parameter sets.
std::vector<uint8_t> BuildAvcC(const std::vector<uint8_t>& firstSps, const ParameterSetList& sequenceSets,
                               const ParameterSetList& pictureSets)
{
    std::vector<uint8_t> avcC = {1,           firstSps[1], firstSps[2],
                                 firstSps[3], 0xFC | 3,    static_cast<uint8_t>(0xE0 | sequenceSets.size())};
    auto append = [&avcC](const std::vector<uint8_t>& set) {
        avcC.push_back(static_cast<uint8_t>(set.size() >> 8));
        avcC.push_back(static_cast<uint8_t>(set.size()));
        avcC.insert(avcC.end(), set.begin(), set.end());
    };
    for (const std::vector<uint8_t>& set : sequenceSets)
        append(set);
    avcC.push_back(static_cast<uint8_t>(pictureSets.size()));
    for (const std::vector<uint8_t>& set : pictureSets)
        append(set);
    return avcC;
}

} // namespace

void CMp4Writer::SFormatContextDeleter::operator()(AVFormatContext* p) const
{
    Av().avformat_free_context(p);
}

void CMp4Writer::SIoContextDeleter::operator()(AVIOContext* p) const
{
    if (!p)
        return;
    Av().av_freep(&p->buffer);
    Av().avio_context_free(&p);
}

void CMp4Writer::SPacketDeleter::operator()(AVPacket* p) const
{
    Av().av_packet_free(&p);
}

CMp4Writer::CMp4Writer(CMp4FileProvider& provider)
    : m_provider(provider)
{
}

CMp4Writer::~CMp4Writer()
{
    Abort();
}

void CMp4Writer::LibraryFailure(const wchar_t* pContext, SErrorInfo* pError)
{
    // After a failed write the library makes no further file calls for this target, so later
    // failures are explained by the first one.
    if (m_provider.HasError() && m_fileError.code == 0)
        m_fileError = m_provider.Error();
    if (!pError)
        return;
    if (m_provider.HasError() || m_fileError.code != 0) {
        *pError = m_provider.HasError() ? m_provider.Error() : m_fileError;
        UtilsNameSpace::PrefixErrorInfo(pError, std::wstring(pContext) + L": ");
    } else {
        SetErrorInfo(pError, UtilsNameSpace::kErrGeneral, pContext);
    }
}

bool CMp4Writer::Create(const std::wstring& path, SErrorInfo* pError)
{
    const wchar_t* const kContext = L"Target file creation error";
    if (IsOpen()) {
        SetErrorInfo(pError, UtilsNameSpace::kErrAlreadyExists,
                     std::wstring(kContext) + L": the writer already holds a file");
        return false;
    }
    m_provider.ClearError();
    for (STrack& track : m_tracks)
        track = STrack();
    m_bHeaderWritten = false;
    m_bBroken = false;
    m_fileError = SErrorInfo();
    m_creationTime = -1;
    m_expectedVideoSamples = m_expectedAudioSamples = 0;
    m_reservedIndexSize = 0;
    m_bReservedRoomMarked = false;
    m_bUsedSecondPass = false;
    m_lastTrack = -1;

    std::string why;
    if (!LoadAvFunctions(&why)) {
        SetErrorInfo(pError, UtilsNameSpace::kErrGeneral,
                     std::wstring(kContext) + L": " + UtilsNameSpace::Utf8ToWide(why));
        return false;
    }
    const std::string utf8Path = UtilsNameSpace::WideToUtf8(path);
    if (!m_pPacket)
        m_pPacket.reset(Av().av_packet_alloc());
    AVFormatContext* pFormat = nullptr;
    if (!m_pPacket || Av().avformat_alloc_output_context2(&pFormat, nullptr, "mp4", utf8Path.c_str()) < 0 || !pFormat) {
        LibraryFailure(kContext, pError);
        return false;
    }
    std::unique_ptr<AVFormatContext, SFormatContextDeleter> pFormatOwner(pFormat);

    if (!m_provider.Open(utf8Path, CMp4FileProvider::ModeCreate)) {
        LibraryFailure(kContext, pError);
        return false;
    }
    auto* pBuffer = static_cast<unsigned char*>(Av().av_malloc(kIoBufferSize));
    AVIOContext* pIo =
        pBuffer ? Av().avio_alloc_context(pBuffer, kIoBufferSize, 1, &m_provider, ReadPacket, WritePacket, SeekPacket)
                : nullptr;
    if (!pIo) {
        Av().av_free(pBuffer);
        LibraryFailure(kContext, pError);
        // Nothing was written yet: an empty file is no use to anyone.
        m_provider.Close();
        SErrorInfo deletion;
        if (!UtilsNameSpace::DeleteFilePath(path, &deletion) && pError)
            pError->message += L"; " + deletion.message;
        return false;
    }
    m_pIo.reset(pIo);
    pFormat->pb = pIo;
    pFormat->flags |= AVFMT_FLAG_CUSTOM_IO;
    // By default the muxer marks a flush point after every packet, and a context of our own
    // (no minimum packet size) flushes there: one write per sample. The buffer decides instead.
    pFormat->flush_packets = 0;
    m_pFormat = std::move(pFormatOwner);
    return true;
}

bool CMp4Writer::CanAddTrack(EMp4Track track, const wchar_t* pContext, SErrorInfo* pError) const
{
    const wchar_t* pProblem = nullptr;
    if (!IsOpen())
        pProblem = L": no target file open";
    else if (m_bHeaderWritten)
        pProblem = L": tracks can't be added after the file header";
    else if (m_bBroken)
        pProblem = L": the file is unusable after an earlier failure";
    else if (HasTrack(track))
        pProblem = L": the track already exists";
    if (!pProblem)
        return true;
    SetErrorInfo(pError, IsOpen() ? UtilsNameSpace::kErrInvalidArgument : UtilsNameSpace::kErrNotOpen,
                 std::wstring(pContext) + pProblem);
    return false;
}

bool CMp4Writer::AddVideoTrack(const ParameterSetList& sequenceParameterSets,
                               const ParameterSetList& pictureParameterSets, SErrorInfo* pError)
{
    const wchar_t* const kContext = L"Video track creation error";
    if (!CanAddTrack(EMp4Track::Video, kContext, pError))
        return false;
    if (sequenceParameterSets.size() > kMaxSequenceParameterSets
        || pictureParameterSets.size() > kMaxPictureParameterSets) {
        SetErrorInfo(pError, UtilsNameSpace::kErrBadData, std::wstring(kContext) + L": too many parameter sets");
        return false;
    }
    // The muxer refuses a video track without picture size, and only a slice would make the
    // library's own H.264 parser report it: read it from the sequence parameter set.
    int width = 0;
    int height = 0;
    const std::vector<uint8_t>* pSizeSps = nullptr;
    for (const std::vector<uint8_t>& sps : sequenceParameterSets) {
        if (ReadPictureSize(sps.data(), sps.size(), width, height)) {
            pSizeSps = &sps;
            break;
        }
    }
    if (!pSizeSps) {
        SetErrorInfo(pError, UtilsNameSpace::kErrBadData,
                     std::wstring(kContext) + L": no sequence parameter set gives the picture size");
        return false;
    }

    m_provider.ClearError();
    AVStream* pStream = Av().avformat_new_stream(m_pFormat.get(), nullptr);
    if (!pStream) {
        LibraryFailure(kContext, pError);
        return false;
    }
    pStream->time_base = kTickBase;
    AVCodecParameters& parameters = *pStream->codecpar;
    parameters.codec_type = AVMEDIA_TYPE_VIDEO;
    parameters.codec_id = AV_CODEC_ID_H264;
    parameters.width = width;
    parameters.height = height;
    const std::vector<uint8_t> avcC = BuildAvcC(*pSizeSps, sequenceParameterSets, pictureParameterSets);
    if (!SetExtradata(parameters, avcC.data(), avcC.size())) {
        // The stream cannot be taken back out of the context; without a codec it is not muxed.
        parameters.codec_type = AVMEDIA_TYPE_UNKNOWN;
        m_bBroken = true;
        LibraryFailure(kContext, pError);
        return false;
    }
    STrack& track = Track(EMp4Track::Video);
    track.streamIndex = pStream->index;
    track.configSize = avcC.size();
    // Players drop a picture of zero length; a lone one is shown for a frame at 25 fps.
    track.firstDuration = kMp4TicksPerSecond / 25;
    return true;
}

bool CMp4Writer::AddAudioTrack(const uint8_t* pConfig, size_t configSize, SErrorInfo* pError)
{
    if (!CanAddTrack(EMp4Track::Audio, L"Audio track creation error", pError))
        return false;
    SAacConfig config;
    if (!pConfig || !ReadAacConfig(pConfig, configSize, config)) {
        SetErrorInfo(pError, UtilsNameSpace::kErrBadData,
                     L"Audio decoder configuration set error: unreadable AudioSpecificConfig");
        return false;
    }

    m_provider.ClearError();
    AVStream* pStream = Av().avformat_new_stream(m_pFormat.get(), nullptr);
    if (!pStream) {
        LibraryFailure(L"Audio track creation error", pError);
        return false;
    }
    pStream->time_base = kTickBase;
    AVCodecParameters& parameters = *pStream->codecpar;
    parameters.codec_type = AVMEDIA_TYPE_AUDIO;
    parameters.codec_id = AV_CODEC_ID_AAC;
    parameters.sample_rate = config.sampleRate;
    parameters.frame_size = config.frameLength;
    if (config.channels > 0)
        Av().av_channel_layout_default(&parameters.ch_layout, config.channels);
    if (!SetExtradata(parameters, pConfig, configSize)) {
        parameters.codec_type = AVMEDIA_TYPE_UNKNOWN;
        m_bBroken = true;
        LibraryFailure(L"Audio decoder configuration set error", pError);
        return false;
    }
    STrack& track = Track(EMp4Track::Audio);
    track.streamIndex = pStream->index;
    track.configSize = configSize;
    track.firstDuration =
        static_cast<uint64_t>(Av().av_rescale(config.frameLength, kMp4TicksPerSecond, config.sampleRate));
    return true;
}

bool CMp4Writer::WriteHeader(SErrorInfo* pError)
{
    const wchar_t* const kContext = L"Target file creation error";
    const wchar_t* pProblem = nullptr;
    if (!IsOpen())
        pProblem = L": no target file open";
    else if (m_bHeaderWritten)
        pProblem = L": the file header is already written";
    else if (m_bBroken)
        pProblem = L": the file is unusable after an earlier failure";
    else if (!HasTrack(EMp4Track::Audio) && !HasTrack(EMp4Track::Video))
        pProblem = L": no track to write";
    if (pProblem) {
        SetErrorInfo(pError, IsOpen() ? UtilsNameSpace::kErrInvalidArgument : UtilsNameSpace::kErrNotOpen,
                     std::wstring(kContext) + pProblem);
        return false;
    }
    m_provider.ClearError();
    // Edit lists count in the movie's time scale: on the tick line, a track that starts later
    // starts at its first sample's tick instead of the nearest millisecond.
    AVDictionary* pOptions = nullptr;
    Av().av_dict_set_int(&pOptions, "movie_timescale", kMp4TicksPerSecond, 0);
    if (m_creationTime >= 0) {
        const std::string creationTime = Iso8601Utc(m_creationTime);
        if (!creationTime.empty())
            Av().av_dict_set(&m_pFormat->metadata, "creation_time", creationTime.c_str(), 0);
    }
    // The index goes in front of the media data, so that a player can start before it has read
    // the whole file: into room kept for it when the sample counts are known, else by a second
    // pass at close.
    const uint64_t reserve = m_expectedVideoSamples != 0 || m_expectedAudioSamples != 0 ? IndexBound(true) : 0;
    if (reserve != 0 && reserve <= static_cast<uint64_t>(INT_MAX))
        Av().av_dict_set_int(&pOptions, "moov_size", static_cast<int64_t>(reserve), 0);
    else
        Av().av_dict_set(&pOptions, "movflags", "+faststart", 0);
    const int headerResult = Av().avformat_write_header(m_pFormat.get(), &pOptions);
    Av().av_dict_free(&pOptions);
    if (headerResult < 0) {
        m_bBroken = true;
        LibraryFailure(kContext, pError);
        return false;
    }
    m_bHeaderWritten = true;
    if (reserve != 0 && reserve <= static_cast<uint64_t>(INT_MAX)) {
        m_reservedIndexSize = reserve;
        m_bReservedRoomMarked = MarkReservedRoom();
        if (m_provider.HasError()) {
            m_bBroken = true;
            LibraryFailure(kContext, pError);
            return false;
        }
    }
    return true;
}

void CMp4Writer::SetExpectedSamples(uint64_t videoSamples, uint64_t audioSamples)
{
    m_expectedVideoSamples = videoSamples;
    m_expectedAudioSamples = audioSamples;
}

uint64_t CMp4Writer::IndexBound(bool bExpected) const
{
    uint64_t bound = kIndexMovieBytes;
    uint64_t mediaBytes = 0;
    for (const STrack& track : m_tracks)
        mediaBytes += track.bytes;
    // Chunk offsets take 64 bits once the media data reaches past 4 GiB (with room to spare for
    // the index moved in front of it).
    const uint64_t offsetBytes =
        mediaBytes + (1ull << 28) < (1ull << 32) ? kIndexShortOffsetBytes : kIndexLongOffsetBytes;
    for (EMp4Track kind : {EMp4Track::Video, EMp4Track::Audio}) {
        const STrack& track = Track(kind);
        if (track.streamIndex < 0)
            continue;
        const bool bVideo = kind == EMp4Track::Video;
        bound += kIndexTrackBytes + track.configSize;
        if (bExpected) {
            bound += bVideo ? m_expectedVideoSamples * kReserveVideoSampleBytes
                            : m_expectedAudioSamples * kReserveAudioSampleBytes;
            continue;
        }
        bound += track.samples * kIndexSizeEntryBytes + (track.intervalRuns + 1) * kIndexTimeEntryBytes
                 + track.chunks * offsetBytes + (track.chunkTableEntries + 1) * kIndexChunkEntryBytes;
        if (bVideo)
            bound += track.syncSamples * kIndexSyncEntryBytes;
    }
    return bound;
}

bool CMp4Writer::MarkReservedRoom()
{
    // The muxer skips the room it keeps; until the index is written there it would read as
    // garbage after the file-type box.
    AVIOContext* pIo = m_pFormat->pb;
    Av().avio_flush(pIo);
    if (pIo->error < 0 || m_provider.HasError())
        return false;
    const uint64_t end = m_provider.Position();
    uint8_t head[8];
    if (!m_provider.Seek(0) || !m_provider.Read(head, sizeof(head)))
        return false;
    const uint64_t typeBoxSize = ReadBigEndian32(head);
    bool bMarked = false;
    if (std::memcmp(head + 4, "ftyp", 4) == 0 && typeBoxSize + m_reservedIndexSize + kFreeBoxHeaderBytes <= end) {
        const uint32_t size = static_cast<uint32_t>(m_reservedIndexSize);
        const uint8_t freeBox[8] = {
            uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size), 'f', 'r', 'e', 'e'};
        bMarked = m_provider.Seek(typeBoxSize) && m_provider.Write(freeBox, sizeof(freeBox));
    }
    return m_provider.Seek(end) && bMarked;
}

bool CMp4Writer::ChooseIndexPlacement()
{
    // The muxer closes the kept room with a free box of its own, which needs its header's bytes.
    if (m_reservedIndexSize == 0 || IndexBound(false) + kFreeBoxHeaderBytes <= m_reservedIndexSize)
        return true;
    if (!m_bReservedRoomMarked)
        return false;
    void* pMuxer = m_pFormat->priv_data;
    if (Av().av_opt_set_int(pMuxer, "moov_size", 0, 0) < 0 || Av().av_opt_set(pMuxer, "movflags", "+faststart", 0) < 0)
        return false;
    m_bUsedSecondPass = true;
    return true;
}

bool CMp4Writer::WriteSample(EMp4Track trackKind, const uint8_t* pData, size_t size, uint64_t tick, bool bSync,
                             SErrorInfo* pError)
{
    const std::wstring context = std::wstring(TrackName(trackKind)) + L" sample write error";
    STrack& track = Track(trackKind);
    const wchar_t* pProblem = nullptr;
    int32_t code = UtilsNameSpace::kErrInvalidArgument;
    if (!m_bHeaderWritten) {
        pProblem = L": the file header is not written";
        code = UtilsNameSpace::kErrNotOpen;
    } else if (track.streamIndex < 0) {
        pProblem = L": the target file has no such track";
        code = UtilsNameSpace::kErrNotOpen;
    } else if (!pData || size == 0 || size > INT_MAX) {
        pProblem = L": invalid sample size";
    } else if (track.samples != 0 && tick <= track.lastTick) {
        pProblem = L": the sample time does not follow the previous sample";
    } else if (tick > static_cast<uint64_t>(INT64_MAX)) {
        pProblem = L": the sample time is out of range";
    }
    if (pProblem) {
        SetErrorInfo(pError, code, context + pProblem);
        return false;
    }

    AVPacket& packet = *m_pPacket;
    Av().av_packet_unref(&packet);
    // The data stays the caller's: av_write_frame copies what it keeps.
    packet.data = const_cast<uint8_t*>(pData);
    packet.size = static_cast<int>(size);
    packet.stream_index = track.streamIndex;
    packet.dts = packet.pts = static_cast<int64_t>(tick);
    const uint64_t duration = SampleDuration(track, tick);
    packet.duration = static_cast<int64_t>(duration);
    packet.flags = bSync ? AV_PKT_FLAG_KEY : 0;
    Av().av_packet_rescale_ts(&packet, kTickBase, m_pFormat->streams[track.streamIndex]->time_base);

    m_provider.ClearError();
    const int result = Av().av_write_frame(m_pFormat.get(), &packet);
    packet.data = nullptr;
    packet.size = 0;
    if (result < 0) {
        LibraryFailure(context.c_str(), pError);
        return false;
    }
    if (track.samples != 0) {
        const uint64_t interval = tick - track.lastTick;
        if (track.samples == 1 || interval != track.lastInterval)
            ++track.intervalRuns;
        track.lastInterval = interval;
    }
    if (bSync)
        ++track.syncSamples;
    const int trackIndex = static_cast<int>(trackKind);
    if (track.chunks == 0 || m_lastTrack != trackIndex || track.chunkBytes + size > kChunkBytesCounted) {
        if (track.chunks != 0 && track.chunkSamples != track.lastChunkSamples)
            ++track.chunkTableEntries;
        // A chunk closed by its size may be one the muxer merges: count the change it may make.
        if (track.chunks != 0 && m_lastTrack == trackIndex)
            track.chunkTableEntries += 2;
        track.lastChunkSamples = track.chunkSamples;
        ++track.chunks;
        track.chunkBytes = 0;
        track.chunkSamples = 0;
    }
    track.chunkBytes += size;
    ++track.chunkSamples;
    track.bytes += size;
    m_lastTrack = trackIndex;
    track.lastTick = tick;
    track.lastDuration = duration;
    ++track.samples;
    return true;
}

uint64_t CMp4Writer::SampleDuration(const STrack& track, uint64_t tick)
{
    // The muxer takes each sample's length from the next sample's time, so only the last one's
    // counts, and it refuses lengths of 2^31 ticks and more. The time since the previous sample
    // is a picture's length only while the camera kept recording: after a gap (a camera off
    // overnight in one open file) the sample lasts as long as the one before it.
    if (track.samples == 0)
        return track.firstDuration;
    const uint64_t interval = tick - track.lastTick;
    return interval <= kMaxSampleDuration ? interval : track.lastDuration;
}

bool CMp4Writer::Close(SErrorInfo* pError)
{
    if (!IsOpen())
        return true;
    m_provider.ClearError();
    bool bOk = true;
    bool bPlaced = true;
    if (m_bHeaderWritten) {
        bPlaced = ChooseIndexPlacement();
        // Without a place for it the index would overwrite media data.
        bOk = bPlaced && Av().av_write_trailer(m_pFormat.get()) >= 0; // flushes and reports any I/O error
    }
    Release();
    bOk = m_provider.Close() && bOk;
    if (!bPlaced) {
        SetErrorInfo(pError, UtilsNameSpace::kErrGeneral,
                     L"Target file close error: no room for the index at the front of the file");
        return false;
    }
    if (!bOk)
        LibraryFailure(L"Target file close error", pError);
    return bOk;
}

void CMp4Writer::Abort()
{
    if (!IsOpen())
        return;
    Release();
    m_provider.Close();
}

void CMp4Writer::Release()
{
    // The context does not own custom I/O, so it goes first and the I/O after it.
    m_pFormat.reset();
    m_pIo.reset();
    m_bHeaderWritten = false;
    m_bBroken = false;
    for (STrack& track : m_tracks)
        track.streamIndex = -1;
}

void SetLibraryLogSink(ILibraryLogSink* pSink)
{
    g_pLogSink.store(pSink);
    // Without the module there is no library to hear from; Create reports why.
    if (const SAvFunctions* pAv = LoadAvFunctions())
        pAv->av_log_set_callback(pSink ? LogCallback : pAv->av_log_default_callback);
}

} // namespace KELMNameSpace
