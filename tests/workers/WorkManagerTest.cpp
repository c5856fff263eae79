// The work manager driven as a front end drives it: searches, analyses and exports with their
// signals, cancellation in every state, quitting, and the log entries of single-file reports.

#include "WorkersTestSupport.h"

#include "core/Log.h"
#include "workers/WorkManager.h"

#include <QFile>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

#include <atomic>

using KcForms::KcUserDlgForm;
using KcWorkers::CWorkManager;
using namespace KcWorkersTest;

namespace {

const auto kErrorsFrmText = qOverload<QString, QString, KcUserDlgForm>(&CWorkManager::activateAnalyzeErrorsFrm);
const auto kErrorsFrmList = qOverload<QString, QStringList, KcUserDlgForm>(&CWorkManager::activateAnalyzeErrorsFrm);
const auto kConvertedFrm = qOverload<>(&CWorkManager::activateVideosConvertedFrm);
const auto kConvertedFrmError = qOverload<QString>(&CWorkManager::activateVideosConvertedFrm);

QStringList Strings(const QSignalSpy& spy, int argument = 0)
{
    QStringList slValues;
    for (const auto& arguments : spy)
        slValues << arguments.at(argument).toString();
    return slValues;
}

// Holds the engine's clock, and with it the job, at its first reading once armed; the job has
// then reported its start and not yet looked at the cancel flag again.
class CClockGate {
public:
    KELMNameSpace::ClockFunction Clock()
    {
        return [this] {
            if (m_bArmed.exchange(false))
                m_release.acquire();
            return KELMNameSpace::SystemClockNow();
        };
    }
    void Arm() { m_bArmed = true; }
    void Release() { m_release.release(); }
    ~CClockGate() { m_release.release(10); }

private:
    std::atomic<bool> m_bArmed{false};
    QSemaphore m_release;
};

class WorkManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_in.isValid());
        ASSERT_TRUE(m_out.isValid());
        ASSERT_TRUE(m_manager.isInitialized());
        m_manager.setQuitHandler([this] { ++m_nQuits; });
        m_manager.setClock(m_gate.Clock());
    }

    bool WaitIdle() { return KcTest::WaitIdle(m_manager); }

    void Search(const QStringList& slPaths)
    {
        m_manager.setSrcFilesAndFolders(slPaths);
        m_manager.onStartKelmFilesSearching();
        ASSERT_EQ(m_manager.state(), CWorkManager::wsSearching);
        ASSERT_TRUE(WaitIdle());
    }

    void Analyze(const QStringList& slPaths)
    {
        Search(slPaths);
        m_manager.onStartKelmFilesAnalyzing();
        ASSERT_TRUE(WaitIdle());
    }

    QString InPath(const QString& qsName) const { return QDir(m_in.path()).filePath(qsName); }

    CFixedZone m_zone;
    QTemporaryDir m_in;
    QTemporaryDir m_out;
    CClockGate m_gate; // outlives the manager, so a failed test never leaves a job held
    CWorkManager m_manager{QStringLiteral("/nonexistent-desktop")};
    int m_nQuits = 0;
};

TEST_F(WorkManagerTest, SearchCollectsFoundFilesAsASet)
{
    QDir(m_in.path()).mkpath("sub");
    QFile(InPath("a.kelm")).open(QIODevice::WriteOnly);
    QFile(InPath("sub/b.KELM")).open(QIODevice::WriteOnly);
    QSignalSpy counter(&m_manager, &CWorkManager::displayKelmFilesCounter);
    QSignalSpy startFrm(&m_manager, &CWorkManager::activateStartFrm);
    QSignalSpy messages(&m_manager, &CWorkManager::updateProgressMessage);

    Search({m_in.path(), InPath("sub")}); // overlapping folders
    EXPECT_EQ(m_manager.foundFiles().size(), 2);
    ASSERT_FALSE(counter.isEmpty());
    EXPECT_EQ(counter.last()[0].toULongLong(), 2u);
    EXPECT_EQ(startFrm.size(), 1);
    EXPECT_TRUE(Strings(messages).contains("Searching for .kelm files..."));
    EXPECT_EQ(Strings(messages).last(), " ");

    Search({m_in.path()}); // the same folder again
    EXPECT_EQ(counter.last()[0].toULongLong(), 2u);
    EXPECT_EQ(m_manager.completionStatus(), CWorkManager::csOk);
}

