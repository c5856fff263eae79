#include "workers/KelmFilesExporter.h"

#include "export/FileSystemName.h"

#include <atomic>
#include <cmath>
#include <vector>

using KELMNameSpace::CKELMExport;
using KELMNameSpace::SExportFragment;
using KELMNameSpace::SExportRequest;
using UtilsNameSpace::SErrorInfo;

namespace KcWorkers {

namespace {

// Written on the GUI thread by the preparation, read by the export run that follows it.
std::atomic<uint32_t> g_preparedBatchCount{0};

} // namespace

uint32_t preparedBatchCount()
{
    return g_preparedBatchCount.load();
}

// ---- CExportEventsSync

bool CExportEventsSync::goOn() const
{
    return !m_exporter.isCancelRequested();
}

bool CExportEventsSync::OnExportStart()
{
    m_filesCreated = 0;
    m_currentBatchId = 0;
    m_currentTargetPath.clear();
    m_currentInputPath.clear();
    m_progressGate.reset();
    emit m_exporter.workStarted();
    return goOn();
}

bool CExportEventsSync::OnExportEnd()
{
    emit m_exporter.exportResults(ulong(m_filesCreated), ulong(preparedBatchCount()));
    return goOn();
}

bool CExportEventsSync::OnError(const SErrorInfo& error)
{
    emit m_exporter.exportError(ulong(m_currentBatchId), toQString(error.message), toQString(m_currentTargetPath),
                                int(error.code));
    return goOn();
}

bool CExportEventsSync::OnExportProgress(uint64_t, float, uint32_t batchId, uint64_t, float batchPercent,
                                         const std::wstring&, uint64_t, float, uint64_t, float totalPercent,
                                         const KELMNameSpace::SRemainingTime& remaining)
{
    if (!goOn())
        return false;

    const int nPercent = int(totalPercent);
    const ulong ulBatchPercent = batchPercent > 0 ? ulong(batchPercent) : 0;
    const double fEstimatedTime = remaining.bValid ? remaining.seconds : -1.0;
    // The run reports after every record; only a change the user can see is sent on.
    const uint64_t shownState =
        (uint64_t(batchId) << 32) | (uint64_t(ulBatchPercent & 0xFFFF) << 16) | uint64_t(nPercent & 0xFFFF);
    if (!m_progressGate.pass(shownState, std::floor(fEstimatedTime)))
        return true;
    emit m_exporter.exportProgressState(nPercent, ulong(batchId), ulBatchPercent, ulong(preparedBatchCount()),
                                        fEstimatedTime);
    return true;
}

bool CExportEventsSync::OnWarning(const SErrorInfo& warning)
{
    // A track's decoder configuration is read before its target exists: the input names it then.
    const std::wstring& path = m_currentTargetPath.empty() ? m_currentInputPath : m_currentTargetPath;
    emit m_exporter.exportWarning(ulong(m_currentBatchId), toQString(warning.message), toQString(path),
                                  int(warning.code));
    return goOn();
}

bool CExportEventsSync::OnBatchStart(uint32_t batchId)
{
    m_currentBatchId = batchId;
    emit m_exporter.fragmentExportStarted(ulong(batchId));
    return goOn();
}

bool CExportEventsSync::OnBatchEnd()
{
    emit m_exporter.fragmentExportFinished(ulong(m_currentBatchId));
    return goOn();
}

bool CExportEventsSync::OnFileStart(const std::wstring& path, uint32_t, uint64_t)
{
    m_currentInputPath = path;
    return goOn();
}

bool CExportEventsSync::OnFileDone(const std::wstring&, uint32_t)
{
    m_currentInputPath.clear();
    return goOn();
}

bool CExportEventsSync::OnFileError(const std::wstring& path, uint32_t, const SErrorInfo& error)
{
    emit m_exporter.fileError(ulong(m_currentBatchId), toQString(path), toQString(error.message), int(error.code));
    return goOn();
}

bool CExportEventsSync::OnFileWarning(const std::wstring& path, uint32_t, const SErrorInfo& warning)
{
    // The pane of the batch is marked the same way as for an error.
    emit m_exporter.fileError(ulong(m_currentBatchId), toQString(path), toQString(warning.message), int(warning.code));
    return goOn();
}

bool CExportEventsSync::OnTargetStart(const std::wstring& targetPath)
{
    m_currentTargetPath = targetPath;
    return goOn();
}

bool CExportEventsSync::OnTargetEnd(const std::wstring&)
{
    ++m_filesCreated;
    m_currentTargetPath.clear();
    emit m_exporter.fragmentFileCreated(ulong(m_currentBatchId));
    return goOn();
}

// ---- CKelmFilesExporter

CKelmFilesExporter::CKelmFilesExporter(CKELMExport& storage, ExportedSrids& exportedSrids, CancelFlag& cancelFlag,
                                       const QString& qsExportLocation, QObject* pParent)
    : CKcWorker(storage, exportedSrids, cancelFlag, pParent),
      m_eventsSync(*this),
      m_qsExportLocation(qsExportLocation)
{
    m_pStorage->SetExportEventSync(&m_eventsSync);
    m_bEventsSyncInstalled = true;
}

CKelmFilesExporter::~CKelmFilesExporter()
{
    // Only a worker that never ran still has its sync installed (see process()).
    uninstallEventsSync();
}

void CKelmFilesExporter::uninstallEventsSync()
{
    if (m_bEventsSyncInstalled) {
        m_pStorage->SetExportEventSync(nullptr);
        m_bEventsSyncInstalled = false;
    }
}

void CKelmFilesExporter::process()
{
    // Removed on this thread before workDone(), so that the next export's sync is not undone by
    // this worker's late destruction.
    struct SUninstallOnExit {
        CKelmFilesExporter& exporter;
        ~SUninstallOnExit() { exporter.uninstallEventsSync(); }
    } uninstallOnExit{*this};

    emit preparingExport();
    SErrorInfo error;
    if (!m_pStorage->RunExport(&error) && error.code != UtilsNameSpace::kErrCancelled) {
        const QString qsMessage = toQString(error.message);
        throw KcMain::KcException(tr("Export failed. ") + qsMessage, QStringLiteral("Export failed. ") + qsMessage);
    }
}

// ---- preparation

QString cameraTargetFolder(const QString& qsExportLocation, const SExportEntry& entry)
{
    // The Srid is text from a recording, not a path.
    return qsExportLocation + QStringLiteral("Converted/") + toQString(KELMNameSpace::MakeFileSystemName(entry.srid))
           + QStringLiteral("/") + QStringLiteral("Camera%1").arg(toQString(entry.displayNumber)) + QStringLiteral("/");
}

uint32_t prepareExportBatches(CKELMExport& storage, ExportedSrids& exportedSrids, const QString& qsExportLocation)
{
    g_preparedBatchCount.store(0);
    storage.ClearPreparedFragments();

    uint32_t preparedCount = 0;
    std::vector<SExportFragment> scratch;
    for (auto& keyAndEntry : exportedSrids) {
        SExportEntry& entry = keyAndEntry.second;
        if (!entry.bEnabled)
            continue;

        SExportRequest request;
        request.endTime = entry.fragment.endTime;
        request.startTime = entry.fragment.startTime;
        request.srid = entry.srid;
        request.displayNumber = entry.displayNumber;
        request.subSourceKey = entry.subSourceKey;
        request.targetDirectory = toWString(cameraTargetFolder(qsExportLocation, entry));

        entry.batchId = 0;
        SErrorInfo error;
        if (!storage.PrepareExportFragments(request, &scratch, &entry.batchId, &error)) {
            // Half a preparation must not be exported.
            storage.ClearPreparedFragments();
            const QString qsMessage = toQString(error.message);
            throw KcMain::KcException(CKelmFilesExporter::tr("Failed preparing data for export. ") + qsMessage,
                                      QStringLiteral("Failed preparing data for export. ") + qsMessage);
        }
        if (entry.batchId != 0)
            preparedCount = entry.batchId;
    }

    g_preparedBatchCount.store(preparedCount);
    return preparedCount;
}

} // namespace KcWorkers
