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

// The start form and the analyzing forms: search the paths, then analyze what was found. Reports
// a failure on err, prefixed with "kelmconv <command>: ", after each file's reason when the
// analysis found nothing usable. Returns -1 when the analysis produced days to go on with,
// otherwise the exit status to end with; pFailure then receives the failure's text.
int SearchAndAnalyze(CWorkSession& session, const QStringList& slPaths, const char* pCommand,
                     CProgressPrinter& progress, QString* pFailure = nullptr);

// The black list, then every file error and warning of the analysis, one line each.
void ReportFileProblems(const CWorkSession& session, const char* pCommand, CProgressPrinter& progress);

QJsonArray FileReportsToJson(const std::vector<SFileReport>& reports);
// What --json prints when the search or the analysis ended the command: the reason and what the
// files said.
QJsonObject AnalysisFailureToJson(const CWorkSession& session, const QString& qsError);

// Ctrl-C (or SIGTERM) presses the cancel button of whatever runs: once, further ones add nothing.
void CancelOnInterrupt(CInterruptWatcher& interrupts, CWorkSession& session, CProgressPrinter& progress,
                       const char* pCommand);

// Prints "kelmconv <command>: <problem>" and the command's usage; returns the usage status.
int UsageError(const char* pCommand, const QString& qsProblem, QTextStream& err);

} // namespace KcCli
