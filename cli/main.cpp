#include "cli/Commands.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

int main(int argc, char* argv[])
{
    // File names are UTF-8 on this platform whatever the locale says; take the bytes as they are.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromUtf8(argv[i]);

    // Subcommands that drive the workers need an application object for their threads and events.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelmconv"));

    QTextStream out(stdout);
    out.setCodec("UTF-8");
    QTextStream err(stderr);
    err.setCodec("UTF-8");
    const int status = KcCli::RunCommandLine(arguments, out, err);
    out.flush();
    err.flush();
    return status;
}
