#include "cli/WorkSession.h"

#include "container/ErrorInfo.h"
#include "core/Log.h"

#include <QEventLoop>

namespace KcCli {

using KcWorkers::CWorkManager;

namespace {

// The forms' own entries go under this tag; the manager writes its own under "WM".
const QString kTagMain = QStringLiteral("Main");

} // namespace

CWorkSession::CWorkSession(const QString& qsExportLocation, QObject* pParent)
    : QObject(pParent),
      m_pManager(std::make_unique<CWorkManager>(qsExportLocation))
{
    CWorkManager* pManager = m_pManager.get();
    // Nothing here asks the manager to quit; should it ever, the commands end on their own.
    pManager->setQuitHandler([] {});
    // The desktop program lingers on the final count of a search; a console shows it at once.
    pManager->setSearchFinalPause(false);

    connect(pManager, &CWorkManager::activateStartFrm, this, &CWorkSession::onActivateStartFrm);
    connect(pManager, &CWorkManager::activateVideosFoundFrm, this, &CWorkSession::onActivateVideosFoundFrm);
    connect(pManager, qOverload<>(&CWorkManager::activateVideosConvertedFrm), this, &CWorkSession::onVideosConverted);
    connect(pManager, qOverload<QString>(&CWorkManager::activateVideosConvertedFrm), this,
            &CWorkSession::onVideosConvertedWithError);
    connect(pManager, qOverload<QString, QString, KcForms::KcUserDlgForm>(&CWorkManager::activateAnalyzeErrorsFrm),
            this, &CWorkSession::onAnalyzeErrorsText);
    connect(pManager, qOverload<QString, QStringList, KcForms::KcUserDlgForm>(&CWorkManager::activateAnalyzeErrorsFrm),
            this, &CWorkSession::onAnalyzeErrorsList);
    connect(pManager, &CWorkManager::jobStartFailed, this, &CWorkSession::onJobStartFailed);
    connect(pManager, &CWorkManager::fileError, this, &CWorkSession::onFileError);
    connect(pManager, &CWorkManager::fileWarning, this, &CWorkSession::onFileWarning);
    connect(pManager, &CWorkManager::exportError, this, &CWorkSession::onExportError);
    connect(pManager, &CWorkManager::exportingStarted, this, &CWorkSession::onExportingStarted);
    connect(pManager, &CWorkManager::exportResults, this, &CWorkSession::onExportResults);
    connect(pManager, &CWorkManager::fragmentExportStarted, this, &CWorkSession::onFragmentStarted);
    connect(pManager, &CWorkManager::fragmentExportFinished, this, &CWorkSession::onFragmentFinished);
    connect(pManager, &CWorkManager::fragmentExportOutcome, this,
            [this](ulong ulBatch, int nOutcome, QString qsReason) {
                m_dayOutcomes.insert(ulBatch, SDayOutcome{nOutcome, qsReason});
            });
}

CWorkSession::~CWorkSession() = default;

// ---- the jobs

EJobOutcome CWorkSession::search(const QStringList& slPaths)
{
    if (m_bCancelRequested)
        return EJobOutcome::Cancelled;
    m_nFoundCount = 0;
    KcLog::logWrite(
        KcLog::INFO, kTagMain,
        QStringLiteral("%1 file(s) or folder(s) given on the command line for searching").arg(slPaths.size()));
    KcLog::logWrite(KcLog::INFO, kTagMain, QStringLiteral("Initiate .kelm files searching ..."));
    begin(EPhase::Searching);
    m_pManager->setSrcFilesAndFolders(slPaths);
    m_pManager->onStartKelmFilesSearching();
    return waitForEnd();
}

EJobOutcome CWorkSession::analyze()
{
    if (m_bCancelRequested)
        return EJobOutcome::Cancelled;
    m_slBlackListPaths.clear();
    m_fileErrors.clear();
    m_fileWarnings.clear();
    KcLog::logWrite(KcLog::INFO, kTagMain, QStringLiteral("Initiate .kelm files analyzing ..."));
    begin(EPhase::Analyzing);
    m_pManager->onStartKelmFilesAnalyzing();
    return waitForEnd();
}

bool CWorkSession::prepareBatches(uint32_t& batchCount)
{
    batchCount = 0;
    if (m_pManager->prepareExportBatches(&batchCount))
        return true;
    m_qsFailure = m_pManager->lastError();
    return false;
}

EJobOutcome CWorkSession::exportBatches()
{
    if (m_bCancelRequested)
        return EJobOutcome::Cancelled;
    m_bStoppedForDiskSpace = false;
    m_exportErrors.clear();
    m_exportFileErrors.clear();
    m_bHaveExportResults = false;
    m_ulExported = m_ulExportTotal = 0;
    m_startedBatches.clear();
    m_finishedBatches.clear();
    m_dayOutcomes.clear();
    KcLog::logWrite(KcLog::INFO, kTagMain, QStringLiteral("Initiate exporting ..."));
    begin(EPhase::Exporting);
    m_pManager->onStartExport();
    return waitForEnd();
}

void CWorkSession::requestCancel()
{
    m_bCancelRequested = true;
    m_pManager->onCancelProcessing();
}

void CWorkSession::begin(EPhase phase)
{
    m_phase = phase;
    m_bEnded = false;
    m_outcome = EJobOutcome::Ok;
    m_qsFailure.clear();
}

EJobOutcome CWorkSession::waitForEnd()
{
    // A job that could not start has already ended inside the call that started it.
    if (!m_bEnded) {
        QEventLoop loop;
        m_pLoop = &loop;
        loop.exec();
        m_pLoop = nullptr;
    }
    m_phase = EPhase::Idle;
    return m_outcome;
}

void CWorkSession::end(EJobOutcome outcome)
{
    if (m_bEnded)
        return;
    m_bEnded = true;
    m_outcome = outcome;
    if (m_pLoop)
        m_pLoop->quit();
}

void CWorkSession::takeBlackList()
{
    // Read while the manager still holds the input files: it empties them right after this signal.
    m_slBlackListPaths.clear();
    const std::vector<std::wstring>& inputFiles = m_pManager->inputFiles();
    for (const uint32_t index : m_pManager->blackList()) {
        if (index < inputFiles.size())
            m_slBlackListPaths << KcWorkers::toQString(inputFiles[index]);
    }
}

// ---- what would switch the forms

void CWorkSession::onActivateStartFrm()
{
    if (m_phase != EPhase::Searching)
        return;
    m_nFoundCount = m_pManager->foundFiles().size();
    end(m_bCancelRequested ? EJobOutcome::Cancelled : EJobOutcome::Ok);
}

void CWorkSession::onActivateVideosFoundFrm()
{
    if (m_phase != EPhase::Analyzing)
        return;
    takeBlackList();
    // A cancelled load that kept some content ends like a finished one; the user still asked to stop.
    end(m_bCancelRequested ? EJobOutcome::Cancelled : EJobOutcome::Ok);
}

void CWorkSession::onAnalyzeErrorsList(QString, QStringList, KcForms::KcUserDlgForm)
{
    if (m_phase != EPhase::Analyzing)
        return;
    takeBlackList();
    // The manager names the unusable files whatever the job's status; a failed detection of the
    // days must not pass for a success here.
    if (m_pManager->completionStatus() == CWorkManager::csError) {
        m_qsFailure = m_pManager->lastError();
        end(EJobOutcome::Failed);
        return;
    }
    end(m_bCancelRequested ? EJobOutcome::Cancelled : EJobOutcome::Ok);
}

void CWorkSession::onAnalyzeErrorsText(QString qsTitle, QString qsText, KcForms::KcUserDlgForm)
{
    switch (m_phase) {
    case EPhase::Searching:
        m_qsFailure = qsText;
        end(EJobOutcome::Cancelled);
        break;
    case EPhase::Analyzing:
        takeBlackList();
        m_qsFailure = qsTitle + QLatin1Char(' ') + qsText;
        end(m_bCancelRequested ? EJobOutcome::Cancelled : EJobOutcome::Failed);
        break;
    case EPhase::Exporting:
        m_qsFailure = qsText;
        // Stopped for a full disk rather than by the user: the days that were left failed.
        end(m_bStoppedForDiskSpace && !m_bCancelRequested ? EJobOutcome::Failed : EJobOutcome::Cancelled);
        break;
    case EPhase::Idle:
        break;
    }
}

void CWorkSession::onVideosConverted()
{
    if (m_phase == EPhase::Exporting)
        end(m_bCancelRequested ? EJobOutcome::Cancelled : EJobOutcome::Ok);
}

void CWorkSession::onVideosConvertedWithError(QString qsErrText)
{
    if (m_phase != EPhase::Exporting)
        return;
    m_qsFailure = qsErrText;
    if (!m_pManager->lastError().isEmpty())
        m_qsFailure += QStringLiteral(" (") + m_pManager->lastError() + QLatin1Char(')');
    end(EJobOutcome::Failed);
}

void CWorkSession::onJobStartFailed(QString qsMessage)
{
    m_qsFailure = qsMessage;
    end(EJobOutcome::Failed);
}

// ---- reports on the way

void CWorkSession::onFileError(ulong ulContext, QString qsFileName, QString qsError, int nCode)
{
    SFileReport report{ulContext, qsFileName, nCode, qsError};
    if (m_phase == EPhase::Exporting)
        m_exportFileErrors.push_back(report);
    else
        m_fileErrors.push_back(report);
}

void CWorkSession::onFileWarning(ulong ulContext, QString qsFileName, QString qsWarning, int nCode)
{
    m_fileWarnings.push_back(SFileReport{ulContext, qsFileName, nCode, qsWarning});
}

void CWorkSession::onExportError(ulong ulFragmentID, QString qsError, QString qsFileName, int nCode)
{
    m_exportErrors.push_back(SExportErrorReport{ulFragmentID, nCode, qsError, qsFileName});
    // As the videos-found form does: without disk space the remaining days cannot succeed either.
    if (nCode == UtilsNameSpace::kErrStorageFull && !m_bStoppedForDiskSpace) {
        m_bStoppedForDiskSpace = true;
        m_pManager->onCancelProcessing();
    }
}

void CWorkSession::onExportingStarted()
{
    KcLog::logWrite(KcLog::INFO, kTagMain, QStringLiteral("Export started OK"));
}

void CWorkSession::onExportResults(ulong ulNumExported, ulong ulNumTotal)
{
    KcLog::logWrite(KcLog::INFO, kTagMain,
                    QStringLiteral("Export results: %1 of %2 videos exported").arg(ulNumExported).arg(ulNumTotal));
    m_bHaveExportResults = true;
    m_ulExported = ulNumExported;
    m_ulExportTotal = ulNumTotal;
}

void CWorkSession::onFragmentStarted(ulong ulFragmentID)
{
    m_startedBatches.insert(ulFragmentID);
}

void CWorkSession::onFragmentFinished(ulong ulFragmentID)
{
    m_finishedBatches.insert(ulFragmentID);
}

} // namespace KcCli
