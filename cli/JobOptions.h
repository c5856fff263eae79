#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QTimeZone>

namespace KcCli {

// How much progress a job shows on the error stream.
enum class EProgressMode {
    Quiet,   // none: only problems
    Normal,  // a redrawn line on a terminal, one line per finished day elsewhere
    Verbose, // the redrawn line and one line per finished day
};

// The subcommands whose options ParseCommandOptions knows.
enum class ECommandKind {
    Info,
    Scan,
    Convert,
};

// The command line of info, scan and convert.
struct SJobOptions {
    QTimeZone zone;     // invalid: none selected, the system zone applies
    QString qsZoneText; // as given with --tz
    bool bJson = false;
    bool bHelp = false;
    EProgressMode progress = EProgressMode::Normal;
    QString qsOutDir;           // convert only; empty: the desktop
    QStringList slOnlyKeys;     // convert only; empty: every day
    bool bSkipExisting = false; // convert only: a day whose MP4 file is there is left alone
    QStringList slPaths;
};

// Parses a subcommand's arguments (those after its name): "-h", "--json", "PATH..." for all;
// "--tz ZONE", "-q", "-v" for scan and convert; "-o DIR" / "--out DIR" and "--only KEY" for
// convert. Long options take their value also after "=", short ones also joined ("-oDIR"), short
// flags combine ("-qh"), and "--" ends the options. False with the problem in qsProblem on a
// usage error.
bool ParseCommandOptions(ECommandKind kind, const QStringList& arguments, SJobOptions& options, QString& qsProblem);
// The same for scan (bConvert false) and convert.
bool ParseJobOptions(const QStringList& arguments, bool bConvert, SJobOptions& options, QString& qsProblem);
// The "Options:" part of a subcommand's help, one line or more per option.
QString OptionsHelp(ECommandKind kind);
// Whether "--json" stands among the options (before any "--"), even on a command line that does
// not parse: a failure then still answers with a JSON object.
bool AsksForJson(const QStringList& arguments);

// The paths that exist, in order; the others go to slMissing.
QStringList ExistingPaths(const QStringList& slPaths, QStringList& slMissing);

// "UTC+3", "UTC-5", "UTC+5:30" in any letter case, or an IANA id such as "Europe/Moscow". Like the desktop program's
// selector, the result is a fixed-offset zone of the standard offset (daylight saving ignored),
// taken at the current moment for an IANA id. False for anything else.
bool ParseTimeZone(const QString& qsText, QTimeZone& zone);

// Absolute, cleaned paths, so that the files found and reported are absolute too.
QStringList AbsolutePaths(const QStringList& slPaths);

// True when the stream writes to a terminal (not to a file, a pipe or a string).
bool IsTerminal(const QTextStream& stream);

// "UTC+3" for whole hours, otherwise "UTC+5:30".
QString OffsetText(int nOffsetSeconds);

} // namespace KcCli
