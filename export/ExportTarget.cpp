// The MP4 file of one day fragment: opening, the shared clock of its tracks, writing, closing with
// its publication or deletion, and the library's log output while it is written.
#include "export/ExportTarget.h"

#include "container/File.h"
#include "export/DecoderSetup.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <mutex>

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

// Readers take a distance of 2^31 ticks (12.4 h) or more between two samples of a track for a
// broken index and squeeze everything after it to the gap's start. A longer gap (a camera off
// overnight while its file stayed open) is shortened, for both tracks at once, to a little less,
// so that the other track's first sample after it still keeps its distance.
constexpr int64_t kMaxSampleDistance = INT32_MAX;
constexpr int64_t kShortenedGapRoom = int64_t(600) * kMp4TicksPerSecond;

constexpr size_t kNalLengthSize = 4;
constexpr uint8_t kNalAccessUnitDelimiter = 9;

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

// Held while a target's file is created; StopCreatingTargets keeps it.
std::timed_mutex& TargetCreationLock()
{
    static std::timed_mutex lock;
    return lock;
}

} // namespace

void StopCreatingTargets()
{
    // Never released: the process ends. A creation that hangs (a file system that does not
    // answer) is not waited for longer than a user would wait for Ctrl-C.
    (void)TargetCreationLock().try_lock_for(std::chrono::seconds(2));
}

CExportTarget::~CExportTarget()
{
    if (m_writer.IsOpen()) {
        m_writer.Abort();
        Discard(m_partialPath);
    }
}

bool CExportTarget::ReportError(const SErrorInfo& error)
{
    m_error = error;
    return m_eventSync.OnError(m_error);
}

int64_t CExportTarget::TickOf(double localTime) const
{
    return m_clockOriginTick
           + static_cast<int64_t>(std::floor((localTime - m_clockOriginTime) * kMp4TicksPerSecond + kTickRounding));
}

// The end of what the target holds: the latest sample plus the interval before it, over both
// tracks. A lone sample counts as one tick long.
int64_t CExportTarget::ContentEndTick() const
{
    int64_t end = 0;
    for (const STrackTicks* pTrack : {&m_audioTicks, &m_videoTicks}) {
        if (pTrack->samples > 0)
            end = std::max(end, pTrack->lastTick + std::max<int64_t>(pTrack->lastInterval, 1));
    }
    return end;
}

