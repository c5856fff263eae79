#include "JobFlow.h"

#include "Commands.h"
#include "InterruptWatcher.h"
#include "JobOptions.h"
#include "Log.h"
#include "ProgressPrinter.h"
#include "TimeUtil.h"
#include "WorkSession.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>

namespace KcCli {

namespace {

// A file's time stamp may be coarser than the clock that marked the start of the export.
constexpr qint64 kTimeStampSlackSeconds = 2;

} // namespace

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
        progress.printLine(qsPrefix + QStringLiteral("no such file or folder: %1").arg(qsPath));
        slProblems << QStringLiteral("no such file or folder: %1").arg(qsPath);
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
    return fail(session.failureText(), kExitFailed);
}

void CancelOnInterrupt(CInterruptWatcher& interrupts, CWorkSession& session, CProgressPrinter& progress,
                       const char* pCommand)
{
    const QString qsCommand = QLatin1String(pCommand);
    QObject::connect(&interrupts, &CInterruptWatcher::interrupted, &session,
        [&session, &progress, qsCommand](int nSignal) {
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
            // The user does not want to wait for the stop: leave no half-written file behind.
            // The worker may still be writing into it, so this comes last, right before the end.
            // The day's start may not have reached this thread yet: a day counts as begun also
            // when its file was written since the export began (a file of an earlier run stays).
            for (const SPlannedDay& day : progress.days()) {
                if (session.finishedBatches().contains(day.ulBatchId))
                    continue;
                const QFileInfo info(day.qsPath);
                const bool bBegun = session.startedBatches().contains(day.ulBatchId)
                    || (session.exportStartUtc().isValid() && info.exists()
                        && info.lastModified().toUTC().toSecsSinceEpoch()
                            >= session.exportStartUtc().toSecsSinceEpoch() - kTimeStampSlackSeconds);
                if (bBegun)
                    QFile::remove(day.qsPath);
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
