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

    // Opens the log beside the executable (a failure is shown, and the program goes on without).
    void openLog();
    // True only if the main window is shown.
    bool initialize();
    void loadTranslator();
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
    virtual QString systemDesktopLocation() const;
    virtual int systemStandardOffset() const;
    virtual KcWorkers::CWorkManager* newWorkManager(const QString& qsExportLocation);

private:
    QPointer<CKelmConverterMainWin> m_pMainWin;
    QPointer<KcWorkers::CWorkManager> m_pWorkManager;
    QTranslator m_translator;
};

} // namespace KcMain
