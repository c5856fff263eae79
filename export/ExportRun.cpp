// The export run: every prepared batch, file by file through the parser into the target writer,
// with progress, remaining time and the caller's reports.
#include "ExportKELMItemsReceiver.h"
#include "ExportState.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace KELMNameSpace {

using UtilsNameSpace::SetCancelled;
using UtilsNameSpace::SetErrorInfo;

namespace {

// The library's log output is process-wide, so runs are serialised and the log output finds the
// exporting storage through this pointer. Only reports made on the run's own thread belong to it.
std::mutex g_exportLock;
std::atomic<CKELMStorage*> g_pExportingStorage{nullptr};
std::atomic<std::thread::id> g_exportThread;

float Percent(uint64_t done, uint64_t total)
{
    return done >= total ? 100.0f : static_cast<float>(done) / static_cast<float>(total) * 100.0f;
}

} // namespace

class CExportLibraryLogSink : public ILibraryLogSink {
public:
    void OnLibraryLog(bool bError, const std::wstring& message) override
    {
        CKELMStorage* pStorage = g_pExportingStorage.load();
        if (pStorage && std::this_thread::get_id() == g_exportThread.load())
            pStorage->OnExportLibraryLog(bError, message);
    }
};

namespace {

// Makes the run's state reachable for its duration and takes everything down however it ends:
// a target still open (the run was stopped) is deleted, so no file without its index is left.
class CExportRunScope {
public:
    CExportRunScope(CKELMStorage& storage, CKELMStorage::IExportEventSync& eventSync, SExportState*& pSlot,
                    SExportState* pState)
        : m_eventSync(eventSync), m_pSlot(pSlot)
    {
        m_pSlot = pState;
        g_exportThread = std::this_thread::get_id();
        g_pExportingStorage = &storage;
        SetLibraryLogSink(&m_logSink);
    }
    ~CExportRunScope()
    {
        SetLibraryLogSink(nullptr);
        g_pExportingStorage = nullptr;
        if (m_pSlot && m_pSlot->writer.IsOpen()) {
            m_pSlot->writer.Abort();
            DiscardPartialTarget(m_eventSync, *m_pSlot, m_pSlot->targetPartialPath);
        }
        m_pSlot = nullptr;
    }
    CExportRunScope(const CExportRunScope&) = delete;
    CExportRunScope& operator=(const CExportRunScope&) = delete;

private:
    CKELMStorage::IExportEventSync& m_eventSync;
    SExportState*& m_pSlot;
    CExportLibraryLogSink m_logSink;
};

} // namespace

bool CKELMStorage::RunExport(SErrorInfo* pError)
{
    if (!m_bContentLoaded) {
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
    auto pState = std::make_unique<SExportState>();
    SExportState& state = *pState;
    state.bReportLibraryMessages = true;
    for (const SExportBatch& batch : m_exportBatches) {
        for (const SFileRecord& file : batch.files)
            state.totalBytes += file.fileSize;
    }
    state.lastRateSample = Now();
    state.bytesAtLastRateSample = 0;
    CExportRunScope scope(*this, *pSync, m_pExportState, pState.get());
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
            state.bNewFilePending = true;
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

bool CKELMStorage::ReportExportProgress(uint64_t position)
{
    SExportState* pState = m_pExportState;
    if (!pState || !pState->pCurrentFile)
        return true;
    SExportState& state = *pState;

    const float filePercent = Percent(position, state.pCurrentFile->fileSize);
    const uint64_t done = state.completedFilesBytes + position;
    const float totalPercent = Percent(done, state.totalBytes);

    // The rate is sampled at most once per clock second.
    const SClockTime now = Now();
    if (now.seconds != state.lastRateSample.seconds) {
        const double elapsed = static_cast<double>(now.seconds - state.lastRateSample.seconds) +
                               (static_cast<double>(now.milliseconds) -
                                static_cast<double>(state.lastRateSample.milliseconds)) * 0.001;
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
    if (state.writer.IsOpen()) {
        targetSize = TargetSize(state);
        targetPercent = Percent(targetSize, state.targetEstimatedSize);
        pTargetName = &state.targetFileName;
    }
    // The batch counts the targets it already closed as well, so that its share never falls back
    // when the next day's target opens.
    const uint64_t batchDone = state.batchClosedTargetsSize + targetSize;
    const float batchPercent = Percent(batchDone, state.batchEstimatedTotal);

    return m_pExportEventSync->OnExportProgress(position, filePercent, state.batchId, batchDone, batchPercent,
                                                *pTargetName, targetSize, targetPercent, done, totalPercent,
                                                remaining);
}

} // namespace KELMNameSpace
