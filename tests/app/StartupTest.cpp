// Start-up and shutdown of the application object: the log entries in order, the translation,
// the desktop path, the time zone check and the failures that end the start with exit code 1.

#include "AppTestSupport.h"

#include "core/Log.h"
#include "forms/StartFrm.h"
#include "workers/WorkManager.h"

#include <QFile>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>

using namespace KcAppTest;

namespace {

class StartupTest : public AppTest {};

// The messages of a log with the start-up entries only (before any user action).
const QStringList kStartupInRussian = {
    "Kelm Converter Application Started",
    "",
    "Initializing the Application core ...",
    "Russian language translator loaded and installed OK",
    "Initializing the main window ...",
    "The main window initialized OK",
    "Current time zone is UTC+3",
    "The Application core initialization complete OK",
    "The Application main window displayed",
    "",
};

} // namespace

TEST_F(StartupTest, LogsEveryStepInOrderAndStartsInRussian)
{
    InstallTranslation();
    ASSERT_TRUE(Start());

    EXPECT_EQ(LogMessages(), kStartupInRussian);
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_TRUE(Window().isVisible());
    EXPECT_EQ(CurrentPage(), Window().startFrm());
    EXPECT_EQ(Button(Window().startFrm(), "pbBrowse")->text(), QStringLiteral("ВЫБРАТЬ ПАПКУ"));
    EXPECT_EQ(KcMain::CKelmConverterApp::desktopPath(), Desktop() + QStringLiteral("/"));
    EXPECT_EQ(Manager().exportLocation(), Desktop() + QStringLiteral("/"));
    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("KelmConverter"));
    EXPECT_EQ(QLocale().language(), QLocale::Russian);
}

TEST_F(StartupTest, WithoutTheTranslationFileStartsInEnglishAfterOneWarning)
{
    ASSERT_TRUE(Start());

    const QString qsWarning = QStringLiteral("Russian language file not found: %1/kelmconverter_ru.qm. English "
                                             "language interface will be used")
                                  .arg(AppDir());
    const QStringList slLog = LogMessages();
    ASSERT_GE(slLog.size(), 5);
    EXPECT_EQ(slLog[3], qsWarning);
    EXPECT_EQ(slLog[4], QString());
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(m_boxes[0].qsTitle, QStringLiteral("Kelm Converter"));
    EXPECT_EQ(m_boxes[0].qsText, qsWarning);
    EXPECT_EQ(Button(Window().startFrm(), "pbBrowse")->text(), QStringLiteral("BROWSE FOR FOLDER"));
}

TEST_F(StartupTest, ATranslationThatCannotBeInstalledLeavesEnglish)
{
    // A valid translation file without a single message loads, but Qt refuses to install it.
    QFile file(QDir(AppDir()).filePath(QStringLiteral("kelmconverter_ru.qm")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const unsigned char magic[] = {0x3c, 0xb8, 0x64, 0x18, 0xca, 0xef, 0x9c, 0x95,
                                   0xcd, 0x21, 0x1c, 0xbf, 0x60, 0xa1, 0xbd, 0xdd};
    file.write(reinterpret_cast<const char*>(magic), sizeof(magic));
    file.close();

    ASSERT_TRUE(Start());

    const QString qsWarning =
        QStringLiteral("Failed to install Russian language translator: English language interface will be used");
    EXPECT_TRUE(LogMessages().contains(qsWarning));
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].qsText, qsWarning);
}

