#pragma once

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QTranslator>

namespace KcWorkers {
class CWorkManager;
}

namespace KcMain {

class CKelmConverterMainWin;

// The application object: prepares Qt, opens the log, loads the Russian translation, creates the
// work manager and the main window, connects them, shows the window and runs the event loop.
class CKelmConverterApp : public QApplication {
    Q_OBJECT

public:
    CKelmConverterApp(int& argc, char** argv);
    ~CKelmConverterApp() override;

    // The whole run after construction: the log, the core, the event loop. The exit code; 1 when
    // the start failed.
    int run();

    // Opens the log beside the executable, or in the user's state folder when the executable's
    // folder is not writable (an installed copy); a failure of both is shown, and the program
    // goes on without.
    void openLog();
    // True only if the main window is shown.
    bool initialize();
    // Ours beside the executable, else in the installed data folder; with it, Qt's own.
    void loadTranslator();
    void loadQtTranslator();
    bool obtainDesktopPath();
    bool createCoreObjects();
    bool connectCoreObjects();

    // The user's desktop, ending in "/"; empty before obtainDesktopPath().
    static QString desktopPath();

    // Whether the program works in a zone of this standard offset (UTC+2 to UTC+12, whole hours
    // counted toward zero). qsLogText receives the start-up log entry for it.
    static bool checkTimeZone(int nStandardOffsetSeconds, QString& qsLogText);

    CKelmConverterMainWin* mainWindow() const;
    KcWorkers::CWorkManager* workManager() const;

public slots:
    void onAboutToQuit();

protected:
    // Where the log and the translation file live: the executable's own folder.
    virtual QString applicationDirectory() const;
    // <prefix>/share/kelmconverter/translations, seen from the executable's folder.
    QString installedTranslationsDirectory() const;
    // Where Qt keeps its own translations (qtbase_ru.qm).
    virtual QString qtTranslationsDirectory() const;
    virtual QString systemDesktopLocation() const;
    virtual int systemStandardOffset() const;
    virtual KcWorkers::CWorkManager* newWorkManager(const QString& qsExportLocation);

private:
    QPointer<CKelmConverterMainWin> m_pMainWin;
    QPointer<KcWorkers::CWorkManager> m_pWorkManager;
    QTranslator m_translator;
    QTranslator m_qtTranslator;
};

} // namespace KcMain
