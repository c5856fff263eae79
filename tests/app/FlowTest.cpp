// Whole conversions through the real main window, with real worker threads: drop a folder, search,
// the page of unusable files, the videos found, the user's choices, the export and its results;
// and the same road cancelled or closed half way.

#include "AppTestSupport.h"

#include "Mp4Check.h"
#include "core/DisplayText.h"
#include "forms/AnalyzeErrorsFrm.h"
#include "forms/AnalyzeFilesFrm.h"
#include "forms/DateVisualPane.h"
#include "forms/DateVisualPaneCenter.h"
#include "forms/StartFrm.h"
#include "forms/TimeZoneSelector.h"
#include "forms/VideosFoundFrm.h"
#include "workers/WorkManager.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDirIterator>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QToolButton>

#include <algorithm>
#include <atomic>

using KcForms::CDateVisualPane;
using KcForms::CVideosFoundFrm;
using namespace KcAppTest;

namespace {

class FlowTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_opened, "open");
    }

    void TearDown() override
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        AppTest::TearDown();
    }

    // Camera 1001 records across local midnight at UTC+4 (one day at UTC+3), camera 1002 a few
    // seconds in the morning.
    void WriteTwoCameras()
    {
        WriteRecording(QStringLiteral("1001.kelm"), "1001", LocalToUtc(4, 2026, 3, 1, 23, 59, 56),
                       LocalToUtc(4, 2026, 3, 2, 0, 0, 4));
        WriteRecording(QStringLiteral("1002.kelm"), "1002", LocalToUtc(3, 2026, 3, 1, 10, 0, 0),
                       LocalToUtc(3, 2026, 3, 1, 10, 0, 4));
    }

    // From the drop to the videos found, for recordings without unusable files.
    void ReachVideosFound(ulong ulFiles)
    {
        DropRecordings(ulFiles);
        Button(Window().startFrm(), "pbContinue")->click();
        ASSERT_TRUE(WaitFor([&] { return CurrentPage() == Window().videosFoundFrm(); }));
    }

    CVideosFoundFrm& Videos() { return *Window().videosFoundFrm(); }
    QLabel* VideosLabel(const char* pName) { return Videos().findChild<QLabel*>(QString::fromLatin1(pName)); }

    // The date panes of the current build, in page order (the previous build may await deletion).
    QList<CDateVisualPane*> Panes()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QList<CDateVisualPane*> panes = Videos().findChildren<CDateVisualPane*>();
        std::sort(panes.begin(), panes.end(), [](CDateVisualPane* pA, CDateVisualPane* pB) {
            return pA->plate()->numberLabel()->text().toInt() < pB->plate()->numberLabel()->text().toInt();
        });
        return panes;
    }

    QStringList PaneTitles()
    {
        QStringList slTitles;
        for (CDateVisualPane* pPane : Panes())
            slTitles << pPane->plate()->titleLabel()->text();
        return slTitles;
    }

    CDateVisualPane* PaneOf(const QString& qsSrid)
    {
        for (CDateVisualPane* pPane : Panes()) {
            if (pPane->srid() == qsSrid)
                return pPane;
        }
        return nullptr;
    }

    QStringList Mp4Files()
    {
        QStringList slFiles;
        QDirIterator it(Desktop() + QStringLiteral("/Converted"), {QStringLiteral("*.mp4")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            slFiles << it.next();
        slFiles.sort();
        return slFiles;
    }

    bool WaitForIdle()
    {
        return WaitFor([&] { return Manager().state() == KcWorkers::CWorkManager::wsIdle; });
    }

    CUrlRecorder m_opened;
};

} // namespace

