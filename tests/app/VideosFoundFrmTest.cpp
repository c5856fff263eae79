// The videos-found page on its own: where the camera headers and date panes go, the location and
// size texts, Delete and Restore, the export reports per pane and the results titles.

#include "AppTestSupport.h"

#include "core/DisplayText.h"
#include "forms/DateVisualPane.h"
#include "forms/DateVisualPaneCenter.h"
#include "forms/SridVisualHeader.h"
#include "forms/TimeZoneSelector.h"
#include "forms/VideosFoundFrm.h"
#include "workers/KelmFilesAnalyzer.h"
#include "workers/WorkManager.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>

using KcForms::CDateVisualPane;
using KcForms::CVideosFoundFrm;
using KcWorkers::SExportEntry;
using namespace KcAppTest;

namespace {

class VideosFoundFrmTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        App();
        m_pManager = std::make_unique<KcWorkers::CWorkManager>(Desktop());
        m_pManager->setSearchFinalPause(false);
        m_pForm = std::make_unique<CVideosFoundFrm>(*m_pManager);
        m_pForm->resize(1024, 700);
        m_pForm->show();
    }

    void TearDown() override
    {
        m_pForm.reset();
        m_pManager.reset();
        AppTest::TearDown();
    }

    // An entry the user took out: shown in the videos found, never prepared for the export, so
    // that no content needs to be loaded.
    void AddDisabled(int nDay, const std::wstring& srid, const std::wstring& subSourceKey)
    {
        SExportEntry entry;
        entry.srid = srid;
        entry.subSourceKey = subSourceKey;
        entry.displayNumber = L"1";
        entry.bEnabled = false;
        entry.fragment.windowStart = 86400.0 * (20500 + nDay);
        entry.fragment.startTime = entry.fragment.windowStart + 3600;
        entry.fragment.endTime = entry.fragment.windowStart + 7200;
        entry.fragment.estimatedSize = 5000000;
        m_pManager->exportedSrids()[KcWorkers::makeExportKey(entry)] = entry;
    }

    // One camera's recordings of a few seconds at 10:00 (UTC+3) on as many days from 1 March,
    // loaded and cut into days as after an analysis.
    void LoadDays(int nDays)
    {
        for (int nDay = 1; nDay <= nDays; ++nDay)
            WriteRecording(QStringLiteral("cam%1.kelm").arg(nDay), "1001", LocalToUtc(3, 2026, 3, nDay, 10, 0, 0),
                           LocalToUtc(3, 2026, 3, nDay, 10, 0, 4));
        KcWorkers::CWorkManager& manager = *m_pManager;
        const auto idle = [&manager] { return manager.state() == KcWorkers::CWorkManager::wsIdle; };
        manager.setSrcFilesAndFolders({Recordings()});
        manager.onStartKelmFilesSearching();
        ASSERT_TRUE(WaitFor(idle));
        manager.onStartKelmFilesAnalyzing();
        ASSERT_TRUE(WaitFor(idle));
        ASSERT_EQ(m_pManager->exportedSrids().size(), size_t(nDays));
    }
    void LoadOneDay() { LoadDays(1); }

    QLabel* Label(const char* pName) { return m_pForm->findChild<QLabel*>(QString::fromLatin1(pName)); }

    // Grid cell of a widget on the page: (row, column).
    std::pair<int, int> Cell(QWidget* pWidget)
    {
        auto* pGrid = m_pForm->findChild<QGridLayout*>(QStringLiteral("datePanesGridLayout"));
        int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
        const int index = pGrid->indexOf(pWidget);
        if (index >= 0)
            pGrid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        return {row, column};
    }

    std::unique_ptr<KcWorkers::CWorkManager> m_pManager;
    std::unique_ptr<CVideosFoundFrm> m_pForm;
};

} // namespace

