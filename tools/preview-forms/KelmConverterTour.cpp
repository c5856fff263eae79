// Takes the desktop program through one conversion as a user would — drop a folder, CONTINUE,
// CREATE VIDEO — on a real display, and saves a screenshot of the screen at every page. It is the
// program itself (the same application object, start-up and window); only the user is played.
//
//   kelmconverter-tour run <recordings folder> <screenshot folder>
//   kelmconverter-tour look <recordings folder> <screenshot folder>   (stops at the videos found)
//   kelmconverter-tour grab <png file>     (the whole screen, for a program started apart)
//
// It sits next to kelmconverter, so it finds the same translation and writes the same log.

#include "app/KelmConverterApp.h"
#include "app/KelmConverterMainWin.h"
#include "app/MessageBox.h"
#include "forms/AnalyzeErrorsFrm.h"
#include "forms/StartFrm.h"
#include "forms/VideosFoundFrm.h"
#include "workers/WorkManager.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <functional>

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

// Generous: the machine may be shared; only a hang ever waits this long.
constexpr int kPageWaitMs = 120000;
constexpr int kExportWaitMs = 900000;

bool waitFor(const std::function<bool()>& done, int nTimeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > nTimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(10);
    }
    return true;
}

// Lets the window paint before the screen is read.
void settle()
{
    waitFor([] { return false; }, 400);
}

bool grabScreen(const QString& qsPath)
{
    QScreen* pScreen = QGuiApplication::primaryScreen();
    const QPixmap pixmap = pScreen ? pScreen->grabWindow(0) : QPixmap();
    if (pixmap.isNull() || !pixmap.save(qsPath, "PNG")) {
        out() << "cannot save a screenshot to " << qsPath << "\n";
        out().flush();
        return false;
    }
    out() << "screenshot " << qsPath << "\n";
    out().flush();
    return true;
}

class CTour {
public:
    CTour(KcMain::CKelmConverterApp& app, const QString& qsRecordings, const QDir& shots, bool bLookOnly)
        : m_bLookOnly(bLookOnly),
          m_app(app),
          m_qsRecordings(qsRecordings),
          m_shots(shots)
    {
    }

    bool run()
    {
        KcMain::CKelmConverterMainWin* pWindow = m_app.mainWindow();
        QStackedWidget* pStack = pWindow->formStack();
        KcForms::CStartFrm* pStart = pWindow->startFrm();
        KcForms::CAnalyzeErrorsFrm* pErrors = pWindow->analyzeErrorsFrm();
        KcForms::CVideosFoundFrm* pVideos = pWindow->videosFoundFrm();

        settle();
        if (!shot("01-start"))
            return false;

        drop(pStart);
        if (!waitFor([&] { return pStack->currentWidget() == pStart && pStart->filesCounter() > 0; }, kPageWaitMs))
            return fail("no .kelm files were found in " + m_qsRecordings);
        settle();
        if (!shot("02-files-found"))
            return false;

        click(pStart, "pbContinue");
        if (!waitFor([&] { return pStack->currentWidget() == pErrors || pStack->currentWidget() == pVideos; },
                     kPageWaitMs))
            return fail("the analysis did not end");
        if (pStack->currentWidget() == pErrors) {
            settle();
            if (!shot("03-unusable-files"))
                return false;
            click(pErrors, "pbContinue");
            if (!waitFor([&] { return pStack->currentWidget() == pVideos; }, kPageWaitMs))
                return fail("the error page did not lead on to the videos found");
        }
        settle();
        if (!shot("04-videos-found"))
            return false;
        if (m_bLookOnly)
            return true;

        auto* pCreate = pVideos->findChild<QPushButton*>(QStringLiteral("pbCreateVideo"));
        if (!pCreate || !pCreate->isEnabled())
            return fail("CREATE VIDEO is not available: "
                        + pVideos->findChild<QLabel*>(QStringLiteral("lbSizeInfo"))->text());
        // The export of the demo takes a moment only: the page is taken right after the page has
        // handled a progress report, while the export thread's later reports wait in the queue.
        bool bExportShot = false;
        const QMetaObject::Connection progress =
            QObject::connect(m_app.workManager(), &KcWorkers::CWorkManager::exportingProgress, pVideos,
                             [&](int nPercent, ulong ulFragmentID) {
                                 if (bExportShot || (nPercent < 30 && ulFragmentID < 2))
                                     return;
                                 bExportShot = true;
                                 pWindow->repaint();
                                 shot("05-exporting");
                             });
        pCreate->click();
        const bool bEnded =
            waitFor([&] { return pVideos->mode() == KcForms::CVideosFoundFrm::mdResults; }, kExportWaitMs);
        QObject::disconnect(progress);
        if (!bEnded)
            return fail("the export did not end");
        settle();
        if (!shot("06-results"))
            return false;
        out() << "results: " << pVideos->findChild<QLabel*>(QStringLiteral("lbTitleText"))->text() << "\n";
        return true;
    }

private:
    bool shot(const char* pName)
    {
        return grabScreen(m_shots.filePath(QString::fromLatin1(pName) + QStringLiteral(".png")));
    }