TEST_F(FlowTest, ConvertsADroppedFolderFromTheStartPageToTheResults)
{
    WriteTwoCameras();
    WriteBrokenFile(QStringLiteral("broken.kelm"));
    ASSERT_TRUE(Start());
    DropRecordings(3);

    // The broken file is reported, then CONTINUE leads to the videos found.
    Button(Window().startFrm(), "pbContinue")->click();
    EXPECT_EQ(CurrentPage(), Window().analyzeFilesFrm());
    ASSERT_TRUE(WaitFor([&] { return CurrentPage() == Window().analyzeErrorsFrm(); }));
    KcForms::CAnalyzeErrorsFrm* pErrors = Window().analyzeErrorsFrm();
    EXPECT_EQ(pErrors->findChild<QLabel*>(QStringLiteral("lbMsgTextTitle"))->text(),
              QStringLiteral("These files will not be converted"));
    // Each file with the reason the analysis gave for it.
    EXPECT_EQ(pErrors->findChild<QTextEdit*>(QStringLiteral("pteMsgTextDetails"))->toPlainText().trimmed(),
              QStringLiteral("broken.kelm\nInvalid RecordID value"));
    Button(pErrors, "pbContinue")->click();

    ASSERT_EQ(CurrentPage(), &Videos());
    EXPECT_EQ(Videos().mode(), CVideosFoundFrm::mdVideosFound);
    EXPECT_EQ(VideosLabel("lbTitleText")->text(), QStringLiteral("Videofiles found"));
    EXPECT_EQ(PaneTitles(), (QStringList{"1001_1_01.03.26_22.59-23.01", "1002_1_01.03.26_10.00-10.01"}));
    EXPECT_TRUE(Button(&Videos(), "pbCreateVideo")->isEnabled());

    // Delete a day: it leaves the total and the export.
    const quint64 ullAll = Videos().totalSize();
    CDateVisualPane* pMorning = PaneOf(QStringLiteral("1002"));
    ASSERT_NE(pMorning, nullptr);
    pMorning->deleteButton()->click();
    EXPECT_LT(Videos().totalSize(), ullAll);
    EXPECT_TRUE(VideosLabel("lbSizeInfo")->text().contains(KcCore::CDisplayText::size(Videos().totalSize())));

    // Another zone cuts the days anew: camera 1001 now crosses midnight, and every day is back.
    QComboBox* pZones = Videos().findChild<KcForms::CTimeZoneSelector*>()->comboBox();
    if (pZones->currentIndex() == 8) // preselected on a computer in that zone: pick away first
        pZones->setCurrentIndex(7);
    pZones->setCurrentIndex(8); // UTC+4
    // The page is built anew once the popup has gone, from the event loop.
    ASSERT_TRUE(WaitFor([&] { return PaneTitles().size() == 3; }));
    EXPECT_EQ(PaneTitles(), (QStringList{"1001_1_01.03.26_23.59-00.00", "1002_1_01.03.26_11.00-11.01",
                                         "1001_1_02.03.26_00.00-00.01"}));
    EXPECT_EQ(Videos().totalSize(), [&] {
        quint64 ullSum = 0;
        for (const auto& keyAndEntry : Manager().exportedSrids())
            ullSum += keyAndEntry.second.fragment.estimatedSize;
        return ullSum;
    }());
    EXPECT_TRUE(LogMessages().contains(QStringLiteral("Time Zone was changed by user")));

    PaneOf(QStringLiteral("1002"))->deleteButton()->click();
    Button(&Videos(), "pbCreateVideo")->click();

    // The export: only the two days kept, numbered anew, each as a progress bar.
    EXPECT_EQ(Videos().mode(), CVideosFoundFrm::mdExporting);
    EXPECT_EQ(VideosLabel("lbTitleText")->text(), QStringLiteral("Creating videofiles"));
    EXPECT_EQ(PaneTitles(), (QStringList{"1001_1_01.03.26_23.59-00.00", "1001_1_02.03.26_00.00-00.01"}));
    ASSERT_TRUE(WaitFor([&] { return Videos().mode() == CVideosFoundFrm::mdResults; }));
    EXPECT_EQ(CurrentPage(), &Videos());
    EXPECT_EQ(VideosLabel("lbTitleText")->text(), QStringLiteral("2 videofiles successfully created"));
    for (CDateVisualPane* pPane : Panes())
        EXPECT_EQ(pPane->state(), CDateVisualPane::stExported);

    // The two files play: every frame decodes.
    const QStringList slFiles = Mp4Files();
    ASSERT_EQ(slFiles.size(), 2) << slFiles.join(QLatin1Char(' ')).toStdString();
    for (const QString& qsFile : slFiles) {
        EXPECT_TRUE(qsFile.contains(QStringLiteral("/Converted/1001/Camera1/"))) << qsFile.toStdString();
        const KcTest::SMp4Report report = KcTest::InspectMp4(qsFile.toStdString());
        ASSERT_TRUE(report.bOpened) << qsFile.toStdString();
        const KcTest::STrackReport* pVideo = report.Find("h264");
        ASSERT_NE(pVideo, nullptr);
        EXPECT_GT(pVideo->frames, 0);
        EXPECT_EQ(pVideo->decodeErrors, 0);
        EXPECT_EQ(report.libraryErrors, 0);
    }

    Button(&Videos(), "pbOpenFolder")->click();
    ASSERT_EQ(m_opened.urls.size(), 1);
    EXPECT_EQ(m_opened.urls[0], QUrl::fromLocalFile(Desktop() + QStringLiteral("/Converted/")));

    Button(&Videos(), "pbRestart")->click();
    EXPECT_EQ(CurrentPage(), Window().startFrm());
    EXPECT_EQ(Window().startFrm()->filesCounter(), 0u);
    EXPECT_FALSE(Button(Window().startFrm(), "pbContinue")->isEnabled());
    const QStringList slLog = LogMessages();
    EXPECT_TRUE(slLog.contains(QStringLiteral("Export results: 2 of 2 videos exported")));
    EXPECT_TRUE(slLog.contains(QStringLiteral("Restart button clicked on 'Videos Found' form")));
    EXPECT_EQ(m_boxes.size(), 1u); // the missing translation only
}

