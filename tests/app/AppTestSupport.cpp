#include "AppTestSupport.h"

#include "core/Log.h"
#include "core/TimeUtil.h"
#include "forms/StartFrm.h"
#include "workers/WorkManager.h"

#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextStream>

namespace KcAppTest {

namespace {

int g_argc = 1;
char g_arg0[] = "kc_app_tests";
char* g_argv[] = {g_arg0, nullptr};

} // namespace

CTestApp::CTestApp(const QString& qsAppDirectory, const QString& qsDesktopFolder)
    : KcMain::CKelmConverterApp(g_argc, g_argv),
      qsAppDir(qsAppDirectory),
      qsDesktop(qsDesktopFolder)
{
}

KcWorkers::CWorkManager* CTestApp::newWorkManager(const QString& qsExportLocation)
{
    return bFailWorkManager ? nullptr : KcMain::CKelmConverterApp::newWorkManager(qsExportLocation);
}

void AppTest::SetUp()
{
    ASSERT_TRUE(m_tempDir.isValid());
    m_dir.setPath(m_tempDir.path());
    ASSERT_TRUE(m_dir.mkpath(QStringLiteral("app")));
    ASSERT_TRUE(m_dir.mkpath(QStringLiteral("Desktop")));
    ASSERT_TRUE(m_dir.mkpath(QStringLiteral("recordings")));
    KcTime::CTimeUtil::setSelectedTimeZone(QTimeZone(3 * 3600));
    // Where a log goes that cannot be beside the executable; never the user's own.
    m_qbaStateHome = qgetenv("XDG_STATE_HOME");
    m_bHadStateHome = qEnvironmentVariableIsSet("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", StateHome().toUtf8());

    KcMain::setMessageBoxHandler([this](const KcMain::SMessageBoxRequest& request) {
        m_boxes.push_back(request);
        if (!m_answers.empty()) {
            const QMessageBox::StandardButton answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        }
        return (request.buttons & QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    });
}

void AppTest::TearDown()
{
    if (m_pApp) {
        // A finished job's thread deletes itself through the event loop, which a test does not
        // run to its end: the work manager waits for the thread, then the posted deletions run.
        delete m_pApp->mainWindow();
        delete m_pApp->workManager();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    m_pApp.reset();
    KcLog::logClose();
    KcMain::setMessageBoxHandler({});
    KcTime::CTimeUtil::setSelectedTimeZone(QTimeZone());
    if (m_bHadStateHome)
        qputenv("XDG_STATE_HOME", m_qbaStateHome);
    else
        qunsetenv("XDG_STATE_HOME");
}

void AppTest::InstallTranslation(const QString& qsFolder)
{
    const QString qsDir = qsFolder.isEmpty() ? AppDir() : qsFolder;
    ASSERT_TRUE(QDir().mkpath(qsDir));
    const QString qsTarget = QDir(qsDir).filePath(QStringLiteral("kelmconverter_ru.qm"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(KC_TRANSLATION_FILE), qsTarget)) << KC_TRANSLATION_FILE;
}

CTestApp& AppTest::App()
{
    if (!m_pApp)
        m_pApp = std::make_unique<CTestApp>(AppDir(), Desktop());
    return *m_pApp;
}

bool AppTest::Start()
{
    App().openLog();
    if (!App().initialize())
        return false;
    Manager().setQuitHandler([this] { ++m_nQuitRequests; });
    return true;
}

QWidget* AppTest::CurrentPage()
{
    return Window().formStack()->currentWidget();
}

QStringList AppTest::LogMessages(const QString& qsFolder) const
{
    QFile file(QDir(qsFolder.isEmpty() ? AppDir() : qsFolder).filePath(QStringLiteral("KelmConverter.log")));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList slMessages;
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    while (!stream.atEnd()) {
        const QString qsLine = stream.readLine();
        const int nHeaderEnd = qsLine.startsWith(QLatin1Char('[')) ? qsLine.indexOf(QStringLiteral("] ")) : -1;
        slMessages.append(nHeaderEnd < 0 ? qsLine : qsLine.mid(nHeaderEnd + 2));
    }
    return slMessages;
}

void AppTest::WriteRecording(const QString& qsName, const std::string& srid, double startUtc, double endUtc)
{
    KcTest::SRecordingOptions options;
    options.srid = srid;
    options.startUtc = startUtc;
    options.endUtc = endUtc;
    const std::string path = QDir(Recordings()).filePath(qsName).toStdString();
    ASSERT_TRUE(KcTest::WriteRecordingFile(path, options).ok) << path;
}

void AppTest::WriteBrokenFile(const QString& qsName)
{
    QFile file(QDir(Recordings()).filePath(qsName));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is no recording\n");
}

void AppTest::DropRecordings(ulong ulExpectedFiles)
{
    KcForms::CStartFrm* pStart = Window().startFrm();
    QMimeData mimeData;
    mimeData.setUrls({QUrl::fromLocalFile(Recordings())});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mimeData, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pStart, &enter);
    QDropEvent drop(QPoint(20, 20), Qt::CopyAction, &mimeData, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(pStart, &drop);

    ASSERT_TRUE(
        WaitFor([&] { return Manager().state() == KcWorkers::CWorkManager::wsIdle && CurrentPage() == pStart; }));
    ASSERT_EQ(pStart->filesCounter(), ulExpectedFiles);
}

QPushButton* AppTest::Button(QWidget* pForm, const char* pName)
{
    auto* pButton = pForm->findChild<QPushButton*>(QString::fromLatin1(pName));
    EXPECT_NE(pButton, nullptr) << pName;
    return pButton;
}

} // namespace KcAppTest
