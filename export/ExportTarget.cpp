// The MP4 target writer of an export run: stream descriptions, routing of media units to the day
// fragments, opening, writing and closing target files, and the library's log output.
#include "ExportState.h"

#include "File.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace KELMNameSpace {

using UtilsNameSpace::PrefixErrorInfo;
using UtilsNameSpace::SetErrorInfo;

namespace {

// A new file that would start later than this after the end of the target's content is moved up
// to that end: the time between two recordings is not kept in the MP4 file.
constexpr int64_t kMaxGapTicks = kMp4TicksPerSecond / 2;

// Unit times carry about 1e-7 s of rounding at today's dates; this much of a tick absorbs it, so
// that a unit on the tick grid lands on its own tick instead of the one before.
constexpr double kTickRounding = 0.05;

constexpr size_t kNalLengthSize = 4;
constexpr uint8_t kNalAccessUnitDelimiter = 9;

int64_t TickOf(const SExportState& state, double localTime)
{
    return state.clockOriginTick +
           static_cast<int64_t>(std::floor((localTime - state.clockOriginTime) * kMp4TicksPerSecond + kTickRounding));
}

// The end of what the target holds: the latest sample plus the interval before it, over both
// tracks. A lone sample counts as one tick long.
int64_t ContentEndTick(const SExportState& state)
{
    int64_t end = 0;
    for (const STrackTicks* pTrack : {&state.audioTicks, &state.videoTicks}) {
        if (pTrack->samples > 0)
            end = std::max(end, pTrack->lastTick + std::max<int64_t>(pTrack->lastInterval, 1));
    }
    return end;
}

// Readers take a distance of 2^31 ticks (12.4 h) or more between two samples of a track for a
// broken index and squeeze everything after it to the gap's start. A longer gap (a camera off
// overnight while its file stayed open) is shortened, for both tracks at once, to a little less,
// so that the other track's first sample after it still keeps its distance.
constexpr int64_t kMaxSampleDistance = INT32_MAX;
constexpr int64_t kShortenedGapRoom = int64_t(600) * kMp4TicksPerSecond;

void ShortenOverlongGap(SExportState& state, double localTime, int64_t& tick)
{
    int64_t earliestLast = INT64_MAX;
    int64_t latestLast = INT64_MIN;
    for (const STrackTicks* pTrack : {&state.audioTicks, &state.videoTicks}) {
        if (pTrack->samples > 0) {
            earliestLast = std::min(earliestLast, pTrack->lastTick);
            latestLast = std::max(latestLast, pTrack->lastTick);
        }
    }
    if (earliestLast == INT64_MAX || tick - earliestLast <= kMaxSampleDistance)
        return;
    const int64_t shortened = earliestLast + kMaxSampleDistance - kShortenedGapRoom;
    // Moving the clock back past a track's last sample would drop that track's next samples.
    if (shortened <= latestLast)
        return;
    state.clockOriginTime = localTime;
    state.clockOriginTick = shortened;
    tick = shortened;
}

// Places a unit on the target's clock. False when it cannot be written: before the target's
// start, or not after the track's previous sample.
bool PlaceOnClock(SExportState& state, const STrackTicks& track, double localTime, int64_t& tick)
{
    if (!state.bClockStarted) {
        state.bClockStarted = true;
        state.clockOriginTime = localTime;
        state.clockOriginTick = 0;
        state.bNewFilePending = false;
        // The file is dated by its first frame.
        state.writer.SetCreationTime(localTime - state.utcToLocalOffset);
    } else if (state.bNewFilePending) {
        state.bNewFilePending = false;
        const int64_t end = ContentEndTick(state);
        if (TickOf(state, localTime) - end > kMaxGapTicks) {
            state.clockOriginTime = localTime;
            state.clockOriginTick = end;
        }
    }
    tick = TickOf(state, localTime);
    ShortenOverlongGap(state, localTime, tick);
    const bool bPlaced = tick >= 0 && (track.samples == 0 || tick > track.lastTick);
    if (bPlaced)
        state.lastUnitTime = std::max(state.lastUnitTime, localTime);
    return bPlaced;
}

uint64_t FrameCount(const std::vector<SMediaPart>& parts)
{
    uint64_t frames = 0;
    for (const SMediaPart& part : parts)
        frames += part.frameCount;
    return frames;
}

void NoteSample(STrackTicks& track, int64_t tick)
{
    track.lastInterval = track.samples > 0 ? tick - track.lastTick : 0;
    track.lastTick = tick;
    ++track.samples;
}

// The parameter sets go in front of the unit's first picture data, after an access unit delimiter
// when the unit starts with one (a delimiter must come first).
void JoinParameterSets(const std::vector<uint8_t>& prefix, const uint8_t* pUnit, size_t size,
                       std::vector<uint8_t>& joined)
{
    size_t head = 0;
    if ((pUnit[kNalLengthSize] & 0x1F) == kNalAccessUnitDelimiter) {
        const size_t length = (size_t(pUnit[0]) << 24) | (size_t(pUnit[1]) << 16) | (size_t(pUnit[2]) << 8) | pUnit[3];
        if (length <= size - kNalLengthSize)
            head = kNalLengthSize + length;
    }
    joined.clear();
    joined.reserve(prefix.size() + size);
    joined.insert(joined.end(), pUnit, pUnit + head);
    joined.insert(joined.end(), prefix.begin(), prefix.end());
    joined.insert(joined.end(), pUnit + head, pUnit + size);
}

} // namespace