    bool fail(const QString& qsWhy)
    {
        out() << "kelmconverter-tour: " << qsWhy << "\n";
        settle();
        shot("failed");
        return false;
    }

    void drop(QWidget* pStart)
    {
        QMimeData mimeData;
        mimeData.setUrls({QUrl::fromLocalFile(m_qsRecordings)});
        const QPoint centre = pStart->rect().center();
        QDragEnterEvent enter(centre, Qt::CopyAction, &mimeData, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(pStart, &enter);
        QDropEvent drop(centre, Qt::CopyAction, &mimeData, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(pStart, &drop);
    }

    static void click(QWidget* pForm, const char* pButton)
    {
        if (auto* pPushButton = pForm->findChild<QPushButton*>(QString::fromLatin1(pButton)))
            pPushButton->click();
    }

    bool m_bLookOnly;
    KcMain::CKelmConverterApp& m_app;
    QString m_qsRecordings;
    QDir m_shots;
};

int usage()
{
    out() << "usage: kelmconverter-tour run <recordings folder> <screenshot folder>\n"
             "       kelmconverter-tour look <recordings folder> <screenshot folder>   (up to the videos found)\n"
             "       kelmconverter-tour grab <png file>\n";
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    const QString qsMode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (qsMode == QLatin1String("grab") && argc == 3) {
        QGuiApplication app(argc, argv);
        return grabScreen(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    // "look" stops at the videos found, for the pages of a large folder without its export.
    const bool bLookOnly = qsMode == QLatin1String("look");
    if ((qsMode != QLatin1String("run") && !bLookOnly) || argc != 4)
        return usage();

    const QString qsRecordings = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    const QDir shots(QString::fromLocal8Bit(argv[3]));
    if (!QDir().mkpath(shots.path())) {
        out() << "cannot create " << shots.path() << "\n";
        return 1;
    }

    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    KcMain::CKelmConverterApp app(argc, argv);
    // The played user reads every box into the output and answers yes.
    KcMain::setMessageBoxHandler([](const KcMain::SMessageBoxRequest& request) {
        out() << "message box: " << request.qsText << "\n";
        out().flush();
        return (request.buttons & QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    });

    app.openLog();
    if (!app.initialize()) {
        out() << "kelmconverter-tour: the program did not start (see KelmConverter.log)\n";
        return 1;
    }

    bool bToured = false;
    QTimer::singleShot(0, &app, [&] {
        CTour tour(app, qsRecordings, shots, bLookOnly);
        bToured = tour.run();
        // As the user closes the window: the question is answered yes and the program ends once
        // no job runs.
        app.mainWindow()->close();
    });
    const int nExitCode = app.exec();
    return bToured ? nExitCode : 1;
}
