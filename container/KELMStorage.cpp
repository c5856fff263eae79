#include "container/KELMStorage.h"

#include "container/File.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace KELMNameSpace {

using UtilsNameSpace::CFile;
using UtilsNameSpace::PrefixErrorInfo;
using UtilsNameSpace::SetCancelled;

namespace {

CKELMStorage::IContentLoadEventSync* SharedContentLoadStub()
{
    // Stateless, so every storage can share it.
    static CKELMStorage::CContentLoadEventSyncStub s_stub;
    return &s_stub;
}

// Points the storage's progress pointer at a load's record for the duration of the load, and
// back at nothing however the load ends.
class CProgressScope {
public:
    CProgressScope(SLoadProgress*& pSlot, SLoadProgress* pProgress)
        : m_pSlot(pSlot)
    {
        m_pSlot = pProgress;
    }
    ~CProgressScope() { m_pSlot = nullptr; }
    CProgressScope(const CProgressScope&) = delete;
    CProgressScope& operator=(const CProgressScope&) = delete;

private:
    SLoadProgress*& m_pSlot;
};

} // namespace

SClockTime SystemClockNow()
{
    using namespace std::chrono;
    const int64_t ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    int64_t seconds = ms / 1000;
    int64_t rest = ms % 1000;
    if (rest < 0) {
        rest += 1000;
        --seconds;
    }
    SClockTime now;
    now.seconds = seconds;
    now.milliseconds = static_cast<uint32_t>(rest);
    return now;
}

// ---- the parser receiver

bool CContentLoadKELMItemsReceiver::OnFileSize(uint64_t fileSize)
{
    SLoadProgress* pProgress = m_pStorage->m_pLoadProgress;
    if (pProgress && pProgress->pCurrentEntry)
        pProgress->pCurrentEntry->size = fileSize;
    return true;
}

bool CContentLoadKELMItemsReceiver::OnPosition(uint64_t bytesConsumed)
{
    return m_pStorage->ReportLoadProgress(bytesConsumed);
}

bool CContentLoadKELMItemsReceiver::OnParseWarning(const SErrorInfo& warning)
{
    SLoadProgress* pProgress = m_pStorage->m_pLoadProgress;
    if (!pProgress || !pProgress->pCurrentEntry)
        return true;
    const SFileEntry& entry = *pProgress->pCurrentEntry;
    return m_pStorage->m_pContentLoadEventSync->OnFileWarning(entry.path, entry.inputIndex, warning);
}

// ---- the storage

CKELMStorage::CKELMStorage()
    : m_contentLoadReceiver(this),
      m_pContentLoadEventSync(SharedContentLoadStub()),
      m_clock(SystemClockNow)
{
}

CKELMStorage::~CKELMStorage()
{
    ClearContent();
}

void CKELMStorage::SetContentLoadEventSync(IContentLoadEventSync* pEventSync)
{
    m_pContentLoadEventSync = pEventSync ? pEventSync : SharedContentLoadStub();
}

void CKELMStorage::SetClock(ClockFunction clock)
{
    m_clock = clock ? std::move(clock) : ClockFunction(SystemClockNow);
}

void CKELMStorage::ClearContent()
{
    m_sridMap.clear();
    m_blackList.clear();
    m_blackList.shrink_to_fit();
    m_bContentLoaded = false;
}

bool CKELMStorage::EstimateTotalSize(const std::vector<SFileEntry>& entries, SLoadProgress& progress,
                                     SErrorInfo* pError)
{
    IContentLoadEventSync* pSync = m_pContentLoadEventSync;
    if (!pSync->OnSizingStart()) {
        SetCancelled(pError);
        return false;
    }

    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(entries.size(), m_sizingFileLimit));
    uint64_t sum = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const SFileEntry& entry = entries[i];
        SErrorInfo fileError;
        bool bGoOn;
        CFile file;
        if (!file.Open(entry.path, CFile::OpenExisting, false, &fileError)) {
            bGoOn = pSync->OnFileError(entry.path, entry.inputIndex, fileError);
        } else {
            uint64_t size = 0;
            const bool bSized = file.GetSize(size, &fileError);
            file.Close(nullptr);
            if (!bSized) {
                PrefixErrorInfo(&fileError, L"File size get error: ");
                bGoOn = pSync->OnFileError(entry.path, entry.inputIndex, fileError);
            } else {
                sum += size;
                bGoOn = pSync->OnFileSized(entry.path, entry.inputIndex, size);
            }
        }
        if (!bGoOn) {
            SetCancelled(pError);
            return false;
        }
    }

    if (!pSync->OnSizingEnd(n, sum)) {
        SetCancelled(pError);
        return false;
    }

    // Without a sized file there is nothing to scale; the estimate then stays 0.
    progress.estimatedTotalBytes = 0;
    if (n > 0) {
        const double sampledShare = static_cast<double>(n) / static_cast<double>(entries.size());
        progress.estimatedTotalBytes = static_cast<uint64_t>(static_cast<double>(sum) / sampledShare);
    }
    return true;
}