TEST_F(VideosFoundFrmTest, CamerasGetHeadersAndDaysShareRowsOfTwo)
{
    AddDisabled(0, L"A", L"");
    AddDisabled(0, L"A", L"x");
    AddDisabled(0, L"A", L"y"); // a third of the same camera and day goes below, not on top
    AddDisabled(0, L"B", L"");
    AddDisabled(1, L"A", L"");
    ASSERT_TRUE(m_pForm->initVisualArea());

    QList<CDateVisualPane*> panes;
    for (const auto& keyAndEntry : m_pManager->exportedSrids()) {
        for (CDateVisualPane* pPane : m_pForm->findChildren<CDateVisualPane*>()) {
            if (pPane->exportKey() == QString::fromStdWString(keyAndEntry.first))
                panes.append(pPane);
        }
    }
    ASSERT_EQ(panes.size(), 5);
    const std::pair<int, int> expected[] = {{1, 1}, {1, 2}, {2, 1}, {4, 1}, {6, 1}};
    for (int i = 0; i < panes.size(); ++i) {
        EXPECT_EQ(Cell(panes[i]), expected[i]) << i;
        EXPECT_EQ(panes[i]->plate()->numberLabel()->text(), QString::number(i + 1));
    }

    QStringList slHeaders;
    for (KcForms::CSridVisualHeader* pHeader : m_pForm->findChildren<KcForms::CSridVisualHeader*>())
        slHeaders << QStringLiteral("%1@%2").arg(pHeader->text()).arg(Cell(pHeader).first);
    slHeaders.sort();
    EXPECT_EQ(slHeaders, (QStringList{"SRID A@0", "SRID A@5", "SRID B@3"}));
}

TEST_F(VideosFoundFrmTest, DaysTakenOutStayOutWhenThePageIsBuiltAgain)
{
    AddDisabled(0, L"A", L"");
    ASSERT_TRUE(m_pForm->initVisualArea());
    ASSERT_TRUE(m_pForm->initVisualArea()); // as when the page comes back after a cancelled export

    // The first build's contents go once the event loop deletes them.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(m_pForm->findChildren<CDateVisualPane*>().size(), 1);
    CDateVisualPane* pPane = m_pForm->findChildren<CDateVisualPane*>().first();
    EXPECT_FALSE(pPane->isExportEnabled());
    EXPECT_FALSE(pPane->plate()->isEnabled());
    EXPECT_EQ(m_pForm->totalSize(), 0u);
    EXPECT_FALSE(Button(m_pForm.get(), "pbCreateVideo")->isEnabled());
    EXPECT_TRUE(Label("lbSizeInfo")->text().contains(QStringLiteral("Size on disk: 0 Bytes")));
}

TEST_F(VideosFoundFrmTest, LongLocationsLoseTheirMiddleAndShowWholeInTheToolTip)
{
    ASSERT_TRUE(m_pForm->initVisualArea());
    EXPECT_TRUE(Label("lbLocationInfo")->text().contains(QStringLiteral("on Desktop")));
    EXPECT_TRUE(Label("lbLocationInfo")->toolTip().isEmpty());

    m_pManager->setExportLocation(QStringLiteral("/srv/") + QString(120, QLatin1Char('a'))
                                  + QStringLiteral("/exports/"));
    ASSERT_TRUE(m_pForm->initVisualArea());
    const QString qsText = Label("lbLocationInfo")->text();
    EXPECT_EQ(Label("lbLocationInfo")->toolTip(), m_pManager->exportLocation());
    EXPECT_TRUE(qsText.contains(QStringLiteral("...")));
    EXPECT_TRUE(qsText.contains(QStringLiteral("/srv/aa")));
    EXPECT_TRUE(qsText.contains(QStringLiteral("aa/exports/")));
    EXPECT_FALSE(qsText.contains(m_pManager->exportLocation()));
    EXPECT_TRUE(qsText.contains(QStringLiteral("href=\"location\"")));

    m_pManager->setExportLocation(QStringLiteral("/srv/short/"));
    ASSERT_TRUE(m_pForm->initVisualArea());
    EXPECT_TRUE(Label("lbLocationInfo")->toolTip().isEmpty());
    EXPECT_TRUE(Label("lbLocationInfo")->text().contains(QStringLiteral("/srv/short/")));
    EXPECT_FALSE(Label("lbLocationInfo")->text().contains(QStringLiteral("...")));
}