TEST_F(WorkManagerTest, CancelledSearchRejectsEveryFoundFile)
{
    QFile(InPath("a.kelm")).open(QIODevice::WriteOnly);
    Search({m_in.path()});
    ASSERT_EQ(m_manager.foundFiles().size(), 1);

    QSignalSpy counter(&m_manager, &CWorkManager::displayKelmFilesCounter);
    QSignalSpy startFrm(&m_manager, &CWorkManager::activateStartFrm);
    QSignalSpy errorsFrm(&m_manager, kErrorsFrmText);
    QSignalSpy messages(&m_manager, &CWorkManager::updateProgressMessage);
    m_manager.onStartKelmFilesSearching();
    m_manager.onCancelProcessing();
    ASSERT_TRUE(WaitIdle());

    EXPECT_TRUE(startFrm.isEmpty());
    ASSERT_EQ(errorsFrm.size(), 1);
    EXPECT_EQ(errorsFrm[0][0].toString(), "Searching was cancelled");
    EXPECT_EQ(errorsFrm[0][1].toString(), ".kelm files searching was cancelled");
    EXPECT_EQ(errorsFrm[0][2].value<KcUserDlgForm>(), KcForms::ufStartFrm);
    EXPECT_TRUE(Strings(messages).contains("Searching was cancelled. Stopping..."));
    EXPECT_EQ(counter.last()[0].toULongLong(), 0u);
    EXPECT_TRUE(m_manager.foundFiles().isEmpty());
    EXPECT_EQ(m_manager.completionStatus(), CWorkManager::csOk);
}

TEST_F(WorkManagerTest, AnalysisWithoutUnusableFilesShowsTheVideosFound)
{
    WriteRecording(m_in, "cam1.kelm", AcrossMidnight("CAM1"));
    WriteRecording(m_in, "cam2.kelm", WithinOneDay("CAM2"));
    QSignalSpy prepare(&m_manager, &CWorkManager::prepareAnalyzing);
    QSignalSpy started(&m_manager, &CWorkManager::analyzingStarted);
    QSignalSpy videosFound(&m_manager, &CWorkManager::activateVideosFoundFrm);
    QSignalSpy errorsFrm(&m_manager, kErrorsFrmText);
    QSignalSpy messages(&m_manager, &CWorkManager::updateProgressMessage);
    QSignalSpy bar(&m_manager, &CWorkManager::updateProgressBar);
    QSignalSpy counter(&m_manager, &CWorkManager::displayKelmFilesCounter);

    Analyze({m_in.path()});

    EXPECT_EQ(prepare.size(), 1);
    EXPECT_EQ(started.size(), 1);
    EXPECT_EQ(videosFound.size(), 1);
    EXPECT_TRUE(errorsFrm.isEmpty());
    const QStringList slMessages = Strings(messages);
    EXPECT_TRUE(slMessages.contains("Analyzing .kelm files. 2 of 2 done"));
    EXPECT_TRUE(slMessages.contains("Detecting export parameters..."));
    EXPECT_TRUE(slMessages.contains("Preparing data for visualization..."));
    EXPECT_EQ(bar.last()[0].toInt(), 100);
    EXPECT_EQ(m_manager.unitsPassed(), 2u);
    EXPECT_EQ(m_manager.loadedContent().size(), 2u);
    EXPECT_EQ(m_manager.exportedSrids().size(), 3u); // two days of CAM1, one of CAM2
    // The found files stay for another analysis (CANCEL on the videos found, then CONTINUE)...
    EXPECT_EQ(counter.last()[0].toULongLong(), 2u);
    EXPECT_EQ(m_manager.foundFiles().size(), 2);
    m_manager.onStartKelmFilesAnalyzing();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(videosFound.size(), 2);
    // ...until a new drop, which starts a new set, or RESTART.
    QTemporaryDir other;
    WriteRecording(other, "cam3.kelm", WithinOneDay("CAM3"));
    Search({other.path()});
    EXPECT_EQ(m_manager.foundFiles().size(), 1);
    EXPECT_EQ(counter.last()[0].toULongLong(), 1u);
    m_manager.onClearKelmFilesFound();
    EXPECT_TRUE(m_manager.foundFiles().isEmpty());
    EXPECT_EQ(counter.last()[0].toULongLong(), 0u);
}

