// The main window on its own: page switching and what each switch prepares, the close question,
// and pages that are missing.

#include "AppTestSupport.h"

#include "core/Log.h"
#include "forms/AnalyzeErrorsFrm.h"
#include "forms/AnalyzeFilesFrm.h"
#include "forms/StartFrm.h"
#include "forms/VideosFoundFrm.h"
#include "workers/WorkManager.h"

#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>

using namespace KcAppTest;

namespace {

class MainWinTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        ASSERT_TRUE(Start());
    }
};

} // namespace

TEST_F(MainWinTest, SwitchingToTheProgressPageAlwaysResetsItsBar)
{
    auto* pBar = Window().analyzeFilesFrm()->findChild<QProgressBar*>(QStringLiteral("progressBar"));
    Window().onActivateAnalyzeFilesFrm();
    Window().analyzeFilesFrm()->onUpdateProgressBar(57);
    Window().onActivateAnalyzeFilesFrm(); // already current
    EXPECT_EQ(pBar->value(), 0);
    EXPECT_EQ(CurrentPage(), Window().analyzeFilesFrm());
    EXPECT_EQ(LogMessages().count(QStringLiteral("Files analyzing progress form displayed")), 2);
}

TEST_F(MainWinTest, TheErrorPageLeadingNowhereOffersRestartOnly)
{
    Window().onActivateAnalyzeErrorsFrm(QStringLiteral("Searching was cancelled"),
                                        QStringLiteral(".kelm files searching was cancelled"), KcForms::ufStartFrm);
    KcForms::CAnalyzeErrorsFrm* pErrors = Window().analyzeErrorsFrm();
    EXPECT_EQ(CurrentPage(), pErrors);
    EXPECT_EQ(pErrors->findChild<QLabel*>(QStringLiteral("lbMsgTextTitle"))->text(),
              QStringLiteral("Searching was cancelled"));
    EXPECT_FALSE(Button(pErrors, "pbCancel")->isVisible());
    EXPECT_EQ(Button(pErrors, "pbContinue")->text(), QStringLiteral("RESTART"));

    Button(pErrors, "pbContinue")->click();
    EXPECT_EQ(CurrentPage(), Window().startFrm());
    EXPECT_TRUE(LogMessages().contains(QStringLiteral("Start app form displayed")));
}

TEST_F(MainWinTest, TheConvertedStateWithAnErrorShowsAndLogsIt)
{
    const QString qsError = QStringLiteral("Creating videofiles failed. Please, contact support.");
    Window().onActivateVideosConvertedFrm(qsError);

    KcForms::CVideosFoundFrm* pVideos = Window().videosFoundFrm();
    EXPECT_EQ(CurrentPage(), pVideos);
    EXPECT_EQ(pVideos->mode(), KcForms::CVideosFoundFrm::mdResults);
    EXPECT_EQ(pVideos->findChild<QLabel*>(QStringLiteral("lbExportErrorText"))->text(), qsError);
    EXPECT_TRUE(pVideos->findChild<QLabel*>(QStringLiteral("lbExportErrorText"))->isVisible());
    EXPECT_TRUE(pVideos->findChild<QLabel*>(QStringLiteral("lbExportExclamation"))->isVisible());
    EXPECT_TRUE(LogMessages().contains(QStringLiteral("The 'Videos Converted' form displayed with an error message: ")
                                       + qsError));

    Window().onActivateVideosConvertedFrm();
    EXPECT_FALSE(pVideos->findChild<QLabel*>(QStringLiteral("lbExportErrorText"))->isVisible());
    EXPECT_TRUE(LogMessages().contains(QStringLiteral("The 'Videos Converted' form displayed")));
}

TEST_F(MainWinTest, EscapeNeitherHidesThePageNorTheWindow)
{
    for (QWidget* pTarget : {CurrentPage(), static_cast<QWidget*>(&Window())}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(pTarget, &press);
        EXPECT_TRUE(Window().isVisible());
        EXPECT_TRUE(Window().startFrm()->isVisible());
    }
}

TEST_F(MainWinTest, ARejectedCloseChangesNothing)
{
    m_answers.push_back(QMessageBox::No);
    EXPECT_FALSE(Window().close());

    EXPECT_TRUE(Window().isVisible());
    EXPECT_EQ(m_nQuitRequests, 0);
    EXPECT_FALSE(Manager().isQuitRequested());
    const QStringList slLog = LogMessages();
    EXPECT_EQ(slLog.mid(slLog.size() - 3),
              (QStringList{"", "The 'close app' command accepted", "But was rejected by user."}));
}

TEST(MainWinAloneTest, WithoutAWorkManagerTheVideosPageIsReportedMissing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CTestApp app(dir.path(), dir.path());
    QString qsError;
    ASSERT_TRUE(KcLog::logOpen(QDir(dir.path()).filePath(QStringLiteral("test.log")), qsError));
    {
        KcMain::CKelmConverterMainWin window(nullptr);
        EXPECT_FALSE(window.isInitialized());
        window.onActivateVideosFoundFrm();
        window.onActivateVideosConvertedFrm(QStringLiteral("x"));
        EXPECT_EQ(window.formStack()->currentWidget(), window.startFrm());
    }
    KcLog::logClose();

    QFile file(QDir(dir.path()).filePath(QStringLiteral("test.log")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString qsLog = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(qsLog.contains(QStringLiteral(
        "FATAL] Internal error: Failed to make main window core object connections. The application will be closed")));
    EXPECT_TRUE(qsLog.contains(
        QStringLiteral("FATAL] Internal error: Failed to display 'Videos Found' form - not initialized\n\n")));
    EXPECT_TRUE(qsLog.contains(
        QStringLiteral("FATAL] Internal error: Failed to display 'Videos Converted' form - not initialized")));
}