TEST_F(VideosFoundFrmTest, TheLocationLinkChangesTheExportLocationInPlace)
{
    ASSERT_TRUE(m_pForm->initVisualArea());
    const QString qsChosen = Recordings();
    QTimer::singleShot(0, [qsChosen] {
        auto* pDialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(pDialog, nullptr);
        EXPECT_EQ(pDialog->fileMode(), QFileDialog::Directory);
        pDialog->setDirectory(qsChosen);
        static_cast<QDialog*>(pDialog)->accept();
    });
    emit Label("lbLocationInfo")->linkActivated(QStringLiteral("location"));

    EXPECT_EQ(m_pManager->exportLocation(), qsChosen + QStringLiteral("/"));
    // The temporary folder's name may be long enough to be shortened.
    const QString qsText = Label("lbLocationInfo")->text();
    EXPECT_FALSE(qsText.contains(QStringLiteral("on Desktop")));
    EXPECT_TRUE(qsText.contains(qsChosen) || Label("lbLocationInfo")->toolTip() == m_pManager->exportLocation());
}

TEST_F(VideosFoundFrmTest, DeleteAndRestoreMoveTheTotalAndTheFreeSpaceVerdict)
{
    LoadOneDay();
    SExportEntry& entry = m_pManager->exportedSrids().begin()->second;
    ASSERT_TRUE(m_pForm->initVisualArea());
    ASSERT_GT(m_pForm->totalSize(), 0u);
    const QString qsSize = KcCore::CDisplayText::size(entry.fragment.estimatedSize);
    EXPECT_TRUE(Label("lbSizeInfo")->text().contains(QStringLiteral("Size on disk: ") + qsSize));
    EXPECT_TRUE(Label("lbSizeInfo")->text().contains(QStringLiteral("Available on ")));
    EXPECT_FALSE(Label("lbExclamation")->isVisible());
    EXPECT_TRUE(Button(m_pForm.get(), "pbCreateVideo")->isEnabled());

    // More than any disk holds.
    entry.fragment.estimatedSize = quint64(1) << 62;
    ASSERT_TRUE(m_pForm->initVisualArea());
    EXPECT_TRUE(Label("lbSizeInfo")->text().contains(QStringLiteral("Out of disk space")));
    EXPECT_TRUE(Label("lbExclamation")->isVisible());
    EXPECT_FALSE(Button(m_pForm.get(), "pbCreateVideo")->isEnabled());

    CDateVisualPane* pPane = m_pForm->findChildren<CDateVisualPane*>().first();
    pPane->deleteButton()->click();
    EXPECT_FALSE(entry.bEnabled);
    EXPECT_EQ(m_pForm->totalSize(), 0u);
    EXPECT_TRUE(Label("lbSizeInfo")->text().contains(QStringLiteral("Size on disk: 0 Bytes")));
    EXPECT_FALSE(Label("lbExclamation")->isVisible());
    EXPECT_FALSE(Button(m_pForm.get(), "pbCreateVideo")->isEnabled()); // nothing to create

    pPane->restoreButton()->click();
    EXPECT_TRUE(entry.bEnabled);
    EXPECT_EQ(m_pForm->totalSize(), quint64(1) << 62);
    EXPECT_TRUE(Label("lbSizeInfo")->text().contains(QStringLiteral("Out of disk space")));
}