TEST_F(WorkManagerTest, AnalysisNamesTheUnusableFilesAndKeepsTheRest)
{
    WriteRecording(m_in, "cam1.kelm", AcrossMidnight("CAM1"));
    KcTest::SRecordingOptions refused = WithinOneDay("BAD");
    refused.videoCodec = kelm::AnnexBH264Video;
    refused.audio = false;
    WriteRecording(m_in, "refused.kelm", refused);
    QFile broken(InPath("broken.kelm"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("this is no container at all");
    broken.close();
    QSignalSpy errorsFrm(&m_manager, kErrorsFrmList);
    QSignalSpy fileErrors(&m_manager, &CWorkManager::fileError);

    Analyze({m_in.path()});

    ASSERT_EQ(errorsFrm.size(), 1);
    EXPECT_EQ(errorsFrm[0][0].toString(), "These files will not be converted");
    EXPECT_EQ(errorsFrm[0][1].toStringList(), (QStringList{"broken.kelm", "refused.kelm"}));
    EXPECT_EQ(errorsFrm[0][2].value<KcUserDlgForm>(), KcForms::ufVideosFoundFrm);
    // Each name with the first thing the analysis reported of it: an error, else a warning.
    EXPECT_EQ(m_manager.unusableFileReasons(),
              (QStringList{"Invalid RecordID value", "Video codec 'AnnexBH264Video' not supported"}));
    ASSERT_FALSE(fileErrors.isEmpty());
    EXPECT_EQ(fileErrors[0][0].toULongLong(), 0u);
    EXPECT_TRUE(fileErrors[0][1].toString().endsWith("broken.kelm"));
    EXPECT_EQ(m_manager.exportedSrids().size(), 2u); // only the camera with video
    for (const auto& keyAndEntry : m_manager.exportedSrids())
        EXPECT_EQ(keyAndEntry.second.srid, L"CAM1");
}

TEST_F(WorkManagerTest, AnalysisThatLoadsNothingUsableReturnsToTheStartForm)
{
    QSignalSpy errorsFrm(&m_manager, kErrorsFrmText);
    QFile(InPath("empty.kelm")).open(QIODevice::WriteOnly);
    Analyze({InPath("empty.kelm")});

    KcTest::SRecordingOptions refused = WithinOneDay("BAD");
    refused.videoCodec = kelm::AnnexBH264Video;
    refused.audio = false;
    WriteRecording(m_in, "refused.kelm", refused);
    Analyze({InPath("refused.kelm")});

    ASSERT_EQ(errorsFrm.size(), 2);
    EXPECT_EQ(errorsFrm[0][0].toString(), "Analyzing failed.");
    EXPECT_EQ(errorsFrm[0][1].toString(), "All of the .kelm files analyzed seems to be invalid and could not be "
                                          "converted. Please, contact support.");
    EXPECT_EQ(errorsFrm[0][2].value<KcUserDlgForm>(), KcForms::ufStartFrm);
    // A camera without any usable video leaves nothing to arrange into days.
    EXPECT_EQ(errorsFrm[1][0].toString(), "Analyzing failed.");
    EXPECT_EQ(errorsFrm[1][1].toString(), "A breaking error occured: Internal error: failed arranging videofiles by "
                                          "dates. Please, contact support.");
    EXPECT_EQ(errorsFrm[1][2].value<KcUserDlgForm>(), KcForms::ufStartFrm);
    EXPECT_EQ(m_manager.completionStatus(), CWorkManager::csOk);
}

TEST_F(WorkManagerTest, AnalysisWithoutFoundFilesDoesNotStart)
{
    QSignalSpy prepare(&m_manager, &CWorkManager::prepareAnalyzing);
    QSignalSpy errorsFrm(&m_manager, kErrorsFrmText);
    m_manager.onStartKelmFilesAnalyzing();

    EXPECT_TRUE(prepare.isEmpty());
    ASSERT_EQ(errorsFrm.size(), 1);
    EXPECT_EQ(errorsFrm[0][0].toString(), "No .kelm files found");
    EXPECT_EQ(errorsFrm[0][1].toString(), ".kelm files not found in the locations specified");
    EXPECT_EQ(m_manager.state(), CWorkManager::wsIdle);
}

TEST_F(WorkManagerTest, CancelWhileIdleOnlySetsTheStatusUntilTheNextJob)
{
    QSignalSpy messages(&m_manager, &CWorkManager::updateProgressMessage);
    m_manager.onCancelProcessing();
    EXPECT_EQ(m_manager.completionStatus(), CWorkManager::csCancelled);
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(m_nQuits, 0);

    QSignalSpy startFrm(&m_manager, &CWorkManager::activateStartFrm);
    Search({m_in.path()});
    EXPECT_EQ(startFrm.size(), 1);
}

TEST_F(WorkManagerTest, CancelledAnalysisBeforeAnyFileLoadsNothing)
{
    WriteRecording(m_in, "cam1.kelm", WithinOneDay("CAM1"));
    Search({m_in.path()});
    QSignalSpy started(&m_manager, &CWorkManager::analyzingStarted);
    QSignalSpy errorsFrm(&m_manager, kErrorsFrmText);
    QSignalSpy messages(&m_manager, &CWorkManager::updateProgressMessage);

    m_gate.Arm();
    m_manager.onStartKelmFilesAnalyzing();
    ASSERT_TRUE(started.wait(kWaitMs));
    m_manager.onCancelProcessing();
    m_gate.Release();
    ASSERT_TRUE(WaitIdle());

    EXPECT_TRUE(Strings(messages).contains("Analyzing was cancelled. Stopping..."));
    ASSERT_EQ(errorsFrm.size(), 1);
    EXPECT_EQ(errorsFrm[0][0].toString(), "Analyzing was cancelled");
    EXPECT_EQ(errorsFrm[0][1].toString(), ".kelm files analyzing was cancelled. No intervals loaded.");
    EXPECT_EQ(errorsFrm[0][2].value<KcUserDlgForm>(), KcForms::ufStartFrm);
}

TEST_F(WorkManagerTest, ExportWritesOneFilePerCameraAndDayIntoTheCameraFolder)
{
    WriteRecording(m_in, "cam1.kelm", AcrossMidnight("CAM1"));
    Analyze({m_in.path()});
    m_manager.setExportLocation(m_out.path());
    uint32_t batchCount = 0;
    ASSERT_TRUE(m_manager.prepareExportBatches(&batchCount)) << m_manager.lastLogError().toStdString();
    ASSERT_EQ(batchCount, 2u);

    QSignalSpy prepare(&m_manager, &CWorkManager::prepareExporting);
    QSignalSpy started(&m_manager, &CWorkManager::exportingStarted);
    QSignalSpy results(&m_manager, &CWorkManager::exportResults);
    QSignalSpy batchStarted(&m_manager, &CWorkManager::fragmentExportStarted);
    QSignalSpy batchFinished(&m_manager, &CWorkManager::fragmentExportFinished);
    QSignalSpy exportErrors(&m_manager, &CWorkManager::exportError);
    QSignalSpy converted(&m_manager, kConvertedFrm);
    m_manager.onStartExport();
    ASSERT_TRUE(WaitIdle());

    EXPECT_EQ(prepare.size(), 1);
    EXPECT_EQ(started.size(), 1);
    EXPECT_TRUE(exportErrors.isEmpty()) << Strings(exportErrors, 1).join("; ").toStdString();
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0], (QList<QVariant>{U(2), U(2)}));
    EXPECT_EQ(batchStarted, (QList<QList<QVariant>>{{U(1)}, {U(2)}}));
    EXPECT_EQ(batchFinished, (QList<QList<QVariant>>{{U(1)}, {U(2)}}));
    EXPECT_EQ(converted.size(), 1);

    const QDir cameraDir(QDir(m_out.path()).filePath("Converted/CAM1/Camera1"));
    EXPECT_EQ(cameraDir.entryList(QDir::Files, QDir::Name),
              (QStringList{"CAM1_1_01.03.26_23.59-00.00.mp4", "CAM1_1_02.03.26_00.00-00.01.mp4"}));
    for (const QFileInfo& info : cameraDir.entryInfoList(QDir::Files))
        EXPECT_GT(info.size(), 0);
}

