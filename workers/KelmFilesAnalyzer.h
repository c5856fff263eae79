#pragma once

#include "workers/ExportEntry.h"
#include "workers/KcWorker.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace KcWorkers {

class CKelmFilesAnalyzer;

// Turns the engine's load reports into the analyzer's signals (on the analyzer thread) and
// answers "stop" once a cancel is requested.
class CAnalyzerEventsSync : public KELMNameSpace::CKELMStorage::IContentLoadEventSync {
public:
    explicit CAnalyzerEventsSync(CKelmFilesAnalyzer& analyzer)
        : m_analyzer(analyzer)
    {
    }

    bool OnLoadStart() override;
    bool OnLoadEnd() override;
    bool OnLoadProgress(uint64_t filePosition, uint64_t bytesDone, float filePercent, float totalPercent,
                        const KELMNameSpace::SRemainingTime& remaining) override;
    bool OnFileStart(const std::wstring& path, uint32_t inputIndex, uint64_t entrySize) override;
    bool OnFileDone(const std::wstring& path, uint32_t inputIndex) override;
    bool OnFileError(const std::wstring& path, uint32_t inputIndex, const UtilsNameSpace::SErrorInfo& error) override;
    bool OnFileWarning(const std::wstring& path, uint32_t inputIndex,
                       const UtilsNameSpace::SErrorInfo& warning) override;
    bool OnFileSized(const std::wstring& path, uint32_t inputIndex, uint64_t size) override;
    bool OnSizingStart() override;
    bool OnSizingEnd(uint32_t filesSized, uint64_t totalSize) override;

private:
    bool goOn() const;

    CKelmFilesAnalyzer& m_analyzer;
    CProgressGate m_progressGate;
};

// Loads the found files into the engine, copies the content model and the black list into the
// work manager and cuts every camera's recording into export entries per local day.
class CKelmFilesAnalyzer : public CKcWorker {
    Q_OBJECT

public:
    CKelmFilesAnalyzer(const std::vector<std::wstring>& inputFiles, KELMNameSpace::CKELMExport& storage,
                       KELMNameSpace::SridMap& loadedContent, ExportedSrids& exportedSrids,
                       KELMNameSpace::BlackList& blackList, CancelFlag& cancelFlag, const QString& qsExportLocation,
                       QObject* pParent = nullptr);
    ~CKelmFilesAnalyzer() override;

signals:
    void detectingExportParams();
    void sridsFinallyLoaded(ulong ulUnitsPassed);

protected:
    void process() override;

private:
    friend class CAnalyzerEventsSync;

    void uninstallEventsSync();

    CAnalyzerEventsSync m_eventsSync;
    uint32_t m_totalFiles;
    const std::vector<std::wstring>& m_inputFiles;
    KELMNameSpace::SridMap& m_loadedContent;
    KELMNameSpace::BlackList& m_blackList;
    // A copy: the manager's location may change while the job runs.
    const QString m_qsExportLocation;
    bool m_bEventsSyncInstalled = false;
};

// Cuts the video span of every camera's recordings into local calendar days of the selected time
// zone and fills exportedSrids with one enabled entry per camera and day. Recordings without
// video are left out. Runs on the analyzer thread after a load and on the GUI thread when the
// user picks another time zone; throws KcMain::KcException on failure, leaving exportedSrids empty.
// Video dated before 1970 or after 2106 (a reset or broken camera clock) is left out; each
// recording that had such video is told to onTimeWarning once, with its first such file and a
// sentence naming the camera and all those files.
using TimeWarningSink = std::function<void(const QString& qsFile, const QString& qsWarning)>;
void detectExportParameters(KELMNameSpace::CKELMExport& storage, ExportedSrids& exportedSrids,
                            const QString& qsExportLocation, const TimeWarningSink& onTimeWarning = {});

} // namespace KcWorkers
