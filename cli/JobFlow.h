#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QTimeZone>

#include <vector>

namespace KcCli {

class CInterruptWatcher;
class CProgressPrinter;
class CWorkSession;
struct SFileReport;
struct SJobOptions;

// Makes a zone the process-wide selected one for the length of a command (the analysis and the
// day names follow it) and puts the previous selection back afterwards. An invalid zone leaves
// the selection alone.
class CZoneSelection {
public:
    explicit CZoneSelection(const QTimeZone& zone);
    ~CZoneSelection();
    CZoneSelection(const CZoneSelection&) = delete;
    CZoneSelection& operator=(const CZoneSelection&) = delete;

private:
    bool m_bSelected = false;
    QTimeZone m_previous;
};

// The desktop path with a trailing "/", where the desktop program exports by default; empty when
// the system has none.
QString DesktopExportLocation();

// The start form and the analyzing forms: search the paths, then analyze what was found. A path
// that does not exist is reported ("no such file or folder: X") and the others are searched.
// Reports every problem on the error stream, prefixed with "kelmconv <command>: ", and leaves
// its text in qsProblem (missing paths too, though the job goes on). Returns -1 when the
// analysis produced days to go on with, otherwise the exit status to end with.
int SearchAndAnalyze(CWorkSession& session, const QStringList& slPaths, const char* pCommand,
                     CProgressPrinter& progress, QString& qsProblem);

// The black list, then every file error and warning of the analysis, one line each.
void ReportFileProblems(const CWorkSession& session, const char* pCommand, CProgressPrinter& progress);

QJsonArray FileReportsToJson(const std::vector<SFileReport>& reports);
// The end of a search or analysis that gave nothing to go on with: with bJson the object with
// "error" and what the files said ("found", "blacklist", "file_errors", "file_warnings") on out.
// Returns nStatus.
int AnalysisFailed(const CWorkSession& session, const QString& qsProblem, int nStatus, bool bJson, QTextStream& out);

// The first Ctrl-C (or SIGTERM, SIGHUP) presses the cancel button of whatever runs. A second one
// while the job stops ends the program at once with 128 + the signal's number (130 for Ctrl-C),
// after deleting the MP4 file of the day being written. A change of the terminal's size redraws
// the progress line.
void CancelOnInterrupt(CInterruptWatcher& interrupts, CWorkSession& session, CProgressPrinter& progress,
                       const char* pCommand);

// Prints "kelmconv <command>: <problem>" and the command's usage; with bJson also the object
// {"error": problem} on out. Returns the usage status.
int UsageError(const char* pCommand, const QString& qsProblem, bool bJson, QTextStream& out, QTextStream& err);

// The end of a job that failed before it had a result: with bJson the object {"error": text} on
// out (the text itself went to the error stream already). Returns nStatus.
int JobFailed(const QString& qsProblem, int nStatus, bool bJson, QTextStream& out);

} // namespace KcCli