TEST_F(FlowTest, AnExportCancelledRightAwayReturnsToTheVideosFoundAndLeavesNoBrokenFile)
{
    WriteTwoCameras();
    ASSERT_TRUE(Start());
    ReachVideosFound(2);
    const QStringList slBefore = PaneTitles();

    Button(&Videos(), "pbCreateVideo")->click();
    Videos().findChild<QToolButton*>(QStringLiteral("tbCancel"))->click();
    ASSERT_TRUE(WaitFor([&] { return CurrentPage() == Window().analyzeErrorsFrm(); }));
    EXPECT_EQ(Window().analyzeErrorsFrm()->findChild<QLabel*>(QStringLiteral("lbMsgTextTitle"))->text(),
              QStringLiteral("Export was cancelled"));

    Button(Window().analyzeErrorsFrm(), "pbContinue")->click();
    EXPECT_EQ(CurrentPage(), &Videos());
    EXPECT_EQ(Videos().mode(), CVideosFoundFrm::mdVideosFound);
    EXPECT_EQ(PaneTitles(), slBefore);
    for (const QString& qsFile : Mp4Files()) {
        const KcTest::SMp4Report report = KcTest::InspectMp4(qsFile.toStdString());
        EXPECT_TRUE(report.bOpened) << qsFile.toStdString();
        EXPECT_EQ(report.libraryErrors, 0) << qsFile.toStdString();
    }
}

TEST_F(FlowTest, AnAnalysisCancelledRightAwayEndsWithWhatWasLoaded)
{
    WriteTwoCameras();
    ASSERT_TRUE(Start());
    DropRecordings(2);

    Button(Window().startFrm(), "pbContinue")->click();
    Window().analyzeFilesFrm()->findChild<QToolButton*>(QStringLiteral("tbCancel"))->click();
    EXPECT_EQ(Window().analyzeFilesFrm()->findChild<QLabel*>(QStringLiteral("lbCurrentActionMsg"))->text(),
              QStringLiteral("Analyzing was cancelled. Stopping..."));
    ASSERT_TRUE(WaitForIdle());
    EXPECT_TRUE(LogMessages().contains(QStringLiteral(
        "User or system requested to cancel .kelm files analyzing. Sending request to working thread ...")));

    // Whether a file was loaded before the request arrived is up to the thread; either way the
    // user lands on a page that lets them go on.
    if (CurrentPage() == Window().analyzeErrorsFrm()) {
        EXPECT_EQ(Window().analyzeErrorsFrm()->findChild<QLabel*>(QStringLiteral("lbMsgTextTitle"))->text(),
                  QStringLiteral("Analyzing was cancelled"));
        Button(Window().analyzeErrorsFrm(), "pbContinue")->click(); // RESTART
        EXPECT_EQ(CurrentPage(), Window().startFrm());
    } else {
        EXPECT_EQ(CurrentPage(), &Videos());
        EXPECT_LE(Panes().size(), 2);
    }
}

