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
                     CProgressPrinter& progress, QString* pFailure)
{
    const QString qsPrefix = QStringLiteral("kelmconv %1: ").arg(QLatin1String(pCommand));
    const auto fail = [&](int status, const QString& qsText) {
        progress.printLine(qsPrefix + qsText);
        if (pFailure)
            *pFailure = qsText;
        return status;
    };

    switch (session.search(slPaths)) {
    case EJobOutcome::Ok:
        break;
    case EJobOutcome::Cancelled:
        return fail(kExitCancelled, QStringLiteral("cancelled while searching for .kelm files"));
    case EJobOutcome::Failed:
        return fail(kExitFailed, session.failureText());
    }
    // The start form offers CONTINUE only once something was found.
    if (session.foundCount() == 0)
        return fail(kExitFailed, QStringLiteral("no .kelm files found in the locations given"));

    switch (session.analyze()) {
    case EJobOutcome::Ok:
        progress.clearLine();
        return -1;
    case EJobOutcome::Cancelled:
        return fail(kExitCancelled, QStringLiteral("cancelled while analyzing .kelm files"));
    case EJobOutcome::Failed:
        break;
    }
    // "Every file is invalid" alone leaves the user guessing: each file's reason comes first.
    ReportFileProblems(session, pCommand, progress);
    return fail(kExitFailed, session.failureText());
}

void ReportFileProblems(const CWorkSession& session, const char* pCommand, CProgressPrinter& progress)
{
    const QString qsPrefix = QStringLiteral("kelmconv %1: ").arg(QLatin1String(pCommand));
    if (!session.blackListPaths().isEmpty()) {
        progress.printLine(qsPrefix + QStringLiteral("these files will not be converted:"));
        for (const QString& qsPath : session.blackListPaths())
            progress.printLine(QStringLiteral("  ") + qsPath);
    }
    for (const SFileReport& report : session.fileErrors()) {
        progress.printLine(qsPrefix + QStringLiteral("file error %1: %2 (%3)")
                                          .arg(report.nCode)
                                          .arg(report.qsMessage, report.qsFile));
    }
    for (const SFileReport& report : session.fileWarnings()) {
        progress.printLine(qsPrefix + QStringLiteral("file warning %1: %2 (%3)")
                                          .arg(report.nCode)
                                          .arg(report.qsMessage, report.qsFile));
    }
}

QJsonArray FileReportsToJson(const std::vector<SFileReport>& reports)
{
    QJsonArray array;
    for (const SFileReport& report : reports) {
        array.append(QJsonObject{{QStringLiteral("file"), report.qsFile},
                                 {QStringLiteral("code"), report.nCode},
                                 {QStringLiteral("message"), report.qsMessage}});
    }
    return array;
}

QJsonObject AnalysisFailureToJson(const CWorkSession& session, const QString& qsError)
{
    return QJsonObject{
        {QStringLiteral("error"), qsError},
        {QStringLiteral("found"), session.foundCount()},
        {QStringLiteral("blacklist"), QJsonArray::fromStringList(session.blackListPaths())},
        {QStringLiteral("file_errors"), FileReportsToJson(session.fileErrors())},
        {QStringLiteral("file_warnings"), FileReportsToJson(session.fileWarnings())},
    };
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