// Every day tells what became of it, so that no front end reports a damaged or missing day as
// done: inputs removed or cut short after the analysis, and a track that cannot be set up.
TEST_F(WorkManagerTest, EachDayTellsWhetherItCameOutWhole)
{
    WriteRecording(m_in, "a.kelm", WithinOneDay("A_OK"));
    const std::string gone = WriteRecording(m_in, "b.kelm", WithinOneDay("B_GONE"));
    KcTest::SRecordingOptions longer = WithinOneDay("C_CUT");
    longer.endUtc = longer.startUtc + 60;
    const std::string cut = WriteRecording(m_in, "c.kelm", longer);
    KcTest::SRecordingOptions badVideo = WithinOneDay("D_NOVIDEO");
    badVideo.videoEsInfo = KcTest::DecoderConfigInfo({1, 0x64, 0});
    WriteRecording(m_in, "d.kelm", badVideo);
    Analyze({m_in.path()});
    m_manager.setExportLocation(m_out.path());
    uint32_t batchCount = 0;
    ASSERT_TRUE(m_manager.prepareExportBatches(&batchCount)) << m_manager.lastLogError().toStdString();
    ASSERT_EQ(batchCount, 4u);

    ASSERT_TRUE(QFile::remove(QString::fromStdString(gone)));
    QFile cutFile(QString::fromStdString(cut));
    ASSERT_TRUE(cutFile.resize(cutFile.size() / 3));

    QSignalSpy outcomes(&m_manager, &CWorkManager::fragmentExportOutcome);
    QSignalSpy finished(&m_manager, &CWorkManager::fragmentExportFinished);
    m_manager.onStartExport();
    ASSERT_TRUE(WaitIdle());

    ASSERT_EQ(outcomes.size(), 4);
    ASSERT_EQ(finished.size(), 4);
    const struct {
        int nOutcome;
        const char* pReasonPart;
    } expected[] = {
        {CWorkManager::doCreated, ""},
        {CWorkManager::doNotCreated, "b.kelm"},
        {CWorkManager::doCreatedWithProblems, "c.kelm"},
        {CWorkManager::doCreatedWithProblems, "H264ParamsSets get error"},
    };
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(outcomes[i][0].toULongLong(), finished[i][0].toULongLong());
        EXPECT_EQ(outcomes[i][1].toInt(), expected[i].nOutcome);
        const QString qsReason = outcomes[i][2].toString();
        EXPECT_EQ(qsReason.isEmpty(), expected[i].nOutcome == CWorkManager::doCreated) << qsReason.toStdString();
        EXPECT_TRUE(qsReason.contains(QString::fromUtf8(expected[i].pReasonPart))) << qsReason.toStdString();
    }
}