bool CKELMStorage::LoadContent(const std::vector<std::wstring>& paths, SErrorInfo* pError)
{
    if (m_bContentLoaded)
        ClearContent();

    std::vector<SFileEntry> entries(paths.size());
    for (size_t i = 0; i < paths.size(); ++i) {
        entries[i].inputIndex = static_cast<uint32_t>(i);
        entries[i].path = paths[i];
    }

    SLoadProgress progress;
    CProgressScope progressScope(m_pLoadProgress, &progress);

    if (!EstimateTotalSize(entries, progress, pError))
        return false;

    IContentLoadEventSync* pSync = m_pContentLoadEventSync;
    if (!pSync->OnLoadStart()) {
        SetCancelled(pError);
        return false;
    }

    progress.speed = 0;
    progress.bytesAtLastSample = 0;
    progress.finishedFilesBytes = 0;
    progress.lastSampleTime = Now();

    bool bCancelled = false;
    std::vector<SStreamSummary> summaries;
    for (SFileEntry& entry : entries) {
        if (!pSync->OnFileStart(entry.path, entry.inputIndex, entry.size)) {
            bCancelled = true;
            SetCancelled(pError);
            break;
        }

        progress.pCurrentEntry = &entry;
        summaries.clear();
        SErrorInfo parseError;
        const bool bParsed = ParseContainer(entry.path, true, &m_contentLoadReceiver, &summaries, &parseError);
        progress.finishedFilesBytes += entry.size;

        if (bParsed) {
            for (const SStreamSummary& summary : summaries) {
                if (!MergeSummary(entry, summary)) {
                    bCancelled = true;
                    break;
                }
            }
            if (bCancelled || !pSync->OnFileDone(entry.path, entry.inputIndex)) {
                bCancelled = true;
                SetCancelled(pError);
                break;
            }
        } else if (parseError.code == UtilsNameSpace::kErrCancelled) {
            bCancelled = true;
            if (pError)
                *pError = parseError;
            break;
        } else if (!pSync->OnFileError(entry.path, entry.inputIndex, parseError)) {
            bCancelled = true;
            SetCancelled(pError);
            break;
        }
    }
    progress.pCurrentEntry = nullptr;

    if (!bCancelled && !pSync->OnLoadEnd()) {
        bCancelled = true;
        SetCancelled(pError);
    }

    // Files never reached after a cancellation are black-listed along with the unusable ones.
    for (const SFileEntry& entry : entries) {
        if (!entry.bUsed)
            m_blackList.push_back(entry.inputIndex);
    }
    m_bContentLoaded = true;
    return !bCancelled;
}

