#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QTimeZone>

namespace KcCli {

class CInterruptWatcher;
class CProgressPrinter;
class CWorkSession;
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
// a failure on err, prefixed with "kelmconv <command>: ". Returns -1 when the analysis produced
// days to go on with, otherwise the exit status to end with.
int SearchAndAnalyze(CWorkSession& session, const QStringList& slPaths, const char* pCommand,
                     CProgressPrinter& progress);

// Ctrl-C (or SIGTERM) presses the cancel button of whatever runs: once, further ones add nothing.
void CancelOnInterrupt(CInterruptWatcher& interrupts, CWorkSession& session, CProgressPrinter& progress,
                       const char* pCommand);

// Prints "kelmconv <command>: <problem>" and the command's usage; returns the usage status.
int UsageError(const char* pCommand, const QString& qsProblem, QTextStream& err);

} // namespace KcCli