void CExportTarget::ShortenOverlongGap(double localTime, int64_t& tick)
{
    int64_t earliestLast = INT64_MAX;
    int64_t latestLast = INT64_MIN;
    for (const STrackTicks* pTrack : {&m_audioTicks, &m_videoTicks}) {
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
    m_clockOriginTime = localTime;
    m_clockOriginTick = shortened;
    tick = shortened;
}

// Places a unit on the target's clock. False when it cannot be written: before the target's
// start, or not after the track's previous sample.
bool CExportTarget::PlaceOnClock(const STrackTicks& track, double localTime, int64_t& tick)
{
    if (!m_bClockStarted) {
        m_bClockStarted = true;
        m_clockOriginTime = localTime;
        m_clockOriginTick = 0;
        m_bNewFilePending = false;
        // The file is dated by its first frame.
        m_writer.SetCreationTime(localTime - m_utcToLocalOffset);
    } else if (m_bNewFilePending) {
        m_bNewFilePending = false;
        const int64_t end = ContentEndTick();
        if (TickOf(localTime) - end > kMaxGapTicks) {
            m_clockOriginTime = localTime;
            m_clockOriginTick = end;
        }
    }
    tick = TickOf(localTime);
    ShortenOverlongGap(localTime, tick);
    const bool bPlaced = tick >= 0 && (track.samples == 0 || tick > track.lastTick);
    if (bPlaced)
        m_lastUnitTime = std::max(m_lastUnitTime, localTime);
    return bPlaced;
}

bool CExportTarget::Open(const SExportFragment& fragment, double utcToLocalOffset, bool& bOpened)
{
    const std::wstring path = fragment.targetDirectory + fragment.targetFileName;
    const std::wstring partialPath = path + kPartialTargetSuffix;
    bOpened = false;
    if (!m_eventSync.OnTargetStart(path))
        return false;

    SErrorInfo error;
    if (!UtilsNameSpace::CreateDirectoryPath(fragment.targetDirectory, &error)) {
        error.message = L"Target path '" + fragment.targetDirectory + L"' creation error: " + error.message;
    } else {
        m_bFailed = false; // a library error while creating counts against this target
        // A partial file left by an interrupted run is replaced.
        {
            const std::lock_guard<std::timed_mutex> creating(TargetCreationLock());
            bOpened = m_writer.Create(partialPath, &error);
        }
        if (bOpened) {
            m_audioFrames = m_audioBytes = m_videoFrames = m_videoBytes = 0;
            m_bClockStarted = false;
            m_audioTicks = STrackTicks();
            m_videoTicks = STrackTicks();
            // Each target starts its video at a sync sample that carries the parameter sets.
            RestartVideo();
            m_path = path;
            m_partialPath = partialPath;
            m_fileName = fragment.targetFileName;
            m_utcToLocalOffset = utcToLocalOffset;
            m_lastUnitTime = fragment.startTime;
            // The analysis counted the frames of the day: room for the index can be kept at the
            // front. The start of the day's media dates the file until its first frame does.
            m_writer.SetExpectedSamples(FrameCount(fragment.videoParts), FrameCount(fragment.audioParts));
            m_writer.SetCreationTime(fragment.startTime - utcToLocalOffset);
            m_estimatedSize = fragment.estimatedSize;
        }
        if (m_bStopRequested)
            return false;
        // The day's every kind gets its track now: the muxer takes none after the first sample,
        // and a later file of the day may bring the kind its first file lacks.
        if (bOpened)
            return DeclareTracks(fragment);
    }
    // The fragment is given up; its units are not written.
    return ReportError(error);
}

bool CExportTarget::DeclareTracks(const SExportFragment& fragment)
{
    CMp4Writer& writer = m_writer;
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
        if (m_bStopRequested || !ReportError(error))
            return false;
    }
    const auto addAudio = [&writer](const std::vector<uint8_t>& config, SErrorInfo& partError) {
        return writer.AddAudioTrack(config.data(), config.size(), &partError);
    };
    if (!fragment.audioParts.empty() && !AddTrackFromParts(fragment.audioParts, addAudio, error)) {
        if (m_bStopRequested || !ReportError(error))
            return false;
    }
    // Without a track nothing is written, and the target is given up at its close.
    if (!writer.HasTrack(EMp4Track::Audio) && !writer.HasTrack(EMp4Track::Video))
        return true;
    if (!writer.WriteHeader(&error)) {
        m_bFailed = true;
        if (m_bStopRequested)
            return false;
        return ReportError(error);
    }
    return !m_bStopRequested;
}

bool CExportTarget::WriteSample(bool bAudio, const uint8_t* pSample, size_t size, int64_t tick, bool bSync)
{
    SErrorInfo error;
    const bool bWritten = m_writer.WriteSample(bAudio ? EMp4Track::Audio : EMp4Track::Video, pSample, size,
                                               static_cast<uint64_t>(tick), bSync, &error);
    if (m_provider.HasError())
        m_bFailed = true;
    if (m_bStopRequested)
        return false;
    if (!bWritten)
        return ReportError(error);
    if (bAudio) {
        ++m_audioFrames;
        m_audioBytes += size;
        NoteSample(m_audioTicks, tick);
    } else {
        ++m_videoFrames;
        m_videoBytes += size;
        NoteSample(m_videoTicks, tick);
        if (bSync)
            m_bVideoStarted = true;
    }
    return true;
}

bool CExportTarget::WriteAudioUnit(double localTime, const uint8_t* pPayload, uint32_t payloadSize)
{
    if (!pPayload || payloadSize == 0)
        return true;
    if (!m_writer.HasTrack(EMp4Track::Audio) || !m_writer.IsHeaderWritten())
        return true;
    int64_t tick = 0;
    if (!PlaceOnClock(m_audioTicks, localTime, tick))
        return true;
    // The AudioSpecificConfig lives in the track's decoder configuration only: in front of a raw
    // frame it would make that frame undecodable.
    return WriteSample(true, pPayload, payloadSize, tick, true);
}

bool CExportTarget::WriteVideoUnit(double localTime, const uint8_t* pPayload, uint32_t payloadSize,
                                   const std::vector<uint8_t>& parameterSetPrefix)
{
    if (!pPayload || payloadSize <= kNalLengthSize)
        return true;
    if (!m_writer.HasTrack(EMp4Track::Video) || !m_writer.IsHeaderWritten())
        return true;
    const bool bSync = IsSyncSample(pPayload, payloadSize);
    // Pictures before the first sync sample cannot be decoded.
    if (!bSync && !m_bVideoStarted)
        return true;
    int64_t tick = 0;
    if (!PlaceOnClock(m_videoTicks, localTime, tick))
        return true;

    const uint8_t* pSample = pPayload;
    size_t sampleSize = payloadSize;
    // In-band parameter sets at each file's first sync sample let players follow a camera whose
    // settings changed between files.
    if (bSync && !m_bVideoParameterSetsPrepended && !parameterSetPrefix.empty()) {
        JoinParameterSets(parameterSetPrefix, pPayload, payloadSize, m_joinedSample);
        pSample = m_joinedSample.data();
        sampleSize = m_joinedSample.size();
        m_bVideoParameterSetsPrepended = true;
    }
    return WriteSample(false, pSample, sampleSize, tick, bSync);
}

