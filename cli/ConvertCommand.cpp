#include "cli/ConvertCommand.h"

#include "cli/AppLogScope.h"
#include "cli/Commands.h"
#include "cli/DayText.h"
#include "cli/InterruptWatcher.h"
#include "cli/JobFlow.h"
#include "cli/JobOptions.h"
#include "cli/WorkSession.h"
#include "core/DisplayText.h"
#include "core/Log.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QStorageInfo>

#include <cmath>

namespace KcCli {

using KcCore::CDisplayText;
using KcWorkers::ExportedSrids;
using KcWorkers::SExportEntry;
using KcWorkers::toQString;

namespace {

const char kConvertHelp[] =
    "Searches the files and folders for .kelm files, analyzes them and writes one MP4 file per\n"
    "camera and day into DIR/Converted/<Srid>/Camera<N>/, as the desktop program does. With\n"
    "--json it ends with one JSON object: created, total, files, skipped, errors, cancelled,\n"
    "file_errors, offset and days (each day's outcome); a failure before the export is an object\n"
    "with \"error\".\n"
    "Progress goes to the error stream. Ctrl-C stops the export; finished files are kept. A second\n"
    "Ctrl-C while it stops ends the program at once (status 130), deleting the unfinished file.\n"
    "A day is written under its name plus \".part\" and renamed when complete, so a file under\n"
    "its final name is always whole; an earlier file of that day stays until then.\n";

const char kConvertExitStatus[] =
    "Exit status: 0 when every selected day was written whole, 1 when a day failed or had problems,\n"
    "a path does not exist, no .kelm file was found or the analysis failed, 2 on a usage error,\n"
    "3 when interrupted.\n";

// The videos-found form's Delete buttons: every day not named stays out of the export.
bool SelectDays(ExportedSrids& exportedSrids, const QStringList& slOnlyKeys, QString& qsUnknownKey)
{
    if (slOnlyKeys.isEmpty())
        return true;
    QSet<QString> keys;
    for (const QString& qsKey : slOnlyKeys) {
        if (exportedSrids.find(KcWorkers::toWString(qsKey)) == exportedSrids.end()) {
            qsUnknownKey = qsKey;
            return false;
        }
        keys.insert(qsKey);
    }
    for (auto& keyAndEntry : exportedSrids)
        keyAndEntry.second.bEnabled = keys.contains(toQString(keyAndEntry.first));
    return true;
}

// As the videos-found form's size check: refuse an export the disk cannot hold.
bool CheckFreeSpace(const QString& qsLocation, quint64 ullNeeded, CProgressPrinter& progress, QString& qsProblem)
{
    QStorageInfo storage(qsLocation);
    if (!storage.isValid() || !storage.isReady() || storage.bytesAvailable() < 0)
        return true; // the export itself reports what goes wrong there
    const quint64 ullAvailable = quint64(storage.bytesAvailable());
    if (ullAvailable >= ullNeeded)
        return true;
    KcLog::logWrite(KcLog::WARNING, QStringLiteral("WM"),
                    QStringLiteral("The size of content to be exported (%1) exceeds the available disk spaace (%2)")
                        .arg(CDisplayText::size(ullNeeded), CDisplayText::size(ullAvailable)));
    qsProblem = QStringLiteral("out of disk space: the days need %1, %2 is available on %3")
                    .arg(CDisplayText::size(ullNeeded), CDisplayText::size(ullAvailable), storage.rootPath());
    progress.printLine(QStringLiteral("kelmconv convert: ") + qsProblem);
    return false;
}

// The days whose file is there already; their entries are left out of the export.
QStringList SkipExistingDays(ExportedSrids& exportedSrids, const QMap<ulong, SPlannedDay>& days,
                             CProgressPrinter& progress)
{
    QStringList slSkipped;
    for (const SPlannedDay& day : days) {
        if (day.qsKey.isEmpty() || !QFileInfo(day.qsPath).isFile())
            continue;
        const auto found = exportedSrids.find(KcWorkers::toWString(day.qsKey));
        if (found == exportedSrids.end())
            continue;
        found->second.bEnabled = false;
        slSkipped << day.qsPath;
        KcLog::logWrite(KcLog::INFO, QStringLiteral("Main"),
                        QStringLiteral("Skipped, the file exists: %1").arg(day.qsPath));
        progress.printLine(QStringLiteral("[%1] skipped, the file exists: %2").arg(day.qsLabel, day.qsPath));
    }
    return slSkipped;
}

} // namespace

QMap<ulong, SPlannedDay> PlanDays(CWorkSession& session)
{
    QMap<ulong, const ExportedSrids::value_type*> entriesByBatch;
    for (const auto& keyAndEntry : session.manager().exportedSrids()) {
        if (keyAndEntry.second.bEnabled && keyAndEntry.second.batchId != 0)
            entriesByBatch.insert(keyAndEntry.second.batchId, &keyAndEntry);
    }

    QMap<ulong, SPlannedDay> days;
    int nIndex = 0;
    for (const KELMNameSpace::SExportBatch& batch : session.manager().storage().GetExportBatches()) {
        if (batch.fragments.empty())
            continue;
        SPlannedDay day;
        day.ulBatchId = batch.id;
        day.nIndex = ++nIndex;
        const KELMNameSpace::SExportFragment& fragment = batch.fragments.front();
        day.qsFileName = toQString(fragment.targetFileName);
        day.qsPath = toQString(fragment.targetDirectory + fragment.targetFileName);
        if (const auto* pKeyAndEntry = entriesByBatch.value(batch.id)) {
            const SExportEntry& entry = pKeyAndEntry->second;
            day.qsKey = toQString(pKeyAndEntry->first);
            day.qsLabel = QStringLiteral("%1 camera %2, %3")
                              .arg(toQString(entry.srid), toQString(entry.displayNumber), DescribeDay(entry).qsDate);
        }
        days.insert(day.ulBatchId, day);
    }
    return days;
}

SConvertResult CollectResult(const CWorkSession& session, const QMap<ulong, SPlannedDay>& days)
{
    SConvertResult result;
    result.ulTotal = ulong(days.size());
    for (const SPlannedDay& day : days) {
        // The manager's outcome tells a day's file of this run from one an earlier run left.
        const auto outcome = session.dayOutcomes().constFind(day.ulBatchId);
        if (outcome == session.dayOutcomes().constEnd() || outcome->nOutcome == KcWorkers::CWorkManager::doNotCreated
            || !QFileInfo(day.qsPath).isFile())
            continue;
        result.slFiles << day.qsPath;
        if (outcome->nOutcome == KcWorkers::CWorkManager::doCreatedWithProblems)
            ++result.ulWithProblems;
    }
    result.ulCreated = ulong(result.slFiles.size());
    // The manager's own count, when the run got to the end, is the one the desktop shows.
    if (session.hasExportResults()) {
        result.ulCreated = session.exportedCount();
        result.ulTotal = session.exportTotal();
    }
    return result;
}

QJsonArray DayOutcomesToJson(const CWorkSession& session, const QMap<ulong, SPlannedDay>& days)
{
    QJsonArray array;
    for (const SPlannedDay& day : days) {
        const auto outcome = session.dayOutcomes().constFind(day.ulBatchId);
        QString qsOutcome = QStringLiteral("not exported");
        QString qsReason;
        if (outcome != session.dayOutcomes().constEnd()) {
            qsReason = outcome->qsReason;
            qsOutcome = outcome->nOutcome == KcWorkers::CWorkManager::doCreated ? QStringLiteral("done")
                        : outcome->nOutcome == KcWorkers::CWorkManager::doCreatedWithProblems
                            ? QStringLiteral("done with problems")
                            : QStringLiteral("not created");
        }
        array.append(QJsonObject{{QStringLiteral("batch"), double(day.ulBatchId)},
                                 {QStringLiteral("key"), day.qsKey},
                                 {QStringLiteral("file"), day.qsPath},
                                 {QStringLiteral("outcome"), qsOutcome},
                                 {QStringLiteral("reason"), qsReason}});
    }
    return array;
}

QJsonObject ConvertResultToJson(const SConvertResult& result, const CWorkSession& session,
                                const QMap<ulong, SPlannedDay>& days)
{
    QJsonArray errors;
    for (const SExportErrorReport& error : session.exportErrors()) {
        errors.append(QJsonObject{{QStringLiteral("batch"), double(error.ulBatch)},
                                  {QStringLiteral("code"), error.nCode},
                                  {QStringLiteral("message"), error.qsMessage},
                                  {QStringLiteral("file"), error.qsFile}});
    }
    QJsonArray fileErrors;
    for (const SFileReport& report : session.exportFileErrors()) {
        fileErrors.append(QJsonObject{{QStringLiteral("batch"), double(report.ulContext)},
                                      {QStringLiteral("code"), report.nCode},
                                      {QStringLiteral("message"), report.qsMessage},
                                      {QStringLiteral("file"), report.qsFile}});
    }
    return QJsonObject{
        {QStringLiteral("created"), double(result.ulCreated)},
        {QStringLiteral("total"), double(result.ulTotal)},
        {QStringLiteral("files"), QJsonArray::fromStringList(result.slFiles)},
        {QStringLiteral("skipped"), QJsonArray::fromStringList(result.slSkipped)},
        {QStringLiteral("errors"), errors},
        {QStringLiteral("cancelled"), result.bCancelled},
        {QStringLiteral("file_errors"), fileErrors},
        {QStringLiteral("offset"), result.fOffset},
        {QStringLiteral("days"), DayOutcomesToJson(session, days)},
    };
}

int RunConvert(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    SJobOptions options;
    QString qsProblem;
    if (!ParseJobOptions(arguments, true, options, qsProblem))
        return UsageError("convert", qsProblem, AsksForJson(arguments), out, err);
    if (options.bHelp) {
        out << CommandUsage("convert") << "\n"
            << kConvertHelp << "\n"
            << OptionsHelp(ECommandKind::Convert) << "\n"
            << kConvertExitStatus;
        return kExitOk;
    }
    const bool bJson = options.bJson;

    QString qsLocation = DesktopExportLocation();
    if (!options.qsOutDir.isEmpty())
        qsLocation = QDir::cleanPath(QFileInfo(options.qsOutDir).absoluteFilePath()) + QLatin1Char('/');

    CZoneSelection zoneSelection(options.zone);
    CAppLogScope log(QStringList{QStringLiteral("convert")} + arguments, options.qsZoneText, err);
    if (qsLocation.isEmpty()) {
        const QString qsText = QStringLiteral("the system names no desktop folder; give one with --out");
        err << "kelmconv convert: " << qsText << "\n";
        return JobFailed(qsText, kExitFailed, bJson, out);
    }
    CInterruptWatcher interrupts;
    CWorkSession session(qsLocation);
    if (!session.isInitialized()) {
        err << "kelmconv convert: the work manager could not be set up\n";
        return JobFailed(QStringLiteral("the work manager could not be set up"), kExitFailed, bJson, out);
    }
    CProgressPrinter progress(session.manager(), err, IsTerminal(err), options.progress);
    CancelOnInterrupt(interrupts, session, progress, "convert");
    const auto fail = [&](const QString& qsText) {
        progress.printLine(QStringLiteral("kelmconv convert: ") + qsText);
        return JobFailed(qsText, kExitFailed, bJson, out);
    };

    QString qsJobProblem;
    const int status = SearchAndAnalyze(session, AbsolutePaths(options.slPaths), "convert", progress, qsJobProblem);
    if (status >= 0)
        return AnalysisFailed(session, qsJobProblem, status, bJson, out);
    ReportFileProblems(session, "convert", progress);

    QString qsUnknownKey;
    if (!SelectDays(session.manager().exportedSrids(), options.slOnlyKeys, qsUnknownKey)) {
        progress.clearLine();
        return UsageError("convert", QStringLiteral("no day with the key '%1' (see 'kelmconv scan')").arg(qsUnknownKey),
                          bJson, out, err);
    }

    if (!QDir().mkpath(qsLocation))
        return fail(QStringLiteral("cannot create the folder %1").arg(qsLocation));
    uint32_t batchCount = 0;
    if (!session.prepareBatches(batchCount))
        return fail(session.failureText());
    // The zone decides every day and name: say which one was used, as scan does.
    progress.printLine(QStringLiteral("kelmconv convert: local time is ")
                       + OffsetText(int(std::lround(session.manager().storage().GetUTCTimeToLocalTimeOffset()))));
    QMap<ulong, SPlannedDay> days = PlanDays(session);
    const QMap<ulong, SPlannedDay> allDays = days;
    QStringList slSkipped;
    if (options.bSkipExisting) {
        slSkipped = SkipExistingDays(session.manager().exportedSrids(), days, progress);
        // The days left are prepared again, as the form does after a day was deleted.
        if (!slSkipped.isEmpty()) {
            if (!session.prepareBatches(batchCount))
                return fail(session.failureText());
            days = PlanDays(session);
        }
    }
    progress.setDays(days);
    quint64 ullNeeded = 0;
    for (const KELMNameSpace::SExportBatch& batch : session.manager().storage().GetExportBatches())
        ullNeeded += batch.estimatedTotalSize;
    QString qsSpaceProblem;
    if (!CheckFreeSpace(qsLocation, ullNeeded, progress, qsSpaceProblem))
        return JobFailed(qsSpaceProblem, kExitFailed, bJson, out);

    EJobOutcome outcome = EJobOutcome::Ok;
    if (!days.isEmpty())
        outcome = session.exportBatches();
    progress.clearLine();

    SConvertResult result = CollectResult(session, days);
    result.bCancelled = outcome == EJobOutcome::Cancelled;
    result.fOffset = session.manager().storage().GetUTCTimeToLocalTimeOffset();
    if (!slSkipped.isEmpty()) {
        // A skipped day counts as done, in its place among the others.
        QStringList slFiles;
        for (const SPlannedDay& day : allDays) {
            if (slSkipped.contains(day.qsPath) || result.slFiles.contains(day.qsPath))
                slFiles << day.qsPath;
        }
        result.slFiles = slFiles;
        result.slSkipped = slSkipped;
        result.ulCreated += ulong(slSkipped.size());
        result.ulTotal += ulong(slSkipped.size());
    }
    if (outcome == EJobOutcome::Cancelled)
        err << "kelmconv convert: cancelled; the files finished before are kept\n";
    else if (outcome == EJobOutcome::Failed)
        err << "kelmconv convert: " << session.failureText() << "\n";
    err.flush();

    if (options.bJson) {
        QJsonObject json = ConvertResultToJson(result, session, days);
        if (outcome == EJobOutcome::Failed)
            qsJobProblem = qsJobProblem.isEmpty() ? session.failureText()
                                                  : qsJobProblem + QStringLiteral("; ") + session.failureText();
        if (!qsJobProblem.isEmpty())
            json.insert(QStringLiteral("error"), qsJobProblem);
        out << QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)) << "\n";
    } else {
        out << QStringLiteral("%1 of %2 videofiles created").arg(result.ulCreated).arg(result.ulTotal);
        if (result.ulWithProblems > 0)
            out << QStringLiteral(", %1 with problems").arg(result.ulWithProblems);
        out << "\n";
        for (const QString& qsFile : result.slFiles)
            out << qsFile << "\n";
    }
    out.flush();

    if (outcome == EJobOutcome::Cancelled)
        return kExitCancelled;
    // A day missing or with problems is a failure of the run, whatever the count says.
    if (outcome == EJobOutcome::Failed || !session.exportErrors().empty() || result.ulCreated < result.ulTotal
        || ulong(result.slFiles.size()) < result.ulTotal || result.ulWithProblems > 0 || !qsJobProblem.isEmpty())
        return kExitFailed;
    return kExitOk;
}

} // namespace KcCli