TEST_F(VideosFoundFrmTest, TheMouseAndTheKeysReachTheDayUnderTheMouse)
{
    LoadOneDay(); // the first day, to be exported
    for (int nDay = 20; nDay < 32; ++nDay)
        AddDisabled(nDay, L"1001", L"");
    ASSERT_TRUE(m_pForm->initVisualArea());
    m_pForm->setStatusPaneVideosFound();
    QTest::qWait(50); // the nested layouts settle over a few passes
    QList<CDateVisualPane*> panes = m_pForm->findChildren<CDateVisualPane*>();
    ASSERT_EQ(panes.size(), 13);
    CDateVisualPane* pFirst = panes.first();
    ASSERT_TRUE(pFirst->isExportEnabled());
    const QPoint overFirst = pFirst->mapToGlobal(QPoint(300, 60));
    QCursor::setPos(overFirst);
    ASSERT_EQ(m_pForm->paneAt(overFirst), pFirst);
    pFirst->setHovered(true);

    // The wheel moves another day under the mouse: the Delete button goes with it.
    QScrollBar* pBar = m_pForm->findChild<QScrollArea*>(QStringLiteral("datePanesScrollArea"))->verticalScrollBar();
    pBar->setValue(pBar->value() + 3 * 140);
    CDateVisualPane* pUnder = m_pForm->paneAt(QCursor::pos());
    ASSERT_NE(pUnder, nullptr);
    ASSERT_NE(pUnder, pFirst);
    EXPECT_TRUE(pFirst->deleteButton()->isHidden());
    EXPECT_FALSE(pUnder->restoreButton()->isHidden()); // a day taken out offers Restore
    for (CDateVisualPane* pPane : panes) {
        if (pPane != pUnder) {
            EXPECT_TRUE(pPane->deleteButton()->isHidden() && pPane->restoreButton()->isHidden());
        }
    }

    // Delete takes out the day under the mouse, and only a day still to be exported.
    pBar->setValue(0);
    QTest::keyClick(m_pForm.get(), Qt::Key_Delete);
    EXPECT_FALSE(m_pManager->exportedSrids().begin()->second.bEnabled);
    EXPECT_EQ(m_pForm->totalSize(), 0u);
    pFirst->restoreButton()->click();

    // Built anew, as after a time zone change, the list keeps the same day in view.
    pBar->setValue(5 * 140 + 30);
    const QPoint nearTop = pBar->parentWidget()->parentWidget()->mapToGlobal(QPoint(400, 40));
    ASSERT_NE(m_pForm->paneAt(nearTop), nullptr);
    const QString qsKeyInView = m_pForm->paneAt(nearTop)->exportKey();
    ASSERT_TRUE(m_pForm->initVisualArea());
    QTest::qWait(50);
    ASSERT_NE(m_pForm->paneAt(nearTop), nullptr);
    EXPECT_EQ(m_pForm->paneAt(nearTop)->exportKey(), qsKeyInView);

    QSignalSpy start(m_pForm.get(), &CVideosFoundFrm::activateStartFrm);
    QSignalSpy startExport(m_pForm.get(), &CVideosFoundFrm::startExport);
    QSignalSpy cancel(m_pForm.get(), &CVideosFoundFrm::cancelProcessing);
    QSignalSpy clear(m_pForm.get(), &CVideosFoundFrm::clearKelmFilesFound);
    QTest::keyClick(m_pForm.get(), Qt::Key_Escape); // CANCEL
    EXPECT_EQ(start.size(), 1);
    EXPECT_TRUE(clear.isEmpty());
    QTest::keyClick(m_pForm.get(), Qt::Key_Return); // CREATE VIDEO
    ASSERT_EQ(startExport.size(), 1);
    QTest::keyClick(m_pForm.get(), Qt::Key_Return); // nothing while exporting
    QTest::keyClick(m_pForm.get(), Qt::Key_Escape); // the round cancel button
    EXPECT_EQ(startExport.size(), 1);
    EXPECT_EQ(cancel.size(), 1);
    m_pForm->setStatusPaneConvertedResults();
    QTest::keyClick(m_pForm.get(), Qt::Key_Escape); // no CANCEL on the results
    EXPECT_EQ(start.size(), 1);
    QTest::keyClick(m_pForm.get(), Qt::Key_Return); // RESTART
    EXPECT_EQ(clear.size(), 1);
    EXPECT_EQ(start.size(), 2);

    for (const char* pName : {"tbRefresh", "tbCancel"})
        EXPECT_FALSE(m_pForm->findChild<QToolButton*>(QString::fromLatin1(pName))->toolTip().isEmpty()) << pName;
}

