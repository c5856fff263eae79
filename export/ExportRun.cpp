// The export run: every prepared batch, file by file through the parser into its targets, with
// the routing of stream descriptions and units, progress, remaining time and the caller's reports.
#include "export/ExportRun.h"

#include "export/ExportKELMItemsReceiver.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace KELMNameSpace {

using UtilsNameSpace::PrefixErrorInfo;
using UtilsNameSpace::SetCancelled;
using UtilsNameSpace::SetErrorInfo;

namespace {

// The library's log output is process-wide, so runs are serialised and the log output finds the
// target being written through this pointer. Only reports made on the run's own thread belong to it.
std::mutex g_exportLock;
std::atomic<CExportTarget*> g_pExportingTarget{nullptr};
std::atomic<std::thread::id> g_exportThread;

float Percent(uint64_t done, uint64_t total)
{
    return done >= total ? 100.0f : static_cast<float>(done) / static_cast<float>(total) * 100.0f;
}

class CExportLibraryLogSink : public ILibraryLogSink {
public:
    void OnLibraryLog(bool bError, const std::wstring& message) override
    {
        CExportTarget* pTarget = g_pExportingTarget.load();
        if (pTarget && std::this_thread::get_id() == g_exportThread.load())
            pTarget->OnLibraryLog(bError, message);
    }
};

// Makes the run's state reachable for its duration, and unreachable however the run ends.
class CExportRunScope {
public:
    CExportRunScope(SExportRun*& pSlot, SExportRun* pRun)
        : m_pSlot(pSlot)
    {
        m_pSlot = pRun;
        g_exportThread = std::this_thread::get_id();
        g_pExportingTarget = &pRun->target;
        SetLibraryLogSink(&m_logSink);
    }
    ~CExportRunScope()
    {
        SetLibraryLogSink(nullptr);
        g_pExportingTarget = nullptr;
        m_pSlot = nullptr;
    }
    CExportRunScope(const CExportRunScope&) = delete;
    CExportRunScope& operator=(const CExportRunScope&) = delete;

private:
    SExportRun*& m_pSlot;
    CExportLibraryLogSink m_logSink;
};

} // namespace

bool CKELMExport::RunExport(SErrorInfo* pError)
{
    if (!IsContentLoaded()) {
        SetErrorInfo(pError, UtilsNameSpace::kErrNotOpen, L"Content not loaded");
        return false;
    }
    if (m_exportBatches.empty()) {
        SetErrorInfo(pError, UtilsNameSpace::kErrEndOfFile, L"No prepared fragments");
        return false;
    }
    IExportEventSync* pSync = m_pExportEventSync;
    if (!pSync->OnExportStart()) {
        SetCancelled(pError);
        return false;
    }

    std::lock_guard<std::mutex> lock(g_exportLock);
    auto pState = std::make_unique<SExportRun>(*pSync);
    SExportRun& state = *pState;
    for (const SExportBatch& batch : m_exportBatches) {
        for (const SFileRecord& file : batch.files)
            state.totalBytes += file.fileSize;
    }
    state.lastRateSample = Now();
    state.bytesAtLastRateSample = 0;
    CExportRunScope scope(m_pRun, pState.get());
    CExportKELMItemsReceiver receiver(this);

    // A report may change the list; each batch is worked on from its own copy.
    for (size_t batchIndex = 0; batchIndex < m_exportBatches.size(); ++batchIndex) {
        const SExportBatch batch = m_exportBatches[batchIndex];
        if (!pSync->OnBatchStart(batch.id)) {
            SetCancelled(pError);
            return false;
        }
        state.batchEstimatedTotal = batch.estimatedTotalSize;
        state.batchId = batch.id;
        state.batchSrid = batch.srid;
        state.batchSubSourceKey = batch.subSourceKey;
        state.batchClosedTargetsSize = 0;
        // Another camera or day: nothing of the previous batch's streams carries over.
        state.audioCodec = 0;
        state.videoCodec = 0;
        state.audioDecoderConfig.clear();
        state.pictureParameterSets.clear();
        state.sequenceParameterSets.clear();
        state.parameterSetPrefix.clear();
        state.pendingFragments.assign(batch.fragments.begin(), batch.fragments.end());

        for (const SFileRecord& file : batch.files) {
            state.pCurrentFile = &file;
            if (!pSync->OnFileStart(file.path, file.inputIndex, file.fileSize)) {
                SetCancelled(pError);
                return false;
            }
            state.target.BeginFile();
            state.bOtherCamera = false; // until the file's first stream context says otherwise
            SErrorInfo parseError;
            bool bGoOn;
            if (ParseContainer(file.path, false, &receiver, nullptr, &parseError)) {
                bGoOn = pSync->OnFileDone(file.path, file.inputIndex);
            } else if (parseError.code == UtilsNameSpace::kErrCancelled) {
                if (pError)
                    *pError = parseError;
                return false;
            } else {
                // What the file gave before its error stays in the target.
                bGoOn = pSync->OnFileError(file.path, file.inputIndex, parseError);
            }
            if (!bGoOn) {
                SetCancelled(pError);
                return false;
            }
            state.completedFilesBytes += file.fileSize;
        }
        state.pCurrentFile = nullptr;

        if (!CloseTarget(true) || !pSync->OnBatchEnd()) {
            SetCancelled(pError);
            return false;
        }
    }

    if (!pSync->OnExportEnd()) {
        SetCancelled(pError);
        return false;
    }
    return true;
}

