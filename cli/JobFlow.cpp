#include "JobFlow.h"

#include "Commands.h"
#include "InterruptWatcher.h"
#include "ProgressPrinter.h"
#include "TimeUtil.h"
#include "WorkSession.h"

#include <QStandardPaths>

namespace KcCli {

CZoneSelection::CZoneSelection(const QTimeZone& zone)
{
    if (!zone.isValid())
        return;
    m_previous = KcTime::CTimeUtil::selectedTimeZone();
    KcTime::CTimeUtil::setSelectedTimeZone(zone);
    m_bSelected = true;
}

CZoneSelection::~CZoneSelection()
{
    if (m_bSelected)
        KcTime::CTimeUtil::setSelectedTimeZone(m_previous);
}

QString DesktopExportLocation()
{
    QString qsPath = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (qsPath.isEmpty())
        return qsPath;
    if (!qsPath.endsWith(QLatin1Char('/')))
        qsPath += QLatin1Char('/');
    return qsPath;
}

int SearchAndAnalyze(CWorkSession& session, const QStringList& slPaths, const char* pCommand,
                     CProgressPrinter& progress)
{
    const QString qsPrefix = QStringLiteral("kelmconv %1: ").arg(QLatin1String(pCommand));

    switch (session.search(slPaths)) {
    case EJobOutcome::Ok:
        break;
    case EJobOutcome::Cancelled:
        progress.printLine(qsPrefix + QStringLiteral("cancelled while searching for .kelm files"));
        return kExitCancelled;
    case EJobOutcome::Failed:
        progress.printLine(qsPrefix + session.failureText());
        return kExitFailed;
    }
    // The start form offers CONTINUE only once something was found.
    if (session.foundCount() == 0) {
        progress.printLine(qsPrefix + QStringLiteral("no .kelm files found in the locations given"));
        return kExitFailed;
    }

    switch (session.analyze()) {
    case EJobOutcome::Ok:
        progress.clearLine();
        return -1;
    case EJobOutcome::Cancelled:
        progress.printLine(qsPrefix + QStringLiteral("cancelled while analyzing .kelm files"));
        return kExitCancelled;
    case EJobOutcome::Failed:
        break;
    }
    progress.printLine(qsPrefix + session.failureText());
    return kExitFailed;
}

void CancelOnInterrupt(CInterruptWatcher& interrupts, CWorkSession& session, CProgressPrinter& progress,
                       const char* pCommand)
{
    const QString qsCommand = QLatin1String(pCommand);
    QObject::connect(&interrupts, &CInterruptWatcher::interrupted, &session, [&session, &progress, qsCommand] {
        if (session.isCancelRequested())
            return;
        progress.printLine(QStringLiteral("kelmconv %1: interrupted, stopping ...").arg(qsCommand));
        session.requestCancel();
    });
}

int UsageError(const char* pCommand, const QString& qsProblem, QTextStream& err)
{
    err << "kelmconv " << pCommand << ": " << qsProblem << "\n" << CommandUsage(pCommand);
    return kExitUsage;
}

} // namespace KcCli
