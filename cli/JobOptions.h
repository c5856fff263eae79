#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QTimeZone>

namespace KcCli {

// The command line of scan and convert.
struct SJobOptions {
    QTimeZone zone;      // invalid: none selected, the system zone applies
    QString qsZoneText;  // as given with --tz
    bool bJson = false;
    bool bHelp = false;
    QString qsOutDir;    // convert only; empty: the desktop
    QStringList slOnlyKeys; // convert only; empty: every day
    bool bSkipExisting = false; // convert only: a day whose MP4 file is there is left alone
    QStringList slPaths;
};

// Parses "--tz ZONE", "--json", "PATH..." and, for convert, "--out DIR" and "--only KEY"; an option
// value may also follow "=". False with the problem in qsProblem on a usage error.
bool ParseJobOptions(const QStringList& arguments, bool bConvert, SJobOptions& options, QString& qsProblem);

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