bool CKELMStorage::MergeSummary(SFileEntry& entry, const SStreamSummary& summary)
{
    const bool bAudio = summary.kind == StreamKindAudio;
    if ((!bAudio && summary.kind != StreamKindVideo) || summary.frameCount == 0)
        return true;

    // The camera, its recording and the file record exist before the codec check, so that a
    // camera whose streams are all refused still shows up (with an empty recording).
    RecordingMap& recordings = m_sridMap[summary.srid];
    auto recordingIt = recordings.find(summary.subSourceKey);
    if (recordingIt == recordings.end()) {
        recordingIt = recordings.emplace(summary.subSourceKey, SRecording()).first;
        recordingIt->second.displayNumber = std::to_wstring(recordings.size());
    }
    SRecording& recording = recordingIt->second;

    auto fileIt = recording.files.find(entry.path);
    if (fileIt == recording.files.end()) {
        SFileRecord fileRecord;
        fileRecord.inputIndex = entry.inputIndex;
        fileRecord.fileSize = entry.size;
        fileRecord.startTime = 0;
        fileRecord.path = entry.path;
        fileIt = recording.files.emplace(entry.path, std::move(fileRecord)).first;
    }
    SFileRecord& fileRecord = fileIt->second;

    const uint32_t acceptedCodec = bAudio ? static_cast<uint32_t>(RawAACAudio) : static_cast<uint32_t>(H264Video);
    if (summary.codec != acceptedCodec) {
        SErrorInfo warning;
        warning.code = UtilsNameSpace::kErrNotSupported;
        if (bAudio)
            warning.message = std::wstring(L"Audio codec '") + AudioCodecName(summary.codec) + L"' not supported";
        else
            warning.message = std::wstring(L"Video codec '") + VideoCodecName(summary.codec) + L"' not supported";
        return m_pContentLoadEventSync->OnFileWarning(entry.path, entry.inputIndex, warning);
    }

    std::vector<SMediaPart>& parts = bAudio ? recording.audioParts : recording.videoParts;
    double& spanEnd = bAudio ? recording.audioEnd : recording.videoEnd;
    double& spanStart = bAudio ? recording.audioStart : recording.videoStart;
    if (parts.empty()) {
        spanEnd = summary.lastTime;
        spanStart = summary.firstTime;
    } else {
        spanEnd = std::max(spanEnd, summary.lastTime);
        spanStart = std::min(spanStart, summary.firstTime);
    }

    SMediaPart part;
    part.frameCount = summary.frameCount;
    part.payloadBytes = summary.payloadBytes;
    part.endTime = summary.lastTime;
    part.startTime = summary.firstTime;
    part.codec = summary.codec;
    part.decoderConfig = summary.decoderConfig;
    (bAudio ? fileRecord.audioParts : fileRecord.videoParts).push_back(static_cast<uint32_t>(parts.size()));
    parts.push_back(part);

    // A start of 0 means "not set" in the file record.
    if (fileRecord.startTime != 0) {
        fileRecord.startTime = std::min(fileRecord.startTime, part.startTime);
        fileRecord.endTime = std::max(fileRecord.endTime, part.endTime);
    } else {
        fileRecord.startTime = part.startTime;
        fileRecord.endTime = part.endTime;
    }

    entry.bUsed = true;
    return true;
}

bool CKELMStorage::ReportLoadProgress(uint64_t position)
{
    SLoadProgress* pProgress = m_pLoadProgress;
    if (!pProgress || !pProgress->pCurrentEntry)
        return true;
    SLoadProgress& progress = *pProgress;
    const uint64_t entrySize = progress.pCurrentEntry->size;
    // The parser passes a position after every record, a few microseconds apart; a report reads
    // the clock and goes through the front end, which would cost more than the record.
    const bool bFileStartOrEnd = position == 0 || position >= entrySize;
    if (!bFileStartOrEnd && ++progress.positionsUnreported < kPositionsPerReport)
        return true;
    progress.positionsUnreported = 0;

    const float filePercent =
        position >= entrySize ? 100.0f : static_cast<float>(position) / static_cast<float>(entrySize) * 100.0f;
    const uint64_t overall = progress.finishedFilesBytes + position;
    const uint64_t estimated = progress.estimatedTotalBytes;
    const float totalPercent =
        overall >= estimated ? 100.0f : static_cast<float>(overall) / static_cast<float>(estimated) * 100.0f;

    // The speed is sampled at most once per clock second.
    const SClockTime now = Now();
    if (now.seconds != progress.lastSampleTime.seconds) {
        const double elapsed =
            static_cast<double>(now.seconds - progress.lastSampleTime.seconds)
            + (static_cast<double>(now.milliseconds) - static_cast<double>(progress.lastSampleTime.milliseconds))
                  * 0.001;
        // A clock that stepped back gives no rate; sampling starts again from here.
        if (elapsed > 0) {
            const double rate =
                (static_cast<double>(overall) - static_cast<double>(progress.bytesAtLastSample)) / elapsed;
            progress.speed = progress.speed <= 0 ? rate : 0.75 * progress.speed + 0.25 * rate;
        }
        progress.bytesAtLastSample = overall;
        progress.lastSampleTime = now;
    }

    SRemainingTime remaining;
    if (progress.speed > 0) {
        const uint64_t left = overall >= estimated ? 0 : estimated - overall;
        remaining.bValid = true;
        remaining.seconds = static_cast<double>(left) / progress.speed;
    }

    return m_pContentLoadEventSync->OnLoadProgress(position, overall, filePercent, totalPercent, remaining);
}

} // namespace KELMNameSpace
