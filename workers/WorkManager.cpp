#include "workers/WorkManager.h"

#include "core/Log.h"
#include "export/ExportTarget.h"
#include "workers/KelmFilesAnalyzer.h"
#include "workers/KelmFilesExporter.h"
#include "workers/KelmFilesFinder.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <memory>
#include <new>

using KcLog::logWrite;
using KcLog::logWriteSpaced;

namespace KcWorkers {

namespace {

const QString kTagWM = QStringLiteral("WM");
const QString kTagANR = QStringLiteral("ANR");
const QString kTagEXP = QStringLiteral("EXP");

// The engine's code for a full disk, which gets its own wording in the log.
constexpr int kOutOfDiskSpaceCode = UtilsNameSpace::kErrStorageFull;

void registerMetaTypes()
{
    qRegisterMetaType<KcForms::KcUserDlgForm>("KcForms::KcUserDlgForm");
}

QString withTrailingSlash(const QString& qsPath)
{
    return qsPath.endsWith(QLatin1Char('/')) ? qsPath : qsPath + QLatin1Char('/');
}

// Runs the start of a job; what it throws goes to the log as "<failure>: out of memory" or
// "<failure>: Unknown exception". False when the job did not start.
template <class TStart>
bool startCatching(TStart start, const QString& qsFailure)
{
    try {
        return start();
    } catch (const std::bad_alloc&) {
        logWriteSpaced(KcLog::FATAL, kTagWM, qsFailure + QStringLiteral(": out of memory"));
    } catch (...) {
        logWriteSpaced(KcLog::FATAL, kTagWM, qsFailure + QStringLiteral(": Unknown exception"));
    }
    return false;
}

// Runs work that fails by exception on the analysis results. On failure the user's and the log's
// texts go to qsLastError and qsLastLogError, the latter also to the log.
template <class TWork>
bool runKeepingError(TWork work, QString& qsLastError, QString& qsLastLogError)
{
    try {
        work();
        return true;
    } catch (const KcMain::KcException& exception) {
        qsLastError = exception.userText();
        qsLastLogError = exception.logText();
    } catch (const std::bad_alloc&) {
        qsLastError = CWorkManager::tr("Out of memory");
        qsLastLogError = QStringLiteral("Out of memory");
    } catch (const std::exception& exception) {
        qsLastError = QString::fromLocal8Bit(exception.what());
        qsLastLogError = qsLastError;
    } catch (...) {
        qsLastError = CWorkManager::tr("Unknown exception");
        qsLastLogError = QStringLiteral("Unknown exception");
    }
    logWrite(KcLog::ERROR, kTagWM, qsLastLogError);
    return false;
}

} // namespace

CWorkManager::CWorkManager(const QString& qsExportLocation, QObject* pParent)
    : QObject(pParent),
      m_qsExportLocation(withTrailingSlash(qsExportLocation))
{
    registerMetaTypes();

    m_pFinder = new (std::nothrow) CKelmFilesFinder(this);
    if (!m_pFinder) {
        m_bInitialized = false;
        return;
    }
    m_pFinder->setLists(&m_slSourcePaths, &m_slFoundInThisSearch);
    if (!connect(m_pFinder, &CKelmFilesFinder::startFindFiles, this, &CWorkManager::onKelmFilesSearchingStarted))
        m_bInitialized = false;
    if (!connect(m_pFinder, &CKelmFilesFinder::pathSkipped, this, &CWorkManager::onPathSkipped))
        m_bInitialized = false;
    if (!connect(m_pFinder, &CKelmFilesFinder::findFiles, this, &CWorkManager::onSomeFilesFound))
        m_bInitialized = false;
    if (!connect(m_pFinder, &CKelmFilesFinder::finished, this, &CWorkManager::onKelmSearchingFinished))
        m_bInitialized = false;
}

CWorkManager::~CWorkManager()
{
    // The workers hold references into this object: let a running job stop before it goes.
    m_cancelFlag.store(1);
    if (m_pFinder)
        m_pFinder->stop();
    if (m_pWorkerThread) {
        // The job's own quit request is queued to this (now blocked) thread, so ask directly.
        m_pWorkerThread->quit();
        m_pWorkerThread->wait();
    }
}

void CWorkManager::setExportLocation(const QString& qsExportLocation)
{
    m_qsExportLocation = withTrailingSlash(qsExportLocation);
}

bool CWorkManager::setExportEnabled(const QString& qsExportKey, bool bEnabled)
{
    const auto found = m_exportedSrids.find(qsExportKey.toStdWString());
    if (found == m_exportedSrids.end())
        return false;
    found->second.bEnabled = bEnabled;
    return true;
}

void CWorkManager::setQuitHandler(std::function<void()> quitHandler)
{
    m_quitHandler = std::move(quitHandler);
}

void CWorkManager::setSearchFinalPause(bool bPause)
{
    if (m_pFinder)
        m_pFinder->setFinalPause(bPause);
}

void CWorkManager::quitApplication()
{
    if (m_quitHandler)
        m_quitHandler();
    else
        QCoreApplication::quit();
}

bool CWorkManager::refuseWhileBusy(const char* pRequest)
{
    if (m_state == wsIdle)
        return false;
    logWrite(KcLog::WARNING, kTagWM,
             QStringLiteral("Request to %1 ignored: another job is still running (state %2)")
                 .arg(QLatin1String(pRequest))
                 .arg(int(m_state)));
    return true;
}

void CWorkManager::clearFoundFiles()
{
    m_foundFiles.clear();
    m_bFoundFilesAnalyzed = false;
    // A running analysis reads the input files; they are emptied when it ends.
    if (m_state != wsAnalyzing)
        m_inputFiles.clear();
}

// ---- requests of the forms

void CWorkManager::setSrcFilesAndFolders(QStringList strList)
{
    // A running walk works on the paths it started with.
    m_slSourcePaths = strList;
}

void CWorkManager::onStartKelmFilesSearching()
{
    logWrite(KcLog::INFO, kTagWM, QStringLiteral("Starting .kelm files search ..."));
    if (refuseWhileBusy("search for .kelm files"))
        return;
    if (m_pFinder) {
        if (m_bFoundFilesAnalyzed)
            clearFoundFiles();
        m_state = wsSearching;
        m_completionStatus = csOk;
        m_pFinder->start();
    }
}

void CWorkManager::onStartKelmFilesAnalyzing()
{
    logWrite(KcLog::INFO, kTagWM, QStringLiteral("Analyzing is about to be started"));
    if (refuseWhileBusy("start analyzing"))
        return;
    if (m_foundFiles.isEmpty()) {
        logWrite(KcLog::INFO, kTagWM,
                 QStringLiteral("Cannot start Analyzing: .kelm files was not found in the locations specified"));
        emit activateAnalyzeErrorsFrm(tr("No .kelm files found"),
                                      tr(".kelm files not found in the locations specified"), KcForms::ufStartFrm);
        return;
    }

    emit prepareAnalyzing();
    if (!startCatching([this] { return startAnalyzer(); }, QStringLiteral("Failed to start .kelm files analyzing"))) {
        m_state = wsIdle;
        emit jobStartFailed(tr("Failed to start .kelm files analyzing. Please, contact support."));
    }
}

void CWorkManager::onClearKelmFilesFound()
{
    clearFoundFiles();
    emit displayKelmFilesCounter(0);
}

void CWorkManager::onStartExport()
{
    logWrite(KcLog::INFO, kTagWM, QStringLiteral("Exporting is about to be started"));
    if (refuseWhileBusy("start export"))
        return;

    if (!startCatching([this] { return startExporter(); }, QStringLiteral("Error while starting export"))) {
        m_state = wsIdle;
        emit jobStartFailed(tr("Failed to start export. Please, contact support."));
    }
}

void CWorkManager::onCancelProcessing()
{
    m_completionStatus = csCancelled;
    switch (m_state) {
    case wsIdle:
        if (m_bQuitRequested)
            quitApplication();
        break;
    case wsSearching:
        emit updateProgressMessage(tr("Searching was cancelled. Stopping..."));
        logWrite(KcLog::INFO, kTagWM,
                 QStringLiteral("User or system requested to cancel .kelm files searching. Sending request to "
                                "working thread..."));
        if (m_pFinder)
            m_pFinder->stop();
        break;
    case wsAnalyzing:
        emit updateProgressMessage(tr("Analyzing was cancelled. Stopping..."));
        logWrite(KcLog::INFO, kTagWM,
                 QStringLiteral("User or system requested to cancel .kelm files analyzing. Sending request to "
                                "working thread ..."));
        m_cancelFlag.store(1);
        break;
    case wsExporting:
        logWrite(KcLog::INFO, kTagWM,
                 QStringLiteral("User or system requested to cancel export. Sending request to working thread ..."));
        emit updateExportProgressMessage(tr("Export was cancelled. Stopping..."));
        m_cancelFlag.store(1);
        break;
    default:
        logWrite(KcLog::WARNING, kTagWM,
                 QStringLiteral("User or system requested to cancel the current working process, but the process is "
                                "unknown."));
        m_cancelFlag.store(1);
        break;
    }
}

void CWorkManager::onRequestToQuit()
{
    m_bQuitRequested = true;
    onCancelProcessing();
}

void CWorkManager::onExportError(ulong ulFragmentID, QString qsError, QString qsFileName, int nCode)
{
    if (nCode == kOutOfDiskSpaceCode)
        logWrite(KcLog::ERROR, kTagEXP,
                 QStringLiteral("ER-%1: Out of disk space. File: %2").arg(nCode).arg(qsFileName));
    else
        logWrite(KcLog::ERROR, kTagEXP, QStringLiteral("ER-%1: %2. File: %3").arg(nCode).arg(qsError, qsFileName));
    if (m_qsFirstExportError.isEmpty())
        m_qsFirstExportError = qsError;
    // The target's message names the file and says the storage is full; the export stops.
    if (nCode == kOutOfDiskSpaceCode && m_qsDiskFullError.isEmpty())
        m_qsDiskFullError = qsError;
    noteDayProblem(ulFragmentID, qsError);
    emit exportError(ulFragmentID, qsError, qsFileName, nCode);
}

void CWorkManager::onExportWarning(ulong ulFragmentID, QString qsWarning, QString qsFileName, int nCode)
{
    logWrite(KcLog::WARNING, kTagEXP, QStringLiteral("WR-%1: %2. File: %3").arg(nCode).arg(qsWarning, qsFileName));
    // A track that could not be set up, say: the day's file lacks it.
    noteDayProblem(ulFragmentID, qsWarning);
    emit fileWarning(ulFragmentID, qsFileName, qsWarning, nCode);
}

void CWorkManager::noteDayProblem(ulong ulFragmentID, const QString& qsProblem)
{
    if (m_state != wsExporting || ulFragmentID == 0)
        return;
    SDayReport& report = m_dayReports[ulFragmentID];
    if (report.qsFirstProblem.isEmpty())
        report.qsFirstProblem = qsProblem;
}

void CWorkManager::onFragmentFileCreated(ulong ulFragmentID)
{
    m_dayReports[ulFragmentID].bCreated = true;
}

void CWorkManager::onFragmentExportFinished(ulong ulFragmentID)
{
    const SDayReport report = m_dayReports.value(ulFragmentID);
    DayOutcome outcome = doCreated;
    QString qsReason = report.qsFirstProblem;
    if (!report.bCreated) {
        outcome = doNotCreated;
        if (qsReason.isEmpty())
            qsReason = tr("no frame could be written (the day holds no key frame)");
    } else if (!qsReason.isEmpty()) {
        outcome = doCreatedWithProblems;
    }
    if (outcome != doCreated)
        logWrite(
            KcLog::WARNING, kTagEXP,
            QStringLiteral("Day %1 %2: %3")
                .arg(ulFragmentID)
                .arg(outcome == doNotCreated ? QStringLiteral("not created") : QStringLiteral("done with problems"),
                     qsReason));
    emit fragmentExportOutcome(ulFragmentID, int(outcome), qsReason);
    emit fragmentExportFinished(ulFragmentID);
}

bool CWorkManager::redetectExportParameters()
{
    if (refuseWhileBusy("detect export parameters")) {
        m_qsLastError = tr("Another job is still running");
        m_qsLastLogError = QStringLiteral("Export parameters not detected: another job is still running");
        return false;
    }
    return runKeepingError([this] { detectExportParameters(m_storage, m_exportedSrids, m_qsExportLocation); },
                           m_qsLastError, m_qsLastLogError);
}

bool CWorkManager::prepareExportBatches(uint32_t* pBatchCount)
{
    if (refuseWhileBusy("prepare export batches")) {
        m_qsLastError = tr("Another job is still running");
        m_qsLastLogError = QStringLiteral("Export batches not prepared: another job is still running");
        return false;
    }
    return runKeepingError(
        [this, pBatchCount] {
            const uint32_t batchCount = KcWorkers::prepareExportBatches(m_storage, m_exportedSrids, m_qsExportLocation);
            if (pBatchCount)
                *pBatchCount = batchCount;
        },
        m_qsLastError, m_qsLastLogError);
}

// ---- search

void CWorkManager::onSomeFilesFound(int nCountTotal, int nCountKelm)
{
    if (nCountKelm < 1)
        emit updateProgressMessage(tr("%1 files processed, no .kelm files Found ").arg(nCountTotal));
    else
        emit updateProgressMessage(tr("%1 files processed, %2 .kelm files Found ").arg(nCountTotal).arg(nCountKelm));
}

void CWorkManager::onPathSkipped(QString qsPath, QString qsReason)
{
    logWrite(KcLog::WARNING, kTagWM, QStringLiteral("skipped: %1: %2").arg(qsPath, qsReason));
    emit pathSkipped(qsPath, qsReason);
}

void CWorkManager::onKelmFilesSearchingStarted()
{
    emit updateProgressMessage(tr("Searching for .kelm files..."));
}

void CWorkManager::onKelmSearchingFinished()
{
    m_state = wsIdle;
    if (m_bQuitRequested)
        quitApplication();

    const int nNewFiles = m_slFoundInThisSearch.size();
    for (const QString& qsPath : qAsConst(m_slFoundInThisSearch))
        m_foundFiles.insert(qsPath);
    emit displayKelmFilesCounter(ulong(m_foundFiles.size()));

    if (m_completionStatus == csCancelled) {
        logWrite(KcLog::INFO, kTagWM,
                 QStringLiteral("Kelm files seacrhing was canceled, %1 new files found (%2 total). All of the search "
                                "results will be rejected.")
                     .arg(nNewFiles)
                     .arg(m_foundFiles.size()));
        emit activateAnalyzeErrorsFrm(tr("Searching was cancelled"), tr(".kelm files searching was cancelled"),
                                      KcForms::ufStartFrm);
        clearFoundFiles();
        emit displayKelmFilesCounter(0);
    } else {
        emit activateStartFrm();
        logWrite(KcLog::INFO, kTagWM,
                 QStringLiteral("Kelm files seacrhing finished OK, %1 new files found (%2 total)")
                     .arg(nNewFiles)
                     .arg(m_foundFiles.size()));
    }

    emit updateProgressMessage(QStringLiteral(" "));
    m_completionStatus = csOk;
}

// ---- analysis

bool CWorkManager::startAnalyzer()
{
    logWrite(KcLog::INFO, kTagWM, QStringLiteral("Prepare for analyzing ..."));
    m_completionStatus = csOk;
    m_state = wsAnalyzing;
    m_cancelFlag.store(0);
    m_blackList.clear();
    m_fileErrors.clear();
    m_fileWarnings.clear();
    m_slUnusableReasons.clear();
    m_ulUnitsPassed = 0;
    std::unique_ptr<QThread> pThread(new QThread);

    if (m_foundFiles.isEmpty())
        return false;

    // Sorted, so that the same files load in the same order from run to run.
    m_inputFiles.clear();
    m_inputFiles.reserve(size_t(m_foundFiles.size()));
    for (const QString& qsPath : qAsConst(m_foundFiles))
        m_inputFiles.push_back(toWString(qsPath));
    std::sort(m_inputFiles.begin(), m_inputFiles.end());
    m_filesRead.assign(m_inputFiles.size(), false);

    std::unique_ptr<CKelmFilesAnalyzer> pAnalyzer(new (std::nothrow) CKelmFilesAnalyzer(
        m_inputFiles, m_storage, m_loadedContent, m_exportedSrids, m_blackList, m_cancelFlag, m_qsExportLocation));
    if (!pAnalyzer) {
        logWriteSpaced(KcLog::ERROR, kTagWM, QStringLiteral("Cannot start analyzing: failed to create Analyzer"));
        return false;
    }

    CKelmFilesAnalyzer* pWorker = pAnalyzer.get();
    bool bConnected = connectWorkerThread(pWorker, pThread.get(), this);
    bConnected &=
        bool(connect(pWorker, &CKelmFilesAnalyzer::progressState, this, &CWorkManager::onKelmAnalyzingProgress));
    bConnected &= bool(connect(pWorker, &CKelmFilesAnalyzer::filesProcessed, this, &CWorkManager::onKelmFilesAnalyzed));
    bConnected &= bool(
        connect(pWorker, &CKelmFilesAnalyzer::detectingExportParams, this, &CWorkManager::onDetectingExportParams));
    bConnected &= bool(connect(pWorker, &CKelmFilesAnalyzer::workDone, this, &CWorkManager::onKelmAnalyzingFinished));
    bConnected &= bool(connect(pWorker, &CKelmFilesAnalyzer::workStarted, this, &CWorkManager::analyzingStarted));
    bConnected &=
        bool(connect(pWorker, &CKelmFilesAnalyzer::sridsFinallyLoaded, this, &CWorkManager::onSridsFilesFinallyLoaded));
    if (!bConnected) {
        logWriteSpaced(KcLog::ERROR, kTagWM,
                       QStringLiteral("Cannot start analyzing: failed to make core object connections"));
        return false; // the worker and the thread go with their owners here
    }

    logWrite(KcLog::INFO, kTagWM, QStringLiteral("Starting analyzer in a new thread ..."));
    pAnalyzer.release(); // deletes itself after workDone()
    m_pWorkerThread = pThread.release();
    m_pWorkerThread->start(QThread::InheritPriority);
    m_state = wsAnalyzing;
    return true;
}

void CWorkManager::onKelmAnalyzingProgress(int percent, double)
{
    emit updateProgressBar(percent);
}

void CWorkManager::onKelmFilesAnalyzed(ulong ulFilesAnalyzed, ulong ulFilesTotal)
{
    // Reported after the file of input index ulFilesAnalyzed - 1.
    if (ulFilesAnalyzed > 0 && ulFilesAnalyzed <= m_filesRead.size())
        m_filesRead[ulFilesAnalyzed - 1] = true;
    emit updateProgressMessage(tr("Analyzing .kelm files. %1 of %2 done").arg(ulFilesAnalyzed).arg(ulFilesTotal));
}

void CWorkManager::onSridsFilesFinallyLoaded(ulong ulUnitsPassed)
{
    m_ulUnitsPassed = ulUnitsPassed;
}

void CWorkManager::onDetectingExportParams()
{
    emit updateProgressMessage(tr("Detecting export parameters..."));
    emit updateProgressBar(100);
    logWrite(KcLog::INFO, kTagWM, QStringLiteral("Detecting export parameters ..."));
}

void CWorkManager::onCompletionError(QString qsError, QString qsLogError, ulong ulUnitsPassed)
{
    m_ulUnitsPassed = ulUnitsPassed;
    m_completionStatus = csError;
    m_qsLastError = qsError;
    m_qsLastLogError = qsLogError;
    logWrite(KcLog::ERROR, kTagWM, QStringLiteral("Completes with error: %1").arg(qsLogError));
}

void CWorkManager::settleBlackList()
{
    KELMNameSpace::BlackList blackList;
    m_slUnusableReasons.clear();
    for (const uint32_t index : m_blackList) {
        if (index >= m_inputFiles.size()) {
            blackList.push_back(index); // reported when the names are taken
            continue;
        }
        const QString qsPath = toQString(m_inputFiles[index]);
        const bool bRead = (index < m_filesRead.size() && m_filesRead[index]) || m_fileErrors.contains(qsPath);
        if (m_completionStatus == csCancelled && !bRead)
            continue;
        blackList.push_back(index);
        QString qsReason = m_fileErrors.value(qsPath);
        if (qsReason.isEmpty())
            qsReason = m_fileWarnings.value(qsPath).value(0);
        if (qsReason.isEmpty())
            qsReason = tr("No video or audio that can be converted");
        m_slUnusableReasons.append(qsReason);
    }
    m_blackList = std::move(blackList);
}

void CWorkManager::onKelmAnalyzingFinished()
{
    m_state = wsIdle;
    if (m_bQuitRequested)
        quitApplication();
    settleBlackList();

    if (m_ulUnitsPassed > 0 && m_blackList.empty()) {
        if (m_completionStatus == csError) {
            emit activateAnalyzeErrorsFrm(
                tr("Analyzing failed."),
                tr("A breaking error occured: %1. Please, contact support.").arg(m_qsLastError),
                KcForms::ufVideosFoundFrm);
            emit updateProgressMessage(QStringLiteral(" "));
            logWrite(KcLog::ERROR, kTagWM,
                     QStringLiteral(".kelm files analyzing finished with an error: %1").arg(m_qsLastLogError));
        } else {
            logWrite(KcLog::INFO, kTagWM, QStringLiteral(".kelm files analyzing finished OK"));
            emit updateProgressMessage(tr("Preparing data for visualization..."));
            emit activateVideosFoundFrm();
        }
    } else if (m_ulUnitsPassed > 0) {
        QStringList slNames;
        for (const uint32_t index : m_blackList) {
            if (index >= m_inputFiles.size()) {
                logWrite(KcLog::ERROR, kTagWM,
                         QStringLiteral("Internal error: black list filename index is out of range"));
                continue;
            }
            slNames.append(QFileInfo(toQString(m_inputFiles[index])).fileName());
        }
        // A cancelled analysis says so: the files it did not get to are not unusable, only unread.
        emit activateAnalyzeErrorsFrm(m_completionStatus == csCancelled ? tr("Analyzing was cancelled")
                                                                        : tr("These files will not be converted"),
                                      slNames, KcForms::ufVideosFoundFrm);
        logWrite(
            KcLog::INFO, kTagWM,
            QStringLiteral(".kelm files analyzing finished OK, but there are %1 unused files").arg(m_blackList.size()));
    } else {
        switch (m_completionStatus) {
        case csOk:
            emit activateAnalyzeErrorsFrm(tr("Analyzing failed."),
                                          tr("All of the .kelm files analyzed seems to be invalid and could not be "
                                             "converted. Please, contact support."),
                                          KcForms::ufStartFrm);
            logWrite(KcLog::INFO, kTagWM, QStringLiteral(".kelm files analyzing finished with no intervals loaded."));
            break;
        case csCancelled:
            emit activateAnalyzeErrorsFrm(tr("Analyzing was cancelled"),
                                          tr(".kelm files analyzing was cancelled. No intervals loaded."),
                                          KcForms::ufStartFrm);
            logWrite(KcLog::INFO, kTagWM, QStringLiteral(".kelm files analyzing was cancelled. No intervals loaded."));
            break;
        case csError:
            emit activateAnalyzeErrorsFrm(
                tr("Analyzing failed."),
                tr("A breaking error occured: %1. Please, contact support.").arg(m_qsLastError), KcForms::ufStartFrm);
            logWrite(KcLog::ERROR, kTagWM,
                     QStringLiteral(".kelm files analyzing finished with an error: %1").arg(m_qsLastLogError));
            break;
        default:
            emit activateAnalyzeErrorsFrm(tr("Analyzing failed."),
                                          tr("All of the .kelm files analyzed seems to be invalid and could not be "
                                             "converted. Please, contact support."),
                                          KcForms::ufStartFrm);
            logWrite(KcLog::ERROR, kTagWM,
                     QStringLiteral(".kelm files analyzing finished with an unknown complete code"));
            break;
        }
    }

    m_completionStatus = csOk;
    emit updateProgressMessage(QStringLiteral(" "));
    // The files stay for another analysis; the results stay for the following forms and the export.
    m_bFoundFilesAnalyzed = true;
    emit displayKelmFilesCounter(ulong(m_foundFiles.size()));
}

// ---- export

void CWorkManager::stopCreatingFiles()
{
    KELMNameSpace::StopCreatingTargets();
}

bool CWorkManager::startExporter()
{
    emit prepareExporting();
    logWrite(KcLog::INFO, kTagWM, QStringLiteral("Preparing data for export ..."));
    m_dayReports.clear();
    m_completionStatus = csOk;
    m_state = wsAnalyzing;
    m_cancelFlag.store(0);
    std::unique_ptr<QThread> pThread(new QThread);

    std::unique_ptr<CKelmFilesExporter> pExporter(
        new (std::nothrow) CKelmFilesExporter(m_storage, m_exportedSrids, m_cancelFlag, m_qsExportLocation));
    if (!pExporter) {
        logWriteSpaced(KcLog::ERROR, kTagWM, QStringLiteral("Cannot start export: failed to create exporter"));
        return false;
    }

    CKelmFilesExporter* pWorker = pExporter.get();
    bool bConnected = connectWorkerThread(pWorker, pThread.get(), this);
    bConnected &= bool(connect(pWorker, &CKelmFilesExporter::workDone, this, &CWorkManager::onExportDone));
    bConnected &= bool(connect(pWorker, &CKelmFilesExporter::workStarted, this, &CWorkManager::exportingStarted));
    m_qsFirstExportError.clear();
    m_qsDiskFullError.clear();
    m_ulExportedCount = 0;
    bConnected &=
        bool(connect(pWorker, &CKelmFilesExporter::exportResults, this, [this](ulong ulNumExported, ulong ulNumTotal) {
            m_ulExportedCount = ulNumExported;
            emit exportResults(ulNumExported, ulNumTotal);
        }));
    bConnected &=
        bool(connect(pWorker, &CKelmFilesExporter::exportProgressState, this, &CWorkManager::onExportingProgress));
    bConnected &=
        bool(connect(pWorker, &CKelmFilesExporter::fragmentExportStarted, this, &CWorkManager::fragmentExportStarted));
    bConnected &= bool(
        connect(pWorker, &CKelmFilesExporter::fragmentExportFinished, this, &CWorkManager::onFragmentExportFinished));
    bConnected &=
        bool(connect(pWorker, &CKelmFilesExporter::fragmentFileCreated, this, &CWorkManager::onFragmentFileCreated));
    bConnected &= bool(connect(pWorker, &CKelmFilesExporter::exportError, this, &CWorkManager::onExportError));
    bConnected &= bool(connect(pWorker, &CKelmFilesExporter::exportWarning, this, &CWorkManager::onExportWarning));
    if (!bConnected) {
        logWriteSpaced(KcLog::ERROR, kTagWM,
                       QStringLiteral("Cannot start export: failed to make core object connections"));
        return false; // the worker and the thread go with their owners here
    }

    logWrite(KcLog::INFO, kTagWM, QStringLiteral("Starting exporter in a new thread ..."));
    pExporter.release(); // deletes itself after workDone()
    m_pWorkerThread = pThread.release();
    m_pWorkerThread->start(QThread::InheritPriority);
    m_state = wsExporting;
    return true;
}

void CWorkManager::onExportingProgress(int nPercent, ulong ulFragmentID, ulong ulFragmentPercent,
                                       ulong ulFragmentsTotal, double fEstimatedTime)
{
    if (m_completionStatus != csCancelled)
        emit exportingProgress(nPercent, ulFragmentID, ulFragmentPercent, ulFragmentsTotal, fEstimatedTime);
}

void CWorkManager::onExportDone()
{
    m_state = wsIdle;
    if (m_bQuitRequested)
        quitApplication();

    if (m_completionStatus == csCancelled && !m_qsDiskFullError.isEmpty()) {
        // Stopped because the disk is full, not by the user: the page says why.
        emit activateVideosConvertedFrm(m_qsDiskFullError);
        logWrite(KcLog::ERROR, kTagWM, QStringLiteral("Export stopped: %1").arg(m_qsDiskFullError));
    } else if (m_completionStatus == csCancelled) {
        emit activateAnalyzeErrorsFrm(tr("Export was cancelled"), tr("Creating selected videofiles was cancelled."),
                                      KcForms::ufVideosFoundFrm);
        logWrite(KcLog::INFO, kTagWM, QStringLiteral("Export was cancelled"));
    } else if (m_completionStatus == csError) {
        emit activateVideosConvertedFrm(tr("Creating videofiles failed. Please, contact support."));
        logWrite(KcLog::ERROR, kTagWM, QStringLiteral("Export finished with an error: %1").arg(m_qsLastLogError));
    } else if (m_ulExportedCount == 0 && !m_qsFirstExportError.isEmpty()) {
        // Every target failed: the first one's reason is the page's.
        emit activateVideosConvertedFrm(m_qsFirstExportError);
        logWrite(KcLog::ERROR, kTagWM, QStringLiteral("Export created no file: %1").arg(m_qsFirstExportError));
    } else {
        emit activateVideosConvertedFrm();
        logWrite(KcLog::INFO, kTagWM, QStringLiteral("Export finished OK"));
    }

    m_completionStatus = csOk;
    emit updateProgressMessage(QStringLiteral(" "));
}

// ---- reports of single files

void CWorkManager::onFileError(ulong ulContext, QString qsFileName, QString qsError, int nCode)
{
    logWrite(KcLog::ERROR, kTagANR, QStringLiteral("ER-%1: %2. file: %3").arg(nCode).arg(qsError, qsFileName));
    // During an export the context is the day; what the analysis already said of the file (a cut
    // last record, say) was taken into account when the day was cut, so it is no new problem.
    if (m_state == wsExporting && !m_fileWarnings.value(qsFileName).contains(qsError))
        noteDayProblem(ulContext, qsError + QStringLiteral(" (") + qsFileName + QLatin1Char(')'));
    if (m_state == wsAnalyzing && !m_fileErrors.contains(qsFileName))
        m_fileErrors.insert(qsFileName, qsError);
    emit fileError(ulContext, qsFileName, qsError, nCode);
}

void CWorkManager::onFileWarning(ulong ulContext, QString qsFileName, QString qsWarning, int nCode)
{
    logWrite(KcLog::WARNING, kTagANR, QStringLiteral("WR-%1: %2. File: %3").arg(nCode).arg(qsWarning, qsFileName));
    if (m_state == wsAnalyzing)
        m_fileWarnings[qsFileName].append(qsWarning);
    emit fileWarning(ulContext, qsFileName, qsWarning, nCode);
}

} // namespace KcWorkers