bool CKELMStorage::ReportTargetError(const SErrorInfo& error)
{
    m_pExportState->error = error;
    return m_pExportEventSync->OnError(m_pExportState->error);
}

bool CKELMStorage::ExportStreamContext(const std::wstring& srid, const std::wstring& subSourceKey)
{
    SExportState* pState = m_pExportState;
    if (pState)
        pState->bOtherCamera = srid != pState->batchSrid || subSourceKey != pState->batchSubSourceKey;
    return true;
}

bool CKELMStorage::ExportAudioES(int32_t esno, uint32_t codec, const uint8_t* pConfig, uint32_t configSize)
{
    SExportState* pState = m_pExportState;
    if (!pState || pState->bOtherCamera)
        return true;
    SExportState& state = *pState;
    if (codec == RawAACAudio) {
        state.audioCodec = codec;
        state.audioEsno = esno;
        state.audioDecoderConfig.assign(pConfig, pConfig + (pConfig ? configSize : 0));
        return true;
    }
    // The codec and stream number stay, so units of a stream accepted earlier in the batch are
    // still taken as audio.
    SetErrorInfo(&state.error, UtilsNameSpace::kErrNotSupported,
                 std::wstring(L"Audio codec '") + AudioCodecName(codec) + L"' not supported");
    return m_pExportEventSync->OnWarning(state.error);
}

bool CKELMStorage::ExportVideoES(int32_t esno, uint32_t codec, const uint8_t* pConfig, uint32_t configSize)
{
    SExportState* pState = m_pExportState;
    if (!pState || pState->bOtherCamera)
        return true;
    SExportState& state = *pState;
    if (codec != H264Video) {
        SetErrorInfo(&state.error, UtilsNameSpace::kErrNotSupported,
                     std::wstring(L"Video codec '") + VideoCodecName(codec) + L"' not supported");
        return m_pExportEventSync->OnWarning(state.error);
    }
    state.videoCodec = codec;
    state.videoEsno = esno;
    state.bVideoStarted = false;
    state.bVideoParameterSetsPrepended = false;

    ParameterSetList pictureSets;
    ParameterSetList sequenceSets;
    SErrorInfo error;
    if (!ParseDecoderSetupData(pConfig, pConfig ? configSize : 0, pictureSets, sequenceSets, &error)) {
        // The sets of an earlier description stay in use.
        PrefixErrorInfo(&error, L"H264ParamsSets get error: ");
        state.error = error;
        return m_pExportEventSync->OnWarning(state.error);
    }
    state.pictureParameterSets = std::move(pictureSets);
    state.sequenceParameterSets = std::move(sequenceSets);
    BuildParameterSetPrefix(state.sequenceParameterSets, state.pictureParameterSets, state.parameterSetPrefix);
    return true;
}

