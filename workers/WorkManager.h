#pragma once

#include "workers/ExportEntry.h"
#include "workers/KcWorker.h"
#include "workers/UserDlgForm.h"

#include <QHash>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <utility>
#include <vector>

class QThread;

namespace KcWorkers {

class CKelmFilesFinder;

// Runs one job at a time for the user interface — searching for container files, analyzing them,
// exporting the chosen days — and owns everything the jobs share. Lives on the GUI thread; every
// request arrives through a public slot or method and every outcome leaves through a signal, so a
// front end without windows can drive it under a QCoreApplication event loop.
class CWorkManager : public QObject {
    Q_OBJECT

public:
    enum WorkState : int {
        wsIdle = 0,
        wsSearching = 1,
        wsAnalyzing = 2,
        wsExporting = 3,
    };

    enum CompletionStatus : int {
        csOk = 0,
        csCancelled = 1,
        csError = 2,
    };

    // What became of one day of an export.
    enum DayOutcome : int {
        doCreated = 0,
        doCreatedWithProblems = 1, // a file was written, but something of the day may be missing
        doNotCreated = 2,
    };

    // qsExportLocation: the default folder of the export (the desktop); "/" is appended if missing.
    explicit CWorkManager(const QString& qsExportLocation, QObject* pParent = nullptr);
    // Cancels a running job and waits for its thread, since the job works on this object's data.
    ~CWorkManager() override;

    // False when the finder could not be created or connected.
    bool isInitialized() const { return m_bInitialized; }
    WorkState state() const { return m_state; }
    CompletionStatus completionStatus() const { return m_completionStatus; }
    const QString& lastError() const { return m_qsLastError; }
    const QString& lastLogError() const { return m_qsLastLogError; }
    ulong unitsPassed() const { return m_ulUnitsPassed; }
    bool isQuitRequested() const { return m_bQuitRequested; }

    const QStringList& sourcePaths() const { return m_slSourcePaths; }
    const QSet<QString>& foundFiles() const { return m_foundFiles; }
    const std::vector<std::wstring>& inputFiles() const { return m_inputFiles; }
    const KELMNameSpace::BlackList& blackList() const { return m_blackList; }
    // Why each file of the last list of unusable files gave nothing, in the order of its names:
    // the first error the analysis reported for it, else its first warning.
    const QStringList& unusableFileReasons() const { return m_slUnusableReasons; }

    // The analysis results; read them only while no job runs.
    const KELMNameSpace::CKELMExport& storage() const { return m_storage; }
    const KELMNameSpace::SridMap& loadedContent() const { return m_loadedContent; }
    const ExportedSrids& exportedSrids() const { return m_exportedSrids; }
    // The command line picks its days in the entries themselves; the forms use setExportEnabled().
    ExportedSrids& exportedSrids() { return m_exportedSrids; }
    // Takes a day in or out of the export; false for a key no entry has.
    bool setExportEnabled(const QString& qsExportKey, bool bEnabled);
    // The clock the jobs read their time from.
    void setClock(KELMNameSpace::ClockFunction clock) { m_storage.SetClock(std::move(clock)); }

    // Always ends with "/"; the jobs take a copy when they start.
    const QString& exportLocation() const { return m_qsExportLocation; }
    void setExportLocation(const QString& qsExportLocation);

    // Rebuilds the export entries in the currently selected time zone (after the user picked
    // another one). False, with the texts in lastError()/lastLogError(), on failure or while a
    // job runs.
    bool redetectExportParameters();
    // Prepares one batch per enabled export entry (see prepareExportBatches()). False, with the
    // texts in lastError()/lastLogError(), on failure or while a job runs.
    bool prepareExportBatches(uint32_t* pBatchCount = nullptr);

