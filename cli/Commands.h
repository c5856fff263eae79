#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace KcCli {

// Exit statuses shared by every subcommand.
enum : int {
    kExitOk = 0,        // every input was handled
    kExitFailed = 1,    // at least one input failed
    kExitUsage = 2,     // the command line was wrong; a usage text went to the error stream
    kExitCancelled = 3, // interrupted (Ctrl-C); whatever was finished stays
};

// A subcommand receives the arguments after its own name.
using CommandFunction = int (*)(const QStringList& arguments, QTextStream& out, QTextStream& err);

struct SCommand {
    const char* pName;
    const char* pSynopsis; // the arguments as shown in the usage text
    const char* pSummary;
    CommandFunction run;
};

// The subcommands in the order the usage text lists them.
const SCommand* Commands(int& count);

// The whole program: arguments without the program name.
int RunCommandLine(const QStringList& arguments, QTextStream& out, QTextStream& err);

// "Usage: kelmconv ..." with one line per subcommand.
QString UsageText();

// "kelmconv <version>" and a line end, the version being the project's.
QString VersionText();

// The usage line of one subcommand, for its own usage errors.
QString CommandUsage(const char* pName);

} // namespace KcCli