bool CExportTarget::Close(bool bReport)
{
    if (!m_writer.IsOpen())
        return true;

    m_bReportLibraryMessages = bReport;
    SErrorInfo error;
    bool bClosed = true;
    if (m_bFailed)
        m_writer.Abort(); // the file is deleted below; its index is of no use
    else
        bClosed = m_writer.Close(&error);
    m_bReportLibraryMessages = true;

    bool bResult = true;
    bool bReporting = bReport;
    if (m_bStopRequested) {
        // A stopped export leaves no target behind.
        bResult = false;
        bReporting = false;
        m_bFailed = true;
    } else if (!bClosed) {
        // Without its index the file cannot be played.
        m_bFailed = true;
        if (bReporting && !ReportError(error)) {
            bResult = false;
            bReporting = false;
        }
    }
    if (!m_bFailed && m_audioFrames == 0 && m_videoFrames == 0) {
        if (bReporting) {
            SetErrorInfo(&error, UtilsNameSpace::kErrEndOfFile,
                         L"Zero number of audio and video frames in the target file");
            if (!ReportError(error)) {
                bResult = false;
                bReporting = false;
            }
        }
        m_bFailed = true;
    }

    m_audioFrames = m_audioBytes = m_videoFrames = m_videoBytes = 0;
    const std::wstring path = std::move(m_path);
    const std::wstring partialPath = std::move(m_partialPath);
    const std::wstring fileName = std::move(m_fileName);
    m_path.clear();
    m_partialPath.clear();
    m_fileName.clear();
    m_estimatedSize = 0;

    if (!m_bFailed && !Publish(partialPath, path, bReporting, bResult))
        m_bFailed = true;
    if (m_bFailed) {
        if (!Discard(partialPath))
            bResult = false;
    } else if (bResult && bReporting) {
        bResult = m_eventSync.OnTargetEnd(fileName);
    }
    return bResult;
}

bool CExportTarget::Publish(const std::wstring& partialPath, const std::wstring& path, bool& bReporting, bool& bResult)
{
    SErrorInfo error;
    // File managers sort by this time: the day's last frame, not the moment of the export.
    if (!UtilsNameSpace::SetFileModificationTime(partialPath, m_lastUnitTime - m_utcToLocalOffset, &error)) {
        PrefixErrorInfo(&error, L"Target file time setting error: ");
        m_error = error;
        if (bReporting && !m_eventSync.OnWarning(m_error)) {
            bResult = false;
            bReporting = false;
        }
    }
    // One step replaces a file of an earlier run: it stays whole until the new one is complete.
    if (UtilsNameSpace::RenameFilePath(partialPath, path, &error))
        return true;
    PrefixErrorInfo(&error, L"Target file close error: ");
    if (bReporting && !ReportError(error)) {
        bResult = false;
        bReporting = false;
    }
    return false;
}

bool CExportTarget::Discard(const std::wstring& path)
{
    SErrorInfo error;
    if (path.empty() || UtilsNameSpace::DeleteFilePath(path, &error))
        return true;
    // Reported even while the run stops: the user has to know a broken file is left.
    PrefixErrorInfo(&error, L"Unfinished target file left behind: ");
    m_error = error;
    return m_eventSync.OnError(m_error);
}

void CExportTarget::OnLibraryLog(bool bError, const std::wstring& message)
{
    if (!m_bReportLibraryMessages || m_provider.HasError())
        return;
    SetErrorInfo(&m_error, UtilsNameSpace::kErrGeneral, message);
    bool bGoOn;
    if (bError) {
        m_bFailed = true;
        // Kept as the library error, so that the failing operation names it too.
        m_provider.RecordError(m_error);
        bGoOn = m_eventSync.OnError(m_error);
    } else {
        bGoOn = m_eventSync.OnWarning(m_error);
    }
    if (!bGoOn)
        m_bStopRequested = true;
}

} // namespace KELMNameSpace
