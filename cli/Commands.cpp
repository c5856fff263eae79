#include "cli/Commands.h"

#include "cli/ConvertCommand.h"
#include "cli/InfoCommand.h"
#include "cli/ScanCommand.h"

namespace KcCli {

namespace {

// Adding a subcommand: one source file with its run function, one line here.
const SCommand kCommands[] = {
    {"info", "[--json] [--] FILE...", "show the records, streams, warnings and errors of .kelm files", &RunInfo},
    {"scan", "[--tz ZONE] [-q|-v] [--json] [--] PATH...", "find and analyze .kelm files; list the days of every camera",
     &RunScan},
    {"convert", "[--tz ZONE] [-o DIR] [--only KEY]... [--skip-existing|--overwrite] [-q|-v] [--json] [--] PATH...",
     "write one MP4 file per camera and day into DIR/Converted/", &RunConvert},
};

const SCommand* FindCommand(const QString& name)
{
    for (const SCommand& command : kCommands) {
        if (name == QLatin1String(command.pName))
            return &command;
    }
    return nullptr;
}

} // namespace

const SCommand* Commands(int& count)
{
    count = static_cast<int>(sizeof(kCommands) / sizeof(kCommands[0]));
    return kCommands;
}

QString UsageText()
{
    QString text = QStringLiteral("Usage: kelmconv [-h | -V] COMMAND [ARGUMENTS]\n\nCommands:\n");
    for (const SCommand& command : kCommands) {
        text +=
            QStringLiteral("  %1 %2\n      %3\n")
                .arg(QLatin1String(command.pName), QLatin1String(command.pSynopsis), QLatin1String(command.pSummary));
    }
    text += QStringLiteral("\nOptions:\n"
                           "  -h, --help     show this help and exit ('kelmconv COMMAND --help' for a command's)\n"
                           "  -V, --version  show the program's name and version and exit\n");
    return text;
}

QString VersionText()
{
    return QStringLiteral("kelmconv " KC_VERSION "\n");
}

QString CommandUsage(const char* pName)
{
    const SCommand* pCommand = FindCommand(QLatin1String(pName));
    if (!pCommand)
        return UsageText();
    return QStringLiteral("Usage: kelmconv %1 %2\n")
        .arg(QLatin1String(pCommand->pName), QLatin1String(pCommand->pSynopsis));
}

int RunCommandLine(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    if (arguments.isEmpty()) {
        err << UsageText();
        return kExitUsage;
    }
    const QString& name = arguments.first();
    if (name == QLatin1String("-h") || name == QLatin1String("--help") || name == QLatin1String("help")) {
        out << UsageText();
        return kExitOk;
    }
    if (name == QLatin1String("-V") || name == QLatin1String("--version")) {
        out << VersionText();
        return kExitOk;
    }
    const SCommand* pCommand = FindCommand(name);
    if (!pCommand) {
        const bool bOption = name.startsWith(QLatin1Char('-'));
        err << QStringLiteral("kelmconv: unknown %1 '%2'\n\n").arg(bOption ? "option" : "command", name) << UsageText();
        return kExitUsage;
    }
    return pCommand->run(arguments.mid(1), out, err);
}

} // namespace KcCli