bool CKELMStorage::ExportUnit(int32_t esno, double time, const uint8_t* pPayload, uint32_t payloadSize)
{
    SExportState* pState = m_pExportState;
    if (!pState || pState->bOtherCamera)
        return true;
    SExportState& state = *pState;
    const double localTime = time + m_UTCTimeToLocalTimeOffset;

    bool bAudio;
    if (state.audioCodec != 0 && esno == state.audioEsno)
        bAudio = true;
    else if (state.videoCodec != 0 && esno == state.videoEsno)
        bAudio = false;
    else
        return true;

    // Units past the front fragment close its target; the next fragment becomes the front.
    bool bResult = true;
    while (!state.pendingFragments.empty() && localTime > state.pendingFragments.front().endTime) {
        bResult = CloseTarget(bResult);
        state.pendingFragments.pop_front();
        if (!bResult)
            break;
    }
    if (!bResult || state.pendingFragments.empty() || localTime < state.pendingFragments.front().startTime)
        return bResult;

    if (!state.writer.IsOpen()) {
        bool bOpened = false;
        if (!OpenTarget(bOpened))
            return false;
        if (!bOpened)
            return true;
    }
    // A failed target is deleted at its close; writing on would only repeat its error per unit.
    if (state.bTargetFailed)
        return true;
    return bAudio ? WriteAudioUnit(localTime, pPayload, payloadSize)
                  : WriteVideoUnit(localTime, pPayload, payloadSize);
}

bool CKELMStorage::OpenTarget(bool& bOpened)
{
    SExportState& state = *m_pExportState;
    const SExportFragment& fragment = state.pendingFragments.front();
    const std::wstring path = fragment.targetDirectory + fragment.targetFileName;
    const std::wstring partialPath = path + kPartialTargetSuffix;
    bOpened = false;
    if (!m_pExportEventSync->OnTargetStart(path))
        return false;

    SErrorInfo error;
    if (!UtilsNameSpace::CreateDirectoryPath(fragment.targetDirectory, &error)) {
        error.message = L"Target path '" + fragment.targetDirectory + L"' creation error: " + error.message;
    } else {
        state.bTargetFailed = false; // a library error while creating counts against this target
        // A partial file left by an interrupted run is replaced.
        bOpened = state.writer.Create(partialPath, &error);
        if (bOpened) {
            state.audioFrames = state.audioBytes = state.videoFrames = state.videoBytes = 0;
            state.bClockStarted = false;
            state.audioTicks = STrackTicks();
            state.videoTicks = STrackTicks();
            // Each target starts its video at a sync sample that carries the parameter sets.
            state.bVideoStarted = false;
            state.bVideoParameterSetsPrepended = false;
            state.targetPath = path;
            state.targetPartialPath = partialPath;
            state.targetFileName = fragment.targetFileName;
            state.utcToLocalOffset = m_UTCTimeToLocalTimeOffset;
            state.lastUnitTime = fragment.startTime;
            // The analysis counted the frames of the day: room for the index can be kept at the
            // front. The start of the day's media dates the file until its first frame does.
            state.writer.SetExpectedSamples(FrameCount(fragment.videoParts), FrameCount(fragment.audioParts));
            state.writer.SetCreationTime(fragment.startTime - m_UTCTimeToLocalTimeOffset);
            state.targetEstimatedSize = fragment.estimatedSize;
        }
        if (state.bStopRequested)
            return false;
        // The day's every kind gets its track now: the muxer takes none after the first sample,
        // and a later file of the day may bring the kind its first file lacks.
        if (bOpened)
            return DeclareTracks(fragment);
    }
    if (!ReportTargetError(error))
        return false;
    // The fragment is given up; its units are not written.
    state.pendingFragments.pop_front();
    return true;
}

namespace {

// The first usable configuration among the parts, trying a run of equal ones once; false with the
// first part's failure when none is usable.
template <typename AddTrack>
bool AddTrackFromParts(const std::vector<SMediaPart>& parts, AddTrack addTrack, SErrorInfo& error)
{
    const std::vector<uint8_t>* pTried = nullptr;
    for (const SMediaPart& part : parts) {
        if (pTried && part.decoderConfig == *pTried)
            continue;
        SErrorInfo partError;
        if (addTrack(part.decoderConfig, partError))
            return true;
        if (!pTried)
            error = partError;
        pTried = &part.decoderConfig;
    }
    return false;
}

} // namespace