TEST_F(WorkManagerTest, FailedExportShowsTheConvertedStateWithAnError)
{
    QSignalSpy convertedError(&m_manager, kConvertedFrmError);
    m_manager.onStartExport(); // nothing analyzed
    ASSERT_TRUE(WaitIdle());

    ASSERT_EQ(convertedError.size(), 1);
    EXPECT_EQ(convertedError[0][0].toString(), "Creating videofiles failed. Please, contact support.");
    EXPECT_EQ(m_manager.lastLogError(), "Export failed. Content not loaded");
}

// An export that made no file, or that a full disk stopped, says why on the results page and is
// not logged as finished OK.
TEST_F(WorkManagerTest, ExportWithoutAFileOrStoppedByAFullDiskShowsTheReason)
{
    WriteRecording(m_in, "cam1.kelm", AcrossMidnight("CAM1"));
    Analyze({m_in.path()});
    m_manager.setExportLocation(m_out.path());
    ASSERT_TRUE(m_manager.prepareExportBatches());
    QSignalSpy convertedError(&m_manager, kConvertedFrmError);
    QSignalSpy errorsFrm(&m_manager, kErrorsFrmText);

    // A file where the camera folders go: every target fails.
    QFile blocker(QDir(m_out.path()).filePath("Converted"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    m_manager.onStartExport();
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(convertedError.size(), 1);
    EXPECT_TRUE(convertedError[0][0].toString().startsWith("Target path '"))
        << convertedError[0][0].toString().toStdString();
    ASSERT_TRUE(QFile::remove(blocker.fileName()));

    // The videos-found form stops an export whose target found the disk full.
    ASSERT_TRUE(m_manager.prepareExportBatches());
    m_gate.Arm();
    m_manager.onStartExport();
    m_manager.onExportError(1, "Target file write error: 28 No space left on device", "x.mp4", 24);
    m_manager.onCancelProcessing();
    m_gate.Release();
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(convertedError.size(), 2);
    EXPECT_EQ(convertedError[1][0].toString(), "Target file write error: 28 No space left on device");
    EXPECT_TRUE(errorsFrm.isEmpty());
}

TEST_F(WorkManagerTest, QuitDuringExportCancelsItAndQuitsWhenItEnds)
{
    WriteRecording(m_in, "cam1.kelm", AcrossMidnight("CAM1"));
    Analyze({m_in.path()});
    m_manager.setExportLocation(m_out.path());
    ASSERT_TRUE(m_manager.prepareExportBatches());

    QSignalSpy started(&m_manager, &CWorkManager::exportingStarted);
    QSignalSpy progress(&m_manager, &CWorkManager::exportingProgress);
    QSignalSpy exportMessages(&m_manager, &CWorkManager::updateExportProgressMessage);
    QSignalSpy errorsFrm(&m_manager, kErrorsFrmText);
    m_gate.Arm();
    m_manager.onStartExport();
    ASSERT_TRUE(started.wait(kWaitMs));
    m_manager.onRequestToQuit();
    EXPECT_EQ(m_nQuits, 0); // not before the export has ended
    m_gate.Release();
    ASSERT_TRUE(WaitIdle());

    EXPECT_EQ(m_nQuits, 1);
    EXPECT_EQ(Strings(exportMessages), QStringList{"Export was cancelled. Stopping..."});
    EXPECT_TRUE(progress.isEmpty());
    ASSERT_EQ(errorsFrm.size(), 1);
    EXPECT_EQ(errorsFrm[0][0].toString(), "Export was cancelled");
    EXPECT_EQ(errorsFrm[0][1].toString(), "Creating selected videofiles was cancelled.");
    EXPECT_EQ(errorsFrm[0][2].value<KcUserDlgForm>(), KcForms::ufVideosFoundFrm);
    EXPECT_FALSE(QDir(m_out.path()).exists("Converted/CAM1/Camera1/CAM1_1_01.03.26_23.59-00.00.mp4"));
}

TEST_F(WorkManagerTest, QuitWhenIdleQuitsAtOnce)
{
    m_manager.onRequestToQuit();
    EXPECT_EQ(m_nQuits, 1);
    EXPECT_TRUE(m_manager.isQuitRequested());
}

TEST_F(WorkManagerTest, SingleFileReportsAreLoggedAndPassedOn)
{
    const QString qsLogPath = QDir(m_out.path()).filePath("test.log");
    QString qsError;
    ASSERT_TRUE(KcLog::logOpen(qsLogPath, qsError)) << qsError.toStdString();
    QSignalSpy exportErrors(&m_manager, &CWorkManager::exportError);
    QSignalSpy fileErrors(&m_manager, &CWorkManager::fileError);
    QSignalSpy progress(&m_manager, &CWorkManager::exportingProgress);

    m_manager.onExportError(2, "Target file write error: no space", "/out/a.mp4", 24);
    m_manager.onExportError(2, "Target file close error: 5 Input/output error", "/out/b.mp4", 18);
    m_manager.onExportWarning(2, "libavformat warning: odd", "/out/b.mp4", 1);
    QMetaObject::invokeMethod(&m_manager, "onFileError", Q_ARG(ulong, 0), Q_ARG(QString, "in/c.kelm"),
                              Q_ARG(QString, "Invalid RecordID value"), Q_ARG(int, 14));
    QMetaObject::invokeMethod(&m_manager, "onFileWarning", Q_ARG(ulong, 0), Q_ARG(QString, "in/d.kelm"),
                              Q_ARG(QString, "Unexpected end of file"), Q_ARG(int, 14));
    // Progress is passed on until a cancel is requested.
    const auto sendProgress = [this] {
        QMetaObject::invokeMethod(&m_manager, "onExportingProgress", Q_ARG(int, 5), Q_ARG(ulong, 1), Q_ARG(ulong, 10),
                                  Q_ARG(ulong, 2), Q_ARG(double, -1.0));
    };
    sendProgress();
    m_manager.onCancelProcessing();
    sendProgress();
    KcLog::logClose();

    QFile log(qsLogPath);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString qsLog = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(qsLog.contains("EXP     ERROR] ER-24: Out of disk space. File: /out/a.mp4\n"));
    EXPECT_TRUE(qsLog.contains("ER-18: Target file close error: 5 Input/output error. File: /out/b.mp4\n"));
    EXPECT_TRUE(qsLog.contains("EXP     WARNING] WR-1: libavformat warning: odd. File: /out/b.mp4\n"));
    EXPECT_TRUE(qsLog.contains("ANR     ERROR] ER-14: Invalid RecordID value. file: in/c.kelm\n"));
    EXPECT_TRUE(qsLog.contains("ANR     WARNING] WR-14: Unexpected end of file. File: in/d.kelm\n"));

    ASSERT_EQ(exportErrors.size(), 2);
    // The form gets the exporter's own text; only the log words a full disk differently.
    EXPECT_EQ(exportErrors[0], (QList<QVariant>{U(2), "Target file write error: no space", "/out/a.mp4", 24}));
    ASSERT_EQ(fileErrors.size(), 1);
    EXPECT_EQ(fileErrors[0], (QList<QVariant>{U(0), "in/c.kelm", "Invalid RecordID value", 14}));
    EXPECT_EQ(progress.size(), 1);
}

} // namespace