TEST_F(VideosFoundFrmTest, AnotherTimeZoneKeepsTheDayAtTheTopInView)
{
    LoadDays(12);
    ASSERT_TRUE(m_pForm->initVisualArea());
    QTest::qWait(50);
    auto* pArea = m_pForm->findChild<QScrollArea*>(QStringLiteral("datePanesScrollArea"));
    QScrollBar* pBar = pArea->verticalScrollBar();
    pBar->setValue(6 * 140 + 30); // the seventh day a little under the top
    const QPoint nearTop = pArea->viewport()->mapToGlobal(QPoint(400, 40));
    CDateVisualPane* pTop = m_pForm->paneAt(nearTop);
    ASSERT_NE(pTop, nullptr);
    const QString qsKeyInView = pTop->exportKey();
    const int nOffset = pTop->mapTo(pArea->viewport(), QPoint()).y();
    ASSERT_TRUE(pTop->plate()->titleLabel()->text().contains(QStringLiteral("_10.00-")));

    // The day at the top stays there, its times now two hours later.
    QComboBox* pZones = m_pForm->findChild<KcForms::CTimeZoneSelector*>()->comboBox();
    pZones->setCurrentIndex(pZones->currentIndex() == 7 ? 6 : 7); // UTC+5 or UTC+6
    const auto later = [&] {
        CDateVisualPane* pPane = m_pForm->paneAt(nearTop);
        return pPane && !pPane->plate()->titleLabel()->text().contains(QStringLiteral("_10.00-"));
    };
    ASSERT_TRUE(WaitFor(later));
    QTest::qWait(50);
    pTop = m_pForm->paneAt(nearTop);
    ASSERT_NE(pTop, nullptr);
    EXPECT_EQ(pTop->exportKey(), qsKeyInView);
    EXPECT_EQ(pTop->mapTo(pArea->viewport(), QPoint()).y(), nOffset);
}

TEST_F(VideosFoundFrmTest, AFailedFileStaysRedAndAFullDiskStopsTheExport)
{
    LoadOneDay();
    m_pForm->setMode(CVideosFoundFrm::mdExporting);
    ASSERT_TRUE(m_pForm->initVisualArea());
    const ulong ulBatch = m_pManager->exportedSrids().begin()->second.batchId;
    CDateVisualPane* pPane = m_pForm->batchPane(ulBatch);
    ASSERT_NE(pPane, nullptr);
    EXPECT_EQ(pPane->state(), CDateVisualPane::stExporting);

    // A single file reads without counts; its pane fills.
    m_pForm->onExportingProgress(40, ulBatch, 40, 1, 12.0);
    EXPECT_EQ(Label("lbProgressMsg")->text(), QStringLiteral("Creating videofile..."));
    EXPECT_EQ(pPane->plate()->progressBar()->value(), 40);

    QSignalSpy cancels(m_pForm.get(), &CVideosFoundFrm::cancelProcessing);
    m_pForm->onFragmentExportingStarted(ulBatch);
    m_pForm->onExportError(ulBatch, QStringLiteral("write failed"), QStringLiteral("x.mp4"), 18);
    m_pForm->onFragmentExportingFinished(ulBatch);
    EXPECT_EQ(pPane->state(), CDateVisualPane::stFailed);
    EXPECT_EQ(cancels.count(), 0);

    m_pForm->onExportError(ulBatch, QStringLiteral("disk full"), QStringLiteral("x.mp4"), 24);
    EXPECT_EQ(cancels.count(), 1);

    // Reports for batches without a pane are ignored.
    m_pForm->onFragmentExportingFinished(0);
    m_pForm->onFragmentExportingFinished(ulBatch + 7);
}

