#include "cli/JobFlow.h"

#include "cli/Commands.h"
#include "cli/InterruptWatcher.h"
#include "cli/JobOptions.h"
#include "cli/ProgressPrinter.h"
#include "cli/WorkSession.h"
#include "core/Log.h"
#include "core/TimeUtil.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>

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
                     CProgressPrinter& progress, QString& qsProblem)
{
    const QString qsPrefix = QStringLiteral("kelmconv %1: ").arg(QLatin1String(pCommand));
    QStringList slProblems;
    const auto fail = [&](const QString& qsText, int nStatus) {
        progress.printLine(qsPrefix + qsText);
        slProblems << qsText;
        qsProblem = slProblems.join(QStringLiteral("; "));
        return nStatus;
    };

    QStringList slMissing;
    const QStringList slExisting = ExistingPaths(slPaths, slMissing);
    for (const QString& qsPath : slMissing) {
        // A name given in bytes that are not UTF-8 reaches us already changed and cannot be opened.
        const QString qsText = qsPath.contains(QChar::ReplacementCharacter)
                                   ? QStringLiteral("skipped: %1: the name is not valid UTF-8").arg(qsPath)
                                   : QStringLiteral("no such file or folder: %1").arg(qsPath);
        progress.printLine(qsPrefix + qsText);
        slProblems << qsText;
    }
    qsProblem = slProblems.join(QStringLiteral("; "));
    if (slExisting.isEmpty())
        return kExitFailed;

    switch (session.search(slExisting)) {
    case EJobOutcome::Ok:
        break;
    case EJobOutcome::Cancelled:
        return fail(QStringLiteral("cancelled while searching for .kelm files"), kExitCancelled);
    case EJobOutcome::Failed:
        return fail(session.failureText(), kExitFailed);
    }
    // The start form offers CONTINUE only once something was found.
    if (session.foundCount() == 0)
        return fail(QStringLiteral("no .kelm files found in the locations given"), kExitFailed);

    switch (session.analyze()) {
    case EJobOutcome::Ok:
        progress.clearLine();
        return -1;
    case EJobOutcome::Cancelled:
        return fail(QStringLiteral("cancelled while analyzing .kelm files"), kExitCancelled);
    case EJobOutcome::Failed:
        break;
    }
    // "Every file is invalid" alone leaves the user guessing: each file's reason comes first.
    ReportFileProblems(session, pCommand, progress);
    return fail(session.failureText(), kExitFailed);
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
        progress.printLine(
            qsPrefix + QStringLiteral("file error %1: %2 (%3)").arg(report.nCode).arg(report.qsMessage, report.qsFile));
    }
    for (const SFileReport& report : session.fileWarnings()) {
        progress.printLine(
            qsPrefix
            + QStringLiteral("file warning %1: %2 (%3)").arg(report.nCode).arg(report.qsMessage, report.qsFile));
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

int AnalysisFailed(const CWorkSession& session, const QString& qsProblem, int nStatus, bool bJson, QTextStream& out)
{
    if (bJson) {
        const QJsonObject result{
            {QStringLiteral("error"), qsProblem},
            {QStringLiteral("found"), session.foundCount()},
            {QStringLiteral("blacklist"), QJsonArray::fromStringList(session.blackListPaths())},
            {QStringLiteral("file_errors"), FileReportsToJson(session.fileErrors())},
            {QStringLiteral("file_warnings"), FileReportsToJson(session.fileWarnings())},
        };
        out << QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Compact)) << "\n";
        out.flush();
    }
    return nStatus;
}

void CancelOnInterrupt(CInterruptWatcher& interrupts, CWorkSession& session, CProgressPrinter& progress,
                       const char* pCommand)
{
    const QString qsCommand = QLatin1String(pCommand);
    QObject::connect(
        &interrupts, &CInterruptWatcher::interrupted, &session, [&session, &progress, qsCommand](int nSignal) {
            if (!session.isCancelRequested()) {
                progress.printLine(QStringLiteral("kelmconv %1: interrupted, stopping ...").arg(qsCommand));
                session.requestCancel();
                return;
            }
            progress.printLine(QStringLiteral("kelmconv %1: interrupted again, exiting at once").arg(qsCommand));
            KcLog::logWriteSpaced(KcLog::WARNING, QStringLiteral("Main"),
                                  QStringLiteral("Interrupted again while stopping: exiting at once"));
            KcLog::logClose();
            std::fflush(nullptr);
            // The user does not want to wait for the stop: leave no half-written file behind. A
            // day is written under its name plus ".part" until it is complete, so only those go;
            // a file under a final name is whole (of this run or an earlier one) and stays. The
            // export may be opening the next day right now: that file is waited for, no later one
            // is created.
            KcWorkers::CWorkManager::stopCreatingFiles();
            for (const SPlannedDay& day : progress.days()) {
                if (!session.finishedBatches().contains(day.ulBatchId))
                    QFile::remove(day.qsPath + QStringLiteral(".part"));
            }
            std::_Exit(128 + nSignal);
        });
    QObject::connect(&interrupts, &CInterruptWatcher::terminalResized, &progress, &CProgressPrinter::redraw);
}

int UsageError(const char* pCommand, const QString& qsProblem, bool bJson, QTextStream& out, QTextStream& err)
{
    err << "kelmconv " << pCommand << ": " << qsProblem << "\n" << CommandUsage(pCommand);
    err.flush();
    JobFailed(qsProblem, kExitUsage, bJson, out);
    return kExitUsage;
}

int JobFailed(const QString& qsProblem, int nStatus, bool bJson, QTextStream& out)
{
    if (bJson) {
        out << QString::fromUtf8(
            QJsonDocument(QJsonObject{{QStringLiteral("error"), qsProblem}}).toJson(QJsonDocument::Compact))
            << "\n";
        out.flush();
    }
    return nStatus;
}

} // namespace KcCli