    // What "quit the application" does; by default QCoreApplication::quit(). An empty handler
    // restores the default.
    void setQuitHandler(std::function<void()> quitHandler);
    // Whether the search lingers after its final count so that the start form can show it (on by
    // default); front ends without that form turn it off.
    void setSearchFinalPause(bool bPause);
    // For a process that ends at once, export or not: no export creates a file after this
    // returns, so the partial files there are then are all there will be to remove.
    static void stopCreatingFiles();

signals:
    void activateStartFrm();
    void activateVideosFoundFrm();
    void activateVideosConvertedFrm();
    void activateVideosConvertedFrm(QString qsErrText);
    void activateAnalyzeErrorsFrm(QString qsErrorTitle, QString qsErrorsDetails, KcForms::KcUserDlgForm ufNextForm);
    void activateAnalyzeErrorsFrm(QString qsErrorTitle, QStringList qsBlackList, KcForms::KcUserDlgForm ufNextForm);
    void displayKelmFilesCounter(ulong ulNumKelmFilesTotal);
    void prepareAnalyzing();
    void analyzingStarted();
    void updateProgressMessage(QString qsMessage);
    void updateProgressBar(int nValue);
    void prepareExporting();
    void exportingStarted();
    void exportingProgress(int nPercent, ulong ulFragmentID, ulong ulFragmentPercent, ulong ulFragmentsTotal,
                           double fEstimatedTime);
    void updateExportProgressMessage(QString qsMessage);
    void exportResults(ulong ulNumExported, ulong ulNumTotal);
    void fragmentExportStarted(ulong ulFragmentID);
    void fragmentExportFinished(ulong ulFragmentID);
    // Right before fragmentExportFinished: the day's outcome and, unless it was created cleanly,
    // the first reason (an export error, a file's error or a warning the analysis did not give).
    void fragmentExportOutcome(ulong ulFragmentID, int nOutcome, QString qsReason);
    void exportError(ulong ulFragmentID, QString qsError, QString qsFileName, int nCode);
    void fileError(ulong ulContext, QString qsFileName, QString qsError, int nCode);
    // An analysis or export could not be started; the text is for a critical message box.
    void jobStartFailed(QString qsMessage);
    // A file's warning after its log entry; the forms do not show warnings, a command line does.
    void fileWarning(ulong ulContext, QString qsFileName, QString qsWarning, int nCode);
    // A found file or folder the search had to leave out, after its log entry.
    void pathSkipped(QString qsPath, QString qsReason);

public slots:
    void setSrcFilesAndFolders(QStringList strList);
    void onStartKelmFilesSearching();
    void onStartKelmFilesAnalyzing();
    void onClearKelmFilesFound();
    void onStartExport();
    void onCancelProcessing();
    void onRequestToQuit();
    void onExportError(ulong ulFragmentID, QString qsError, QString qsFileName, int nCode);
    void onExportWarning(ulong ulFragmentID, QString qsWarning, QString qsFileName, int nCode);

private slots:
    void onSomeFilesFound(int nCountTotal, int nCountKelm);
    void onPathSkipped(QString qsPath, QString qsReason);
    void onKelmFilesSearchingStarted();
    void onKelmSearchingFinished();
    void onKelmAnalyzingProgress(int percent, double fEstimatedTime);
    void onExportingProgress(int nPercent, ulong ulFragmentID, ulong ulFragmentPercent, ulong ulFragmentsTotal,
                             double fEstimatedTime);
    void onKelmFilesAnalyzed(ulong ulFilesAnalyzed, ulong ulFilesTotal);
    void onSridsFilesFinallyLoaded(ulong ulUnitsPassed);
    void onDetectingExportParams();
    void onCompletionError(QString qsError, QString qsLogError, ulong ulUnitsPassed);
    void onKelmAnalyzingFinished();
    void onExportDone();
    void onFragmentFileCreated(ulong ulFragmentID);
    void onFragmentExportFinished(ulong ulFragmentID);
    void onFileError(ulong ulContext, QString qsFileName, QString qsError, int nCode);
    void onFileWarning(ulong ulContext, QString qsFileName, QString qsWarning, int nCode);

private:
    template <class TReceiver>
    friend bool connectWorkerThread(CKcWorker* pWorker, QThread* pThread, TReceiver* pReceiver);

    bool startAnalyzer();
    bool startExporter();
    // True (after a warning in the log) when a job runs and the request must wait.
    bool refuseWhileBusy(const char* pRequest);
    void clearFoundFiles();
    // Keeps the first problem of a day of the running export.
    void noteDayProblem(ulong ulFragmentID, const QString& qsProblem);
    // The black list without the files a cancelled analysis never read, and the reason of each.
    void settleBlackList();
    void quitApplication();

    bool m_bInitialized = true;
    WorkState m_state = wsIdle;
    QPointer<CKelmFilesFinder> m_pFinder;
    CompletionStatus m_completionStatus = csOk;
    QString m_qsLastError;
    QString m_qsLastLogError;
    // What the results page of an export says when no file came of it or the disk filled up.
    QString m_qsFirstExportError;
    QString m_qsDiskFullError;
    ulong m_ulExportedCount = 0;
    ulong m_ulUnitsPassed = 0;
    CancelFlag m_cancelFlag{0};
    bool m_bQuitRequested = false;
    // The found files went through an analysis: they stay for another one (CANCEL, then
    // CONTINUE) until RESTART, and the next search starts a new set.
    bool m_bFoundFilesAnalyzed = false;
    QStringList m_slSourcePaths;
    QStringList m_slFoundInThisSearch;
    std::vector<std::wstring> m_inputFiles;
    QSet<QString> m_foundFiles;
    KELMNameSpace::BlackList m_blackList;
    // What the analysis reported of single files, by path (the first error, every warning), and
    // which input files it got through. An export does not count those warnings again.
    QHash<QString, QString> m_fileErrors;
    QHash<QString, QStringList> m_fileWarnings;
    std::vector<bool> m_filesRead;
    QStringList m_slUnusableReasons;
    KELMNameSpace::CKELMExport m_storage;
    KELMNameSpace::SridMap m_loadedContent;
    QString m_qsExportLocation;
    ExportedSrids m_exportedSrids;

    struct SDayReport {
        bool bCreated = false;
        QString qsFirstProblem;
    };
    QMap<ulong, SDayReport> m_dayReports; // of the running export, by batch

    QPointer<QThread> m_pWorkerThread; // the thread of the running analysis or export
    std::function<void()> m_quitHandler;
};

} // namespace KcWorkers