// A day that came out incomplete (an input gone, a track missing) is not shown as done.
TEST_F(VideosFoundFrmTest, ADayWithProblemsShowsFailedAndAWholeOneExported)
{
    LoadOneDay();
    for (const int nOutcome :
         {int(KcWorkers::CWorkManager::doCreated), int(KcWorkers::CWorkManager::doCreatedWithProblems),
          int(KcWorkers::CWorkManager::doNotCreated)}) {
        m_pForm->setMode(CVideosFoundFrm::mdExporting);
        ASSERT_TRUE(m_pForm->initVisualArea());
        const ulong ulBatch = m_pManager->exportedSrids().begin()->second.batchId;
        m_pForm->onFragmentExportingStarted(ulBatch);
        m_pForm->onFragmentExportOutcome(ulBatch, nOutcome, QStringLiteral("input gone"));
        m_pForm->onFragmentExportingFinished(ulBatch);
        EXPECT_EQ(m_pForm->batchPane(ulBatch)->state(), nOutcome == KcWorkers::CWorkManager::doCreated
                                                            ? CDateVisualPane::stExported
                                                            : CDateVisualPane::stFailed)
            << nOutcome;
    }
}

TEST(ResultsTitleTest, EnglishTitlesFollowTheCounts)
{
    const struct {
        ulong exported, total;
        const char* title;
    } cases[] = {
        {0, 5, "No videofiles created"},
        {6, 5, "Videofiles created"},
        {1, 1, "Videofile created"},
        {3, 3, "3 videofiles successfully created"},
        {21, 21, "21 videofiles successfully created"},
        {2, 5, "2 of 5 videofiles created"},
        {1, 21, "1 of 21 videofiles created"},
    };
    for (const auto& testCase : cases)
        EXPECT_EQ(CVideosFoundFrm::resultsTitle(testCase.exported, testCase.total), QString::fromUtf8(testCase.title))
            << testCase.exported << " of " << testCase.total;
}

TEST_F(VideosFoundFrmTest, RussianTitlesTakeThePluralFormOfTheTotal)
{
    QTranslator translator;
    ASSERT_TRUE(translator.load(QStringLiteral(KC_TRANSLATION_FILE)));
    ASSERT_TRUE(QCoreApplication::installTranslator(&translator));
    const struct {
        ulong exported, total;
        const char* title;
    } cases[] = {
        {21, 21, "21 видеофайл успешно создан"},
        {22, 22, "22 видеофайла успешно созданы"},
        {12, 12, "12 видеофайлов успешно создано"},
        {11, 11, "11 видеофайлов успешно создано"},
        {5, 5, "5 видеофайлов успешно создано"},
        {1, 21, "Создано 1 из 21 видеофайла"},
        {1, 11, "Создано 1 из 11 видеофайлов"},
        {3, 4, "Создано 3 из 4 видеофайлов"},
        {1, 1, "Видеофайл создан"},
        {0, 3, "Видеофайлы не созданы"},
    };
    for (const auto& testCase : cases)
        EXPECT_EQ(CVideosFoundFrm::resultsTitle(testCase.exported, testCase.total), QString::fromUtf8(testCase.title))
            << testCase.exported << " of " << testCase.total;
    // The hour words, whose English sources differ from the Russian forms.
    const struct {
        quint64 seconds;
        bool bAfterFrom;
        const char* text;
    } durations[] = {
        {3600, false, "1 час "},
        {3600, true, "1 часа "},
        {21 * 3600, false, "21 час "},
        {21 * 3600, true, "21 часа "},
        {3 * 3600, false, "3 часа "},
        {3 * 3600, true, "3 часов "},
        {5 * 3600 + 120, false, "5 часов 2 мин "},
    };
    for (const auto& duration : durations)
        EXPECT_EQ(KcCore::CDisplayText::duration(duration.seconds, duration.bAfterFrom),
                  QString::fromUtf8(duration.text))
            << duration.seconds << " " << duration.bAfterFrom;
    QCoreApplication::removeTranslator(&translator);
}