bool CKELMStorage::DeclareTracks(const SExportFragment& fragment)
{
    SExportState& state = *m_pExportState;
    CMp4Writer& writer = state.writer;
    SErrorInfo error;
    const auto addVideo = [&writer](const std::vector<uint8_t>& config, SErrorInfo& partError) {
        ParameterSetList pictureSets;
        ParameterSetList sequenceSets;
        // Unreadable setup data leaves no parameter set, which the track refuses in its words.
        if (!ParseDecoderSetupData(config.data(), config.size(), pictureSets, sequenceSets, nullptr)) {
            pictureSets.clear();
            sequenceSets.clear();
        }
        return writer.AddVideoTrack(sequenceSets, pictureSets, &partError);
    };
    if (!fragment.videoParts.empty() && !AddTrackFromParts(fragment.videoParts, addVideo, error)) {
        if (state.bStopRequested || !ReportTargetError(error))
            return false;
    }
    const auto addAudio = [&writer](const std::vector<uint8_t>& config, SErrorInfo& partError) {
        return writer.AddAudioTrack(config.data(), config.size(), &partError);
    };
    if (!fragment.audioParts.empty() && !AddTrackFromParts(fragment.audioParts, addAudio, error)) {
        if (state.bStopRequested || !ReportTargetError(error))
            return false;
    }
    // Without a track nothing is written, and the target is given up at its close.
    if (!writer.HasTrack(EMp4Track::Audio) && !writer.HasTrack(EMp4Track::Video))
        return true;
    if (!writer.WriteHeader(&error)) {
        state.bTargetFailed = true;
        if (state.bStopRequested)
            return false;
        return ReportTargetError(error);
    }
    return !state.bStopRequested;
}

bool CKELMStorage::WriteSample(bool bAudio, const uint8_t* pSample, size_t size, int64_t tick, bool bSync)
{
    SExportState& state = *m_pExportState;
    SErrorInfo error;
    const bool bWritten = state.writer.WriteSample(bAudio ? EMp4Track::Audio : EMp4Track::Video, pSample, size,
                                                   static_cast<uint64_t>(tick), bSync, &error);
    if (state.provider.HasError())
        state.bTargetFailed = true;
    if (state.bStopRequested)
        return false;
    if (!bWritten)
        return ReportTargetError(error);
    if (bAudio) {
        ++state.audioFrames;
        state.audioBytes += size;
        NoteSample(state.audioTicks, tick);
    } else {
        ++state.videoFrames;
        state.videoBytes += size;
        NoteSample(state.videoTicks, tick);
        if (bSync)
            state.bVideoStarted = true;
    }
    return true;
}

bool CKELMStorage::WriteAudioUnit(double localTime, const uint8_t* pPayload, uint32_t payloadSize)
{
    SExportState& state = *m_pExportState;
    if (!pPayload || payloadSize == 0)
        return true;
    if (!state.writer.HasTrack(EMp4Track::Audio) || !state.writer.IsHeaderWritten())
        return true;
    int64_t tick = 0;
    if (!PlaceOnClock(state, state.audioTicks, localTime, tick))
        return true;
    // The AudioSpecificConfig lives in the track's decoder configuration only: in front of a raw
    // frame it would make that frame undecodable.
    return WriteSample(true, pPayload, payloadSize, tick, true);
}

bool CKELMStorage::WriteVideoUnit(double localTime, const uint8_t* pPayload, uint32_t payloadSize)
{
    SExportState& state = *m_pExportState;
    if (!pPayload || payloadSize <= kNalLengthSize)
        return true;
    if (!state.writer.HasTrack(EMp4Track::Video) || !state.writer.IsHeaderWritten())
        return true;
    const bool bSync = IsSyncSample(pPayload, payloadSize);
    // Pictures before the first sync sample cannot be decoded.
    if (!bSync && !state.bVideoStarted)
        return true;
    int64_t tick = 0;
    if (!PlaceOnClock(state, state.videoTicks, localTime, tick))
        return true;

    const uint8_t* pSample = pPayload;
    size_t sampleSize = payloadSize;
    // In-band parameter sets at each file's first sync sample let players follow a camera whose
    // settings changed between files.
    if (bSync && !state.bVideoParameterSetsPrepended && !state.parameterSetPrefix.empty()) {
        JoinParameterSets(state.parameterSetPrefix, pPayload, payloadSize, state.joinedSample);
        pSample = state.joinedSample.data();
        sampleSize = state.joinedSample.size();
        state.bVideoParameterSetsPrepended = true;
    }
    return WriteSample(false, pSample, sampleSize, tick, bSync);
}

