#pragma once

// The desktop program driven offscreen: an application object whose folders, desktop and time
// zone belong to the test, message boxes answered by the test, and helpers to read the log and
// to wait for the worker threads.

#include "KelmWriter.h"
#include "TestZone.h"
#include "Wait.h"
#include "app/KelmConverterApp.h"
#include "app/KelmConverterMainWin.h"
#include "app/MessageBox.h"

#include <QDir>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUrl>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <ostream>
#include <vector>

class QPushButton;

inline void PrintTo(const QString& qsText, std::ostream* pStream)
{
    *pStream << '"' << qsText.toStdString() << '"';
}

namespace KcAppTest {

using KcTest::kWaitMs;
using KcTest::LocalToUtc;
using KcTest::WaitFor;

// The application with the test's folders in place of the executable's folder and the desktop,
// and a standard offset of the test's choice.
class CTestApp : public KcMain::CKelmConverterApp {
public:
    CTestApp(const QString& qsAppDir, const QString& qsDesktop);

    QString qsAppDir;
    QString qsDesktop;
    int nStandardOffset = 3 * 3600;
    bool bFailWorkManager = false;
    QString qsQtTranslations = CKelmConverterApp::qtTranslationsDirectory();

protected:
    QString applicationDirectory() const override { return qsAppDir; }
    QString qtTranslationsDirectory() const override { return qsQtTranslations; }
    QString systemDesktopLocation() const override { return qsDesktop; }
    int systemStandardOffset() const override { return nStandardOffset; }
    KcWorkers::CWorkManager* newWorkManager(const QString& qsExportLocation) override;
};

// Records what QDesktopServices would open for file URLs.
class CUrlRecorder : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls.append(url); }
};

// A fresh application per test, in a temporary folder: app/ (log, translation), Desktop/,
// recordings/. Local time is UTC+3 unless the test picks another zone.
class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Copies the compiled Russian translation next to the "executable", or into qsFolder.
    void InstallTranslation(const QString& qsFolder = QString());
    // The constructor's part of main(); Start() adds the log and initialize().
    CTestApp& App();
    bool Start();

    KcMain::CKelmConverterMainWin& Window() { return *App().mainWindow(); }
    KcWorkers::CWorkManager& Manager() { return *App().workManager(); }
    QWidget* CurrentPage();

    // The log's messages in order, without time stamps, tags and levels; empty lines as "".
    // The log beside the "executable" unless another folder is named.
    QStringList LogMessages(const QString& qsFolder = QString()) const;

    // A recording of a camera, in the recordings folder.
    void WriteRecording(const QString& qsName, const std::string& srid, double startUtc, double endUtc);
    void WriteBrokenFile(const QString& qsName);
    // Drops the recordings folder on the start page and waits for the search to end.
    void DropRecordings(ulong ulExpectedFiles);

    static QPushButton* Button(QWidget* pForm, const char* pName);

    QString AppDir() const { return m_dir.filePath(QStringLiteral("app")); }
    QString Desktop() const { return m_dir.filePath(QStringLiteral("Desktop")); }
    QString Recordings() const { return m_dir.filePath(QStringLiteral("recordings")); }
    // XDG_STATE_HOME during the test.
    QString StateHome() const { return m_dir.filePath(QStringLiteral("state")); }

    // Every box the program showed, answered from m_answers (Yes to questions when empty).
    std::vector<KcMain::SMessageBoxRequest> m_boxes;
    std::deque<QMessageBox::StandardButton> m_answers;
    int m_nQuitRequests = 0; // the work manager's requests to end the program

private:
    QTemporaryDir m_tempDir;
    QDir m_dir;
    QByteArray m_qbaStateHome;
    bool m_bHadStateHome = false;
    std::unique_ptr<CTestApp> m_pApp;
};

} // namespace KcAppTest
