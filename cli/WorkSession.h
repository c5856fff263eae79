#pragma once

#include "workers/WorkManager.h"

#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QEventLoop;

namespace KcCli {

// One report of a single file, as the work manager passes it on.
struct SFileReport {
    ulong ulContext = 0; // 0 during the analysis, the batch id during the export
    QString qsFile;
    int nCode = 0;
    QString qsMessage;
};

// One error of the export run.
struct SExportErrorReport {
    ulong ulBatch = 0;
    int nCode = 0;
    QString qsMessage;
    QString qsFile; // the target file, empty when none was open
};

enum class EJobOutcome {
    Ok,
    Failed,
    Cancelled,
};

// Drives a work manager the way the desktop forms do — the start form's search, the analyzing
// forms, the videos-found form's export — and waits in a local event loop for the manager's
// signals that would switch the forms. Everything runs through the manager's slots and methods;
// this class only listens, keeps what the forms would show and writes the forms' log entries.
class CWorkSession : public QObject {
    Q_OBJECT

public:
    explicit CWorkSession(const QString& qsExportLocation, QObject* pParent = nullptr);
    ~CWorkSession() override;

    KcWorkers::CWorkManager& manager() { return *m_pManager; }
    bool isInitialized() const { return m_pManager->isInitialized(); }

    // The start form: hand over the paths and search them. Ok also when nothing was found.
    EJobOutcome search(const QStringList& slPaths);
    // CONTINUE on the start form (and on the error form that lists unusable files). Ok when the
    // analysis produced days to export, whether or not some files were black-listed.
    EJobOutcome analyze();
    // The videos-found form lays out its panes: one batch per enabled day. False with
    // failureText() on failure.
    bool prepareBatches(uint32_t& batchCount);
    // CREATE VIDEO. Ok when the run went through all batches (single days may still have failed:
    // see exportErrors()). A full disk stops the run as the form does; that ends Failed.
    EJobOutcome exportBatches();

    // The cancel buttons; also the answer to Ctrl-C. A cancel while no job runs keeps the next
    // job from starting.
    void requestCancel();
    bool isCancelRequested() const { return m_bCancelRequested; }

    int foundCount() const { return m_nFoundCount; }
    // Full paths of the files that gave nothing usable, in black-list order.
    const QStringList& blackListPaths() const { return m_slBlackListPaths; }
    const std::vector<SFileReport>& fileErrors() const { return m_fileErrors; }
    const std::vector<SFileReport>& fileWarnings() const { return m_fileWarnings; }
    const std::vector<SFileReport>& exportFileErrors() const { return m_exportFileErrors; }
    const std::vector<SExportErrorReport>& exportErrors() const { return m_exportErrors; }
    bool hasExportResults() const { return m_bHaveExportResults; }
    ulong exportedCount() const { return m_ulExported; }
    ulong exportTotal() const { return m_ulExportTotal; }
    const QSet<ulong>& startedBatches() const { return m_startedBatches; }
    const QSet<ulong>& finishedBatches() const { return m_finishedBatches; }
    // What became of each finished day (CWorkManager::DayOutcome) and why, unless it was created cleanly.
    struct SDayOutcome {
        int nOutcome = 0;
        QString qsReason;
    };
    const QMap<ulong, SDayOutcome>& dayOutcomes() const { return m_dayOutcomes; }
    // What the user would have read in the form's error text or message box.
    const QString& failureText() const { return m_qsFailure; }

private slots:
    void onActivateStartFrm();
    void onActivateVideosFoundFrm();
    void onVideosConverted();
    void onVideosConvertedWithError(QString qsErrText);
    void onAnalyzeErrorsText(QString qsTitle, QString qsText, KcForms::KcUserDlgForm ufNextForm);
    void onAnalyzeErrorsList(QString qsTitle, QStringList slNames, KcForms::KcUserDlgForm ufNextForm);
    void onJobStartFailed(QString qsMessage);
    void onFileError(ulong ulContext, QString qsFileName, QString qsError, int nCode);
    void onFileWarning(ulong ulContext, QString qsFileName, QString qsWarning, int nCode);
    void onExportError(ulong ulFragmentID, QString qsError, QString qsFileName, int nCode);
    void onExportingStarted();
    void onExportResults(ulong ulNumExported, ulong ulNumTotal);
    void onFragmentStarted(ulong ulFragmentID);
    void onFragmentFinished(ulong ulFragmentID);

private:
    enum class EPhase {
        Idle,
        Searching,
        Analyzing,
        Exporting,
    };

    void begin(EPhase phase);
    EJobOutcome waitForEnd();
    void end(EJobOutcome outcome);
    void takeBlackList();

    std::unique_ptr<KcWorkers::CWorkManager> m_pManager;
    EPhase m_phase = EPhase::Idle;
    bool m_bEnded = true;
    EJobOutcome m_outcome = EJobOutcome::Ok;
    QEventLoop* m_pLoop = nullptr;
    bool m_bCancelRequested = false;
    bool m_bStoppedForDiskSpace = false;

    int m_nFoundCount = 0;
    QStringList m_slBlackListPaths;
    std::vector<SFileReport> m_fileErrors;
    std::vector<SFileReport> m_fileWarnings;
    std::vector<SFileReport> m_exportFileErrors;
    std::vector<SExportErrorReport> m_exportErrors;
    bool m_bHaveExportResults = false;
    ulong m_ulExported = 0;
    ulong m_ulExportTotal = 0;
    QSet<ulong> m_startedBatches;
    QSet<ulong> m_finishedBatches;
    QMap<ulong, SDayOutcome> m_dayOutcomes;
    QString m_qsFailure;
};

} // namespace KcCli
