#pragma once

#include "workers/ExportEntry.h"
#include "workers/KcWorker.h"

#include <QString>

#include <string>

namespace KcWorkers {

class CKelmFilesExporter;

// Turns the export run's reports into the exporter's signals (on the exporter thread) and
// answers "stop" once a cancel is requested.
class CExportEventsSync : public KELMNameSpace::CKELMExport::IExportEventSync {
public:
    explicit CExportEventsSync(CKelmFilesExporter& exporter)
        : m_exporter(exporter)
    {
    }

    bool OnExportStart() override;
    bool OnExportEnd() override;
    bool OnError(const UtilsNameSpace::SErrorInfo& error) override;
    bool OnExportProgress(uint64_t fileBytesRead, float filePercent, uint32_t batchId, uint64_t batchBytesDone,
                          float batchPercent, const std::wstring& targetFileName, uint64_t targetSize,
                          float targetPercent, uint64_t totalBytesDone, float totalPercent,
                          const KELMNameSpace::SRemainingTime& remaining) override;
    bool OnWarning(const UtilsNameSpace::SErrorInfo& warning) override;
    bool OnBatchStart(uint32_t batchId) override;
    bool OnBatchEnd() override;
    bool OnFileStart(const std::wstring& path, uint32_t inputIndex, uint64_t fileSize) override;
    bool OnFileDone(const std::wstring& path, uint32_t inputIndex) override;
    bool OnFileError(const std::wstring& path, uint32_t inputIndex, const UtilsNameSpace::SErrorInfo& error) override;
    bool OnFileWarning(const std::wstring& path, uint32_t inputIndex,
                       const UtilsNameSpace::SErrorInfo& warning) override;
    bool OnTargetStart(const std::wstring& targetPath) override;
    bool OnTargetEnd(const std::wstring& targetFileName) override;

private:
    bool goOn() const;

    CKelmFilesExporter& m_exporter;
    uint32_t m_filesCreated = 0;
    uint32_t m_currentBatchId = 0;
    std::wstring m_currentTargetPath;
    std::wstring m_currentInputPath; // the file being read, named by warnings that come before a target
    CProgressGate m_progressGate;
};

// Runs the export of the prepared batches on its own thread.
class CKelmFilesExporter : public CKcWorker {
    Q_OBJECT

public:
    CKelmFilesExporter(KELMNameSpace::CKELMExport& storage, ExportedSrids& exportedSrids, CancelFlag& cancelFlag,
                       const QString& qsExportLocation, QObject* pParent = nullptr);
    ~CKelmFilesExporter() override;

signals:
    void preparingExport();
    void exportResults(ulong ulNumExported, ulong ulNumTotal);
    void fragmentExportStarted(ulong ulFragmentID);
    void fragmentExportFinished(ulong ulFragmentID);
    void exportProgressState(int nPercent, ulong ulFragmentID, ulong ulFragmentPercent, ulong ulFragmentsFTotal,
                             double fEstimatedTime);
    void exportError(ulong ulFragmentID, QString qsError, QString qsFileName, int nCode);
    void exportWarning(ulong ulFragmentID, QString qsWarning, QString qsFileName, int nCode);
    // A day's MP4 file was closed without error under its final name.
    void fragmentFileCreated(ulong ulFragmentID);

protected:
    void process() override;

private:
    friend class CExportEventsSync;

    void uninstallEventsSync();

    CExportEventsSync m_eventsSync;
    // A copy: the manager's location may change while the job runs.
    const QString m_qsExportLocation;
    bool m_bEventsSyncInstalled = false;
};

// The folder that receives the MP4 files of one camera: <location>Converted/<Srid>/Camera<N>/.
QString cameraTargetFolder(const QString& qsExportLocation, const SExportEntry& entry);

// Prepares one export batch in the storage per enabled entry, each aimed at its camera folder,
// and renews the entries' batch ids (0 for an entry whose day came out empty). Returns the last
// batch id, which is the total the export reports against. Runs on the GUI thread while no export
// runs; throws KcMain::KcException on failure, leaving no batch prepared.
uint32_t prepareExportBatches(KELMNameSpace::CKELMExport& storage, ExportedSrids& exportedSrids,
                              const QString& qsExportLocation);

// The number of batches the last preparation made.
uint32_t preparedBatchCount();

} // namespace KcWorkers