bool CKELMStorage::CloseTarget(bool bReport)
{
    SExportState* pState = m_pExportState;
    if (!pState || !pState->writer.IsOpen())
        return true;
    SExportState& state = *pState;

    state.bReportLibraryMessages = bReport;
    SErrorInfo error;
    bool bClosed = true;
    if (state.bTargetFailed)
        state.writer.Abort(); // the file is deleted below; its index is of no use
    else
        bClosed = state.writer.Close(&error);
    state.bReportLibraryMessages = true;

    bool bResult = true;
    bool bReporting = bReport;
    if (state.bStopRequested) {
        // A stopped export leaves no target behind.
        bResult = false;
        bReporting = false;
        state.bTargetFailed = true;
    } else if (!bClosed) {
        // Without its index the file cannot be played.
        state.bTargetFailed = true;
        if (bReporting && !ReportTargetError(error)) {
            bResult = false;
            bReporting = false;
        }
    }
    if (!state.bTargetFailed && state.audioFrames == 0 && state.videoFrames == 0) {
        if (bReporting) {
            SetErrorInfo(&error, UtilsNameSpace::kErrEndOfFile, L"Zero number of audio and video frames in the target file");
            if (!ReportTargetError(error)) {
                bResult = false;
                bReporting = false;
            }
        }
        state.bTargetFailed = true;
    }

    state.batchClosedTargetsSize += TargetSize(state);
    state.audioFrames = state.audioBytes = state.videoFrames = state.videoBytes = 0;
    const std::wstring path = std::move(state.targetPath);
    const std::wstring partialPath = std::move(state.targetPartialPath);
    const std::wstring fileName = std::move(state.targetFileName);
    state.targetPath.clear();
    state.targetPartialPath.clear();
    state.targetFileName.clear();
    state.targetEstimatedSize = 0;

    if (!state.bTargetFailed && !PublishTarget(partialPath, path, bReporting, bResult))
        state.bTargetFailed = true;
    if (state.bTargetFailed) {
        if (!DiscardPartialTarget(*m_pExportEventSync, state, partialPath))
            bResult = false;
    } else if (bResult && bReporting) {
        bResult = m_pExportEventSync->OnTargetEnd(fileName);
    }
    return bResult;
}

bool CKELMStorage::PublishTarget(const std::wstring& partialPath, const std::wstring& path, bool& bReporting,
                                 bool& bResult)
{
    SExportState& state = *m_pExportState;
    SErrorInfo error;
    // File managers sort by this time: the day's last frame, not the moment of the export.
    if (!UtilsNameSpace::SetFileModificationTime(partialPath, state.lastUnitTime - state.utcToLocalOffset, &error)) {
        PrefixErrorInfo(&error, L"Target file time setting error: ");
        state.error = error;
        if (bReporting && !m_pExportEventSync->OnWarning(state.error)) {
            bResult = false;
            bReporting = false;
        }
    }
    // One step replaces a file of an earlier run: it stays whole until the new one is complete.
    if (UtilsNameSpace::RenameFilePath(partialPath, path, &error))
        return true;
    PrefixErrorInfo(&error, L"Target file close error: ");
    if (bReporting && !ReportTargetError(error)) {
        bResult = false;
        bReporting = false;
    }
    return false;
}

bool DiscardPartialTarget(CKELMStorage::IExportEventSync& eventSync, SExportState& state, const std::wstring& path)
{
    SErrorInfo error;
    if (path.empty() || UtilsNameSpace::DeleteFilePath(path, &error))
        return true;
    // Reported even while the run stops: the user has to know a broken file is left.
    PrefixErrorInfo(&error, L"Unfinished target file left behind: ");
    state.error = error;
    return eventSync.OnError(state.error);
}

void CKELMStorage::OnExportLibraryLog(bool bError, const std::wstring& message)
{
    SExportState* pState = m_pExportState;
    if (!pState || !pState->bReportLibraryMessages || pState->provider.HasError())
        return;
    SExportState& state = *pState;
    SetErrorInfo(&state.error, UtilsNameSpace::kErrGeneral, message);
    bool bGoOn;
    if (bError) {
        state.bTargetFailed = true;
        // Kept as the library error, so that the failing operation names it too.
        state.provider.RecordError(state.error);
        bGoOn = m_pExportEventSync->OnError(state.error);
    } else {
        bGoOn = m_pExportEventSync->OnWarning(state.error);
    }
    if (!bGoOn)
        state.bStopRequested = true;
}

} // namespace KELMNameSpace