TEST_F(StartupTest, AnUnwritableLogFolderOnlyCostsTheLog)
{
    // An installed program: the log goes to the state folder, created as needed, without a box.
    App().qsAppDir = QDir(AppDir()).filePath(QStringLiteral("missing"));
    ASSERT_TRUE(Start());
    const QString qsStateLog = StateHome() + QStringLiteral("/KelmConverter");
    EXPECT_EQ(KcLog::logFilePath(), qsStateLog + QStringLiteral("/KelmConverter.log"));
    EXPECT_EQ(LogMessages(qsStateLog).value(2), QStringLiteral("Initializing the Application core ..."));
    EXPECT_EQ(m_boxes.size(), 1u); // the translation's warning only
    KcLog::logClose();

    // Neither place takes the log: one box says so, and the program still starts.
    m_boxes.clear();
    QFile blocker(StateHome() + QStringLiteral("-file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_STATE_HOME", blocker.fileName().toUtf8());
    App().openLog();
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_EQ(m_boxes[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(m_boxes[0].qsText.startsWith(QStringLiteral("Cannot open application Log file: ")));
    EXPECT_TRUE(m_boxes[0].qsText.contains(QStringLiteral("KelmConverter.log")));
    EXPECT_TRUE(Window().isVisible());
}

TEST_F(StartupTest, TheInstalledTranslationServesWhenNoneIsBesideTheProgram)
{
    // <prefix>/bin/kelmconverter finds <prefix>/share/kelmconverter/translations.
    App().qsAppDir = StateHome() + QStringLiteral("/prefix/bin");
    ASSERT_TRUE(QDir().mkpath(App().qsAppDir));
    InstallTranslation(StateHome() + QStringLiteral("/prefix/share/kelmconverter/translations"));
    ASSERT_TRUE(Start());
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(Button(Window().startFrm(), "pbBrowse")->text(), QStringLiteral("ВЫБРАТЬ ПАПКУ"));
    // An installed copy keeps its log out of bin/ even where it could write there (as root).
    EXPECT_EQ(KcLog::logFilePath(), StateHome() + QStringLiteral("/KelmConverter/KelmConverter.log"));
    EXPECT_FALSE(QFile::exists(App().qsAppDir + QStringLiteral("/KelmConverter.log")));
    // Qt's own dialogs and buttons speak Russian with it.
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Перейти к:"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Да"));
}

TEST_F(StartupTest, WithoutQtsTranslationOnlyTheLogTellsAndOursStays)
{
    InstallTranslation();
    App().qsQtTranslations = Desktop();
    ASSERT_TRUE(Start());
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_TRUE(LogMessages().contains(
        QStringLiteral(
            "Qt's Russian translation (qtbase_ru.qm) not found in %1: the standard dialogs will speak English")
            .arg(Desktop())));
    EXPECT_EQ(Button(Window().startFrm(), "pbBrowse")->text(), QStringLiteral("ВЫБРАТЬ ПАПКУ"));
}

TEST_F(StartupTest, TheDesktopPathEndsInExactlyOneSlash)
{
    App().qsDesktop = Desktop() + QStringLiteral("/");
    ASSERT_TRUE(App().obtainDesktopPath());
    EXPECT_EQ(KcMain::CKelmConverterApp::desktopPath(), Desktop() + QStringLiteral("/"));
}

TEST_F(StartupTest, WithoutADesktopTheStartFailsWithExitCodeOne)
{
    App().qsDesktop.clear();
    EXPECT_EQ(App().run(), 1);

    EXPECT_TRUE(LogMessages().contains(
        QStringLiteral("Failed to get standard path to the desktop directory. The application will be closed")));
    ASSERT_FALSE(m_boxes.empty());
    EXPECT_EQ(m_boxes.back().icon, QMessageBox::Critical);
    EXPECT_EQ(m_boxes.back().qsText, QStringLiteral("Failed to start KelmConverter. Please, contact support."));
}

TEST_F(StartupTest, WithoutAWorkManagerOnlyTheMainWindowIsBlamed)
{
    // No work manager leaves the window without its videos-found page: both fail, the window is
    // checked first.
    App().bFailWorkManager = true;
    EXPECT_EQ(App().run(), 1);

    const QStringList slLog = LogMessages();
    EXPECT_TRUE(slLog.contains(QStringLiteral("Failed to create main window. The application will be closed")));
    EXPECT_FALSE(slLog.contains(QStringLiteral(
        "Failed to create initialize the internal work manager object. The application will be closed")));
    EXPECT_EQ(m_boxes.back().qsText, QStringLiteral("Failed to start KelmConverter. Please, contact support."));
}

TEST(TimeZoneCheckTest, AcceptsWholeHoursFromTwoToTwelveEastOfUtc)
{
    const struct {
        int seconds;
        bool bSupported;
        const char* text;
    } cases[] = {
        {2 * 3600, true, "Current time zone is UTC+2"},
        {12 * 3600, true, "Current time zone is UTC+12"},
        {5 * 3600 + 1800, true, "Current time zone is UTC+5"}, // half-hour zones count toward zero
        {1 * 3600, false, "Current time zone is not supported: UTC+1. The application will not work properly"},
        {13 * 3600, false, "Current time zone is not supported: UTC+13. The application will not work properly"},
        {0, false, "Current time zone is not supported: UTC+0. The application will not work properly"},
        {-1800, false, "Current time zone is not supported: UTC+0. The application will not work properly"},
        {-5 * 3600, false, "Current time zone is not supported: UTC-5. The application will not work properly"},
    };
    for (const auto& testCase : cases) {
        QString qsText;
        EXPECT_EQ(KcMain::CKelmConverterApp::checkTimeZone(testCase.seconds, qsText), testCase.bSupported)
            << testCase.seconds;
        EXPECT_EQ(qsText, QString::fromLatin1(testCase.text));
    }
}

TEST_F(StartupTest, AnUnsupportedZoneIsLoggedAndTheProgramStartsAnyway)
{
    App().nStandardOffset = -5 * 3600;
    ASSERT_TRUE(Start());
    EXPECT_TRUE(LogMessages().contains(
        QStringLiteral("Current time zone is not supported: UTC-5. The application will not work properly")));
    EXPECT_TRUE(Window().isVisible());
}

TEST_F(StartupTest, ConfirmedCloseWhileIdleEndsTheEventLoopWithTheClosingEntry)
{
    ASSERT_TRUE(Start());
    Manager().setQuitHandler({}); // the real quit this time
    QTimer::singleShot(0, &App(), [this] { Window().close(); });

    EXPECT_EQ(App().exec(), 0);

    const QStringList slLog = LogMessages();
    ASSERT_GE(slLog.size(), 5);
    EXPECT_EQ(slLog.mid(slLog.size() - 5), (QStringList{"", "The 'close app' command accepted",
                                                        "And was confirmed by user - request to exit generated",
                                                        "Exiting the Kelm Converter Application ...", ""}));
    ASSERT_EQ(m_boxes.size(), 2u); // the missing translation, then the question
    EXPECT_EQ(m_boxes[1].icon, QMessageBox::Question);
    EXPECT_EQ(m_boxes[1].qsText, QStringLiteral("Are you sure you want to exit?"));
    EXPECT_EQ(m_boxes[1].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(m_boxes[1].defaultButton, QMessageBox::NoButton);
}
