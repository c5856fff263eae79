#include "app/KelmConverterApp.h"

#include "app/KelmConverterMainWin.h"
#include "app/MessageBox.h"
#include "core/InstallPaths.h"
#include "core/Log.h"
#include "core/TimeUtil.h"
#include "forms/AnalyzeFilesFrm.h"
#include "forms/StartFrm.h"
#include "forms/VideosFoundFrm.h"
#include "workers/WorkManager.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>

#include <functional>
#include <new>
#include <vector>

using KcLog::logWrite;
using KcLog::logWriteSpaced;

namespace KcMain {

namespace {

const QString kLogTag = QStringLiteral("Main");

QString& desktopPathStorage()
{
    static QString qsPath;
    return qsPath;
}

} // namespace

CKelmConverterApp::CKelmConverterApp(int& argc, char** argv)
    : QApplication(argc, argv)
{
    addLibraryPath(applicationDirPath());
    setApplicationName(QStringLiteral("KelmConverter"));
    setApplicationVersion(QStringLiteral(KC_VERSION));
    // Locale-aware numbers (the sizes) group their digits the Russian way.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::AnyCountry));
}

CKelmConverterApp::~CKelmConverterApp()
{
    // The window's pages refer into the work manager, which goes with this object's children.
    delete m_pMainWin;
}

CKelmConverterMainWin* CKelmConverterApp::mainWindow() const
{
    return m_pMainWin;
}

KcWorkers::CWorkManager* CKelmConverterApp::workManager() const
{
    return m_pWorkManager;
}

QString CKelmConverterApp::applicationDirectory() const
{
    return applicationDirPath();
}

QString CKelmConverterApp::installedTranslationsDirectory() const
{
    return KcPaths::installedTranslationsFolder(applicationDirectory());
}

QString CKelmConverterApp::qtTranslationsDirectory() const
{
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
}

QString CKelmConverterApp::systemDesktopLocation() const
{
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

int CKelmConverterApp::systemStandardOffset() const
{
    return KcTime::CTimeUtil::systemStandardOffsetNow();
}

KcWorkers::CWorkManager* CKelmConverterApp::newWorkManager(const QString& qsExportLocation)
{
    return new (std::nothrow) KcWorkers::CWorkManager(qsExportLocation, this);
}

QString CKelmConverterApp::desktopPath()
{
    return desktopPathStorage();
}

int CKelmConverterApp::run()
{
    openLog();
    if (!initialize()) {
        showMessageBox(QMessageBox::Critical, tr("Failed to start KelmConverter. Please, contact support."));
        return 1;
    }
    return exec();
}

void CKelmConverterApp::openLog()
{
    QString qsError;
    if (!KcLog::logOpenBesideOrInState(applicationDirectory(), qsError))
        showMessageBox(QMessageBox::Warning, qsError);
    logWriteSpaced(KcLog::INFO, kLogTag, QStringLiteral("Kelm Converter Application Started"));
}

bool CKelmConverterApp::initialize()
{
    try {
        logWrite(KcLog::INFO, kLogTag, QStringLiteral("Initializing the Application core ..."));
        loadTranslator();
        if (!obtainDesktopPath() || !createCoreObjects() || !connectCoreObjects())
            return false;

        QString qsZoneText;
        const bool bZoneSupported = checkTimeZone(systemStandardOffset(), qsZoneText);
        logWrite(bZoneSupported ? KcLog::INFO : KcLog::ERROR, kLogTag, qsZoneText);

        logWrite(KcLog::INFO, kLogTag, QStringLiteral("The Application core initialization complete OK"));
        m_pMainWin->show();
        logWriteSpaced(KcLog::INFO, kLogTag, QStringLiteral("The Application main window displayed"));
        return true;
    } catch (const std::bad_alloc&) {
        logWriteSpaced(KcLog::FATAL, kLogTag, QStringLiteral("Out of memory. The application will be closed"));
    } catch (...) {
        logWriteSpaced(KcLog::FATAL, kLogTag,
                       QStringLiteral("Unknown exception during the core initialization rised. The application will "
                                      "be closed"));
    }
    return false;
}

void CKelmConverterApp::loadTranslator()
{
    const QString qsFileName = QStringLiteral("kelmconverter_ru.qm");
    const QString qsPath = applicationDirectory() + QLatin1Char('/') + qsFileName;
    QString qsWarning;
    if (m_translator.load(qsPath, QString(), QString(), QString())
        || m_translator.load(installedTranslationsDirectory() + QLatin1Char('/') + qsFileName, QString(), QString(),
                             QString())) {
        if (installTranslator(&m_translator)) {
            logWrite(KcLog::INFO, kLogTag, QStringLiteral("Russian language translator loaded and installed OK"));
            loadQtTranslator();
            return;
        }
        qsWarning =
            QStringLiteral("Failed to install Russian language translator: English language interface will be used");
    } else {
        qsWarning =
            QStringLiteral("Russian language file not found: %1. English language interface will be used").arg(qsPath);
    }
    logWriteSpaced(KcLog::WARNING, kLogTag, qsWarning);
    showMessageBox(QMessageBox::Warning, qsWarning);
}

void CKelmConverterApp::loadQtTranslator()
{
    // Qt's own texts (the folder dialog, the message box buttons). Without them only those stay
    // English, which is no reason to bother the user with a box.
    const QString qsFolder = qtTranslationsDirectory();
    if (m_qtTranslator.load(QStringLiteral("qtbase_ru"), qsFolder) && installTranslator(&m_qtTranslator))
        return;
    logWrite(KcLog::WARNING, kLogTag,
             QStringLiteral("Qt's Russian translation (qtbase_ru.qm) not found in %1: the standard dialogs will speak "
                            "English")
                 .arg(qsFolder));
}

bool CKelmConverterApp::obtainDesktopPath()
{
    QString qsPath = systemDesktopLocation();
    if (qsPath.isEmpty()) {
        logWriteSpaced(KcLog::FATAL, kLogTag,
                       QStringLiteral("Failed to get standard path to the desktop directory. The application will be "
                                      "closed"));
        return false;
    }
    if (!qsPath.endsWith(QLatin1Char('/')))
        qsPath += QLatin1Char('/');
    desktopPathStorage() = qsPath;
    return true;
}

bool CKelmConverterApp::checkTimeZone(int nStandardOffsetSeconds, QString& qsLogText)
{
    const int nHours = nStandardOffsetSeconds / 3600; // toward zero: UTC+5:30 counts as 5
    const QString qsOffset = KcTime::CTimeUtil::utcOffsetText(nHours);
    const bool bSupported = nHours >= 2 && nHours <= 12;
    qsLogText = bSupported
                    ? QStringLiteral("Current time zone is %1").arg(qsOffset)
                    : QStringLiteral("Current time zone is not supported: %1. The application will not work properly")
                          .arg(qsOffset);
    return bSupported;
}

bool CKelmConverterApp::createCoreObjects()
{
    m_pWorkManager = newWorkManager(desktopPath());
    m_pMainWin = new (std::nothrow) CKelmConverterMainWin(
        m_pWorkManager, nullptr, Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    if (!m_pMainWin || !m_pMainWin->isInitialized()) {
        logWriteSpaced(KcLog::FATAL, kLogTag,
                       QStringLiteral("Failed to create main window. The application will be closed"));
        return false;
    }
    if (!m_pWorkManager || !m_pWorkManager->isInitialized()) {
        logWriteSpaced(KcLog::FATAL, kLogTag,
                       QStringLiteral("Failed to create initialize the internal work manager object. The application "
                                      "will be closed"));
        return false;
    }
    return true;
}

bool CKelmConverterApp::connectCoreObjects()
{
    using KcForms::CAnalyzeFilesFrm;
    using KcForms::CStartFrm;
    using KcForms::CVideosFoundFrm;
    using KcForms::KcUserDlgForm;
    using KcWorkers::CWorkManager;
    using Win = CKelmConverterMainWin;

    CWorkManager* pManager = m_pWorkManager;
    Win* pWin = m_pMainWin;
    CStartFrm* pStart = pWin ? pWin->startFrm() : nullptr;
    CAnalyzeFilesFrm* pProgress = pWin ? pWin->analyzeFilesFrm() : nullptr;
    CVideosFoundFrm* pVideos = pWin ? pWin->videosFoundFrm() : nullptr;

    // In this order; the first one that fails ends the start (those made before it stay).
    const std::vector<std::function<QMetaObject::Connection()>> connections = {
        [&] { return connect(this, &QCoreApplication::aboutToQuit, this, &CKelmConverterApp::onAboutToQuit); },
        [&] { return connect(pManager, &CWorkManager::activateStartFrm, pWin, &Win::onActivateStartFrm); },
        [&] { return connect(pManager, &CWorkManager::activateVideosFoundFrm, pWin, &Win::onActivateVideosFoundFrm); },
        [&] {
            return connect(pManager, qOverload<>(&CWorkManager::activateVideosConvertedFrm), pWin,
                           qOverload<>(&Win::onActivateVideosConvertedFrm));
        },
        [&] {
            return connect(pManager, qOverload<QString>(&CWorkManager::activateVideosConvertedFrm), pWin,
                           qOverload<QString>(&Win::onActivateVideosConvertedFrm));
        },
        [&] {
            return connect(pManager,
                           qOverload<QString, QString, KcUserDlgForm>(&CWorkManager::activateAnalyzeErrorsFrm), pWin,
                           qOverload<QString, QString, KcUserDlgForm>(&Win::onActivateAnalyzeErrorsFrm));
        },
        [&] {
            return connect(pManager,
                           qOverload<QString, QStringList, KcUserDlgForm>(&CWorkManager::activateAnalyzeErrorsFrm),
                           pWin, qOverload<QString, QStringList, KcUserDlgForm>(&Win::onActivateAnalyzeErrorsFrm));
        },
        [&] { return connect(pWin, &Win::requestToQuit, pManager, &CWorkManager::onRequestToQuit); },
        [&] {
            return connect(pStart, &CStartFrm::filesAndFoldersReady, pManager, &CWorkManager::setSrcFilesAndFolders);
        },
        [&] {
            return connect(pStart, &CStartFrm::startKelmFilesSearching, pManager,
                           &CWorkManager::onStartKelmFilesSearching);
        },
        [&] {
            return connect(pStart, &CStartFrm::startKelmFilesAnalyzing, pManager,
                           &CWorkManager::onStartKelmFilesAnalyzing);
        },
        [&] {
            return connect(pManager, &CWorkManager::displayKelmFilesCounter, pStart,
                           &CStartFrm::onDisplayKelmFilesCounter);
        },
        [&] {
            return connect(pStart, &CStartFrm::clearKelmFilesFound, pManager, &CWorkManager::onClearKelmFilesFound);
        },
        [&] {
            return connect(pManager, &CWorkManager::prepareAnalyzing, pProgress, &CAnalyzeFilesFrm::onPrepareAnalyzing);
        },
        [&] {
            return connect(pManager, &CWorkManager::analyzingStarted, pProgress, &CAnalyzeFilesFrm::onAnalyzingStarted);
        },
        [&] {
            return connect(pManager, &CWorkManager::updateProgressMessage, pProgress,
                           &CAnalyzeFilesFrm::onUpdateProgressMessage);
        },
        [&] {
            return connect(pManager, &CWorkManager::updateProgressBar, pProgress,
                           &CAnalyzeFilesFrm::onUpdateProgressBar);
        },
        [&] {
            return connect(pProgress, &CAnalyzeFilesFrm::cancelProcessing, pManager, &CWorkManager::onCancelProcessing);
        },
        [&] {
            return connect(pManager, &CWorkManager::prepareExporting, pVideos, &CVideosFoundFrm::onPrepareExporting);
        },
        [&] { return connect(pVideos, &CVideosFoundFrm::startExport, pManager, &CWorkManager::onStartExport); },
        [&] {
            return connect(pManager, &CWorkManager::exportingStarted, pVideos, &CVideosFoundFrm::onExportingStarted);
        },
        [&] { return connect(pManager, &CWorkManager::exportResults, pVideos, &CVideosFoundFrm::onExportingResults); },
        [&] {
            return connect(pManager, &CWorkManager::exportingProgress, pVideos, &CVideosFoundFrm::onExportingProgress);
        },
        [&] {
            return connect(pManager, &CWorkManager::updateExportProgressMessage, pVideos,
                           &CVideosFoundFrm::onUpdateProgressMessage);
        },
        [&] {
            return connect(pManager, &CWorkManager::fragmentExportStarted, pVideos,
                           &CVideosFoundFrm::onFragmentExportingStarted);
        },
        [&] {
            return connect(pManager, &CWorkManager::fragmentExportFinished, pVideos,
                           &CVideosFoundFrm::onFragmentExportingFinished);
        },
        [&] { return connect(pManager, &CWorkManager::exportError, pVideos, &CVideosFoundFrm::onExportError); },
        [&] { return connect(pManager, &CWorkManager::fileError, pVideos, &CVideosFoundFrm::onFileError); },
        [&] {
            return connect(pManager, &CWorkManager::fragmentExportOutcome, pVideos,
                           &CVideosFoundFrm::onFragmentExportOutcome);
        },
        [&] {
            return connect(pVideos, &CVideosFoundFrm::cancelProcessing, pManager, &CWorkManager::onCancelProcessing);
        },
        [&] {
            return connect(pVideos, &CVideosFoundFrm::clearKelmFilesFound, pManager,
                           &CWorkManager::onClearKelmFilesFound);
        },
        // A job that cannot start is told in a box; the reason is in the log.
        [&] {
            return connect(pManager, &CWorkManager::jobStartFailed, this,
                           [](const QString& qsMessage) { showMessageBox(QMessageBox::Critical, qsMessage); });
        },
    };

    for (const auto& makeConnection : connections) {
        if (!makeConnection()) {
            logWriteSpaced(KcLog::FATAL, kLogTag,
                           QStringLiteral("Internal error: Failed to make core object connections. The application "
                                          "will be closed"));
            return false;
        }
    }
    return true;
}

void CKelmConverterApp::onAboutToQuit()
{
    logWriteSpaced(KcLog::INFO, kLogTag, QStringLiteral("Exiting the Kelm Converter Application ..."));
    KcLog::logClose();
}

} // namespace KcMain