bool CKELMExport::ReportExportProgress(uint64_t position)
{
    SExportRun* pState = m_pRun;
    if (!pState || !pState->pCurrentFile)
        return true;
    SExportRun& state = *pState;

    const float filePercent = Percent(position, state.pCurrentFile->fileSize);
    const uint64_t done = state.completedFilesBytes + position;
    const float totalPercent = Percent(done, state.totalBytes);

    // The rate is sampled at most once per clock second.
    const SClockTime now = Now();
    if (now.seconds != state.lastRateSample.seconds) {
        const double elapsed =
            static_cast<double>(now.seconds - state.lastRateSample.seconds)
            + (static_cast<double>(now.milliseconds) - static_cast<double>(state.lastRateSample.milliseconds)) * 0.001;
        // A clock that stepped back gives no rate; sampling starts again from here.
        if (elapsed > 0) {
            const double sample =
                (static_cast<double>(done) - static_cast<double>(state.bytesAtLastRateSample)) / elapsed;
            state.rate = state.rate <= 0 ? sample : state.rate * 0.75 + sample * 0.25;
        }
        state.bytesAtLastRateSample = done;
        state.lastRateSample = now;
    }
    SRemainingTime remaining;
    if (state.rate > 0) {
        remaining.bValid = true;
        remaining.seconds = static_cast<double>(done >= state.totalBytes ? 0 : state.totalBytes - done) / state.rate;
    }

    uint64_t targetSize = 0;
    float targetPercent = 0;
    static const std::wstring kNoTarget;
    const std::wstring* pTargetName = &kNoTarget;
    if (state.target.IsOpen()) {
        targetSize = state.target.Size();
        targetPercent = Percent(targetSize, state.target.EstimatedSize());
        pTargetName = &state.target.FileName();
    }
    // The batch counts the targets it already closed as well, so that its share never falls back
    // when the next day's target opens.
    const uint64_t batchDone = state.batchClosedTargetsSize + targetSize;
    const float batchPercent = Percent(batchDone, state.batchEstimatedTotal);

    return m_pExportEventSync->OnExportProgress(position, filePercent, state.batchId, batchDone, batchPercent,
                                                *pTargetName, targetSize, targetPercent, done, totalPercent, remaining);
}

bool CKELMExport::ExportFileWarning(const SErrorInfo& warning)
{
    const SExportRun* pState = m_pRun;
    if (!pState || !pState->pCurrentFile)
        return true;
    const SFileRecord& file = *pState->pCurrentFile;
    return m_pExportEventSync->OnFileWarning(file.path, file.inputIndex, warning);
}

bool CKELMExport::CloseTarget(bool bReport)
{
    SExportRun* pState = m_pRun;
    if (!pState || !pState->target.IsOpen())
        return true;
    pState->batchClosedTargetsSize += pState->target.Size();
    return pState->target.Close(bReport);
}

bool CKELMExport::ExportStreamContext(const std::wstring& srid, const std::wstring& subSourceKey)
{
    SExportRun* pState = m_pRun;
    if (pState)
        pState->bOtherCamera = srid != pState->batchSrid || subSourceKey != pState->batchSubSourceKey;
    return true;
}

bool CKELMExport::ExportAudioES(int32_t esno, uint32_t codec, const uint8_t* pConfig, uint32_t configSize)
{
    SExportRun* pState = m_pRun;
    if (!pState || pState->bOtherCamera)
        return true;
    SExportRun& state = *pState;
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

bool CKELMExport::ExportVideoES(int32_t esno, uint32_t codec, const uint8_t* pConfig, uint32_t configSize)
{
    SExportRun* pState = m_pRun;
    if (!pState || pState->bOtherCamera)
        return true;
    SExportRun& state = *pState;
    if (codec != H264Video) {
        SetErrorInfo(&state.error, UtilsNameSpace::kErrNotSupported,
                     std::wstring(L"Video codec '") + VideoCodecName(codec) + L"' not supported");
        return m_pExportEventSync->OnWarning(state.error);
    }
    state.videoCodec = codec;
    state.videoEsno = esno;
    state.target.RestartVideo();

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

bool CKELMExport::ExportUnit(int32_t esno, double time, const uint8_t* pPayload, uint32_t payloadSize)
{
    SExportRun* pState = m_pRun;
    if (!pState || pState->bOtherCamera)
        return true;
    SExportRun& state = *pState;
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

    if (!state.target.IsOpen()) {
        bool bOpened = false;
        if (!state.target.Open(state.pendingFragments.front(), m_UTCTimeToLocalTimeOffset, bOpened))
            return false;
        if (!bOpened) {
            // The fragment is given up; its units are not written.
            state.pendingFragments.pop_front();
            return true;
        }
    }
    // A failed target is deleted at its close; writing on would only repeat its error per unit.
    if (state.target.IsFailed())
        return true;
    return bAudio ? state.target.WriteAudioUnit(localTime, pPayload, payloadSize)
                  : state.target.WriteVideoUnit(localTime, pPayload, payloadSize, state.parameterSetPrefix);
}

} // namespace KELMNameSpace