TEST_F(FlowTest, AnAnalysisCancelledHalfWayListsOnlyTheFilesItReadAndKeepsTheFound)
{
    WriteRecording(QStringLiteral("a1.kelm"), "1001", LocalToUtc(3, 2026, 3, 1, 10, 0, 0),
                   LocalToUtc(3, 2026, 3, 1, 10, 0, 4));
    WriteBrokenFile(QStringLiteral("b2.kelm"));
    WriteRecording(QStringLiteral("c3.kelm"), "1002", LocalToUtc(3, 2026, 3, 1, 11, 0, 0),
                   LocalToUtc(3, 2026, 3, 1, 11, 0, 4));
    WriteRecording(QStringLiteral("d4.kelm"), "1003", LocalToUtc(3, 2026, 3, 1, 12, 0, 0),
                   LocalToUtc(3, 2026, 3, 1, 12, 0, 4));
    ASSERT_TRUE(Start());
    DropRecordings(4);

    // The user cancels while c3.kelm is being read: the engine's clock, read on the worker
    // thread, waits for the GUI thread, where the reports of a1 and b2 have arrived by then.
    bool bBrokenReported = false;
    std::atomic<bool> bCancelled{false};
    QObject::connect(&Manager(), &KcWorkers::CWorkManager::fileError, [&](ulong, QString qsFileName) {
        bBrokenReported |= qsFileName.endsWith(QStringLiteral("b2.kelm"));
    });
    Manager().setClock([&] {
        if (!bCancelled) {
            QMetaObject::invokeMethod(
                &Manager(),
                [&] {
                    if (bBrokenReported && !bCancelled.exchange(true))
                        Manager().onCancelProcessing();
                },
                Qt::BlockingQueuedConnection);
        }
        return KELMNameSpace::SystemClockNow();
    });
    Button(Window().startFrm(), "pbContinue")->click();
    ASSERT_TRUE(WaitForIdle());
    Manager().setClock(KELMNameSpace::SystemClockNow);
    ASSERT_TRUE(bCancelled);

    ASSERT_EQ(CurrentPage(), Window().analyzeErrorsFrm());
    KcForms::CAnalyzeErrorsFrm* pErrors = Window().analyzeErrorsFrm();
    EXPECT_EQ(pErrors->findChild<QLabel*>(QStringLiteral("lbMsgTextTitle"))->text(),
              QStringLiteral("Analyzing was cancelled"));
    EXPECT_EQ(pErrors->findChild<QTextEdit*>(QStringLiteral("pteMsgTextDetails"))->toPlainText().trimmed(),
              QStringLiteral("b2.kelm\nInvalid RecordID value")); // c3 and d4 were never read

    // CONTINUE shows what was loaded; CANCEL there keeps the four files for another analysis.
    Button(pErrors, "pbContinue")->click();
    ASSERT_EQ(CurrentPage(), &Videos());
    EXPECT_EQ(PaneTitles(), QStringList{"1001_1_01.03.26_10.00-10.01"});
    Button(&Videos(), "pbCancel")->click();
    EXPECT_EQ(CurrentPage(), Window().startFrm());
    EXPECT_EQ(Window().startFrm()->filesCounter(), 4u);
    EXPECT_TRUE(Button(Window().startFrm(), "pbContinue")->isEnabled());
}

TEST_F(FlowTest, ClosingDuringAnExportCancelsItAndEndsTheProgramWhenItHasStopped)
{
    WriteTwoCameras();
    ASSERT_TRUE(Start());
    ReachVideosFound(2);

    Button(&Videos(), "pbCreateVideo")->click();
    EXPECT_FALSE(Window().close());
    EXPECT_TRUE(Window().isVisible());
    EXPECT_EQ(m_nQuitRequests, 0); // not while the export runs

    ASSERT_TRUE(WaitForIdle());
    EXPECT_EQ(m_nQuitRequests, 1);
    const QStringList slLog = LogMessages();
    const int nConfirmed = slLog.indexOf(QStringLiteral("And was confirmed by user - request to exit generated"));
    const int nCancelled = slLog.indexOf(QStringLiteral("Export was cancelled"));
    EXPECT_GE(nConfirmed, 0);
    EXPECT_GT(nCancelled, nConfirmed);
}
