#include "cli/ScanCommand.h"

#include "cli/AppLogScope.h"
#include "cli/Commands.h"
#include "cli/DayText.h"
#include "cli/InterruptWatcher.h"
#include "cli/JobFlow.h"
#include "cli/JobOptions.h"
#include "cli/ProgressPrinter.h"
#include "cli/WorkSession.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <map>
#include <utility>
#include <vector>

namespace KcCli {

using KcWorkers::ExportedSrids;
using KcWorkers::SExportEntry;
using KcWorkers::toQString;

namespace {

const char kScanHelp[] =
    "Searches the files and folders for .kelm files and analyzes them as the desktop program\n"
    "does, then lists every camera's days that can be exported. With --json: one JSON object with\n"
    "the files found, the black list, the problems of single files, the offset and the days (keys\n"
    "for 'kelmconv convert --only'); a failure is the object {\"error\": TEXT}.\n";

const char kScanExitStatus[] =
    "Exit status: 0 when days were found, 1 when a path does not exist, no .kelm file was found or\n"
    "the analysis failed, 2 on a usage error, 3 when interrupted.\n";

QJsonArray PartsToJson(const std::vector<KELMNameSpace::SMediaPart>& parts)
{
    QJsonArray array;
    for (const KELMNameSpace::SMediaPart& part : parts)
        array.append(QJsonArray{part.startTime, part.endTime});
    return array;
}

QJsonObject EntryToJson(const std::wstring& key, const SExportEntry& entry)
{
    const KELMNameSpace::SExportFragment& fragment = entry.fragment;
    return QJsonObject{
        {QStringLiteral("key"), toQString(key)},
        {QStringLiteral("srid"), toQString(entry.srid)},
        {QStringLiteral("number"), toQString(entry.displayNumber)},
        {QStringLiteral("window"), QJsonArray{fragment.windowStart, fragment.windowEnd}},
        {QStringLiteral("start"), fragment.startTime},
        {QStringLiteral("end"), fragment.endTime},
        // Exact as a JSON number far beyond any day's size.
        {QStringLiteral("size"), double(fragment.estimatedSize)},
        {QStringLiteral("name"), toQString(fragment.targetFileName)},
        {QStringLiteral("video_parts"), PartsToJson(fragment.videoParts)},
        {QStringLiteral("audio_parts"), PartsToJson(fragment.audioParts)},
    };
}

void FileReportsToText(const char* pTitle, const std::vector<SFileReport>& reports, QTextStream& text)
{
    if (reports.empty())
        return;
    text << "\n" << pTitle << ":\n";
    for (const SFileReport& report : reports)
        text << "  " << report.qsFile << ": " << report.qsMessage << " (code " << report.nCode << ")\n";
}

} // namespace

QJsonObject ScanToJson(CWorkSession& session)
{
    QJsonArray days;
    for (const auto& keyAndEntry : session.manager().exportedSrids())
        days.append(EntryToJson(keyAndEntry.first, keyAndEntry.second));

    return QJsonObject{
        {QStringLiteral("found"), session.foundCount()},
        {QStringLiteral("blacklist"), QJsonArray::fromStringList(session.blackListPaths())},
        {QStringLiteral("file_errors"), FileReportsToJson(session.fileErrors())},
        {QStringLiteral("file_warnings"), FileReportsToJson(session.fileWarnings())},
        {QStringLiteral("offset"), session.manager().storage().GetUTCTimeToLocalTimeOffset()},
        {QStringLiteral("days"), days},
    };
}

QString ScanToText(CWorkSession& session)
{
    QString qsText;
    QTextStream text(&qsText);

    const double fOffset = session.manager().storage().GetUTCTimeToLocalTimeOffset();
    text << session.foundCount() << " .kelm files found; local time is " << OffsetText(int(std::lround(fOffset)))
         << "\n";

    // Cameras in Srid order, each with its days in key order (that is, by day).
    std::map<std::pair<std::wstring, std::wstring>, std::vector<const ExportedSrids::value_type*>> cameras;
    for (const auto& keyAndEntry : session.manager().exportedSrids()) {
        const SExportEntry& entry = keyAndEntry.second;
        cameras[{entry.srid, entry.subSourceKey}].push_back(&keyAndEntry);
    }
    for (const auto& camera : cameras) {
        const SExportEntry& first = camera.second.front()->second;
        text << "\nSRID " << toQString(first.srid) << ", camera " << toQString(first.displayNumber) << "\n";
        for (const ExportedSrids::value_type* pKeyAndEntry : camera.second) {
            const SExportEntry& entry = pKeyAndEntry->second;
            const SDayText day = DescribeDay(entry);
            text << "  " << day.qsDate;
            if (day.bTimesValid)
                text << "  " << day.qsStart << "-" << day.qsStop;
            text << "  " << day.qsSize;
            if (!day.qsLost.isEmpty())
                text << "  " << day.qsLost;
            text << "\n    [" << day.qsTimeLine << "]\n";
            text << "    " << toQString(entry.fragment.targetFileName) << "  key " << toQString(pKeyAndEntry->first)
                 << "\n";
        }
    }

    if (!session.blackListPaths().isEmpty()) {
        text << "\nThese files will not be converted:\n";
        for (const QString& qsPath : session.blackListPaths())
            text << "  " << qsPath << "\n";
    }
    FileReportsToText("File errors", session.fileErrors(), text);
    FileReportsToText("File warnings", session.fileWarnings(), text);
    text.flush();
    return qsText;
}

int RunScan(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    SJobOptions options;
    QString qsProblem;
    if (!ParseJobOptions(arguments, false, options, qsProblem))
        return UsageError("scan", qsProblem, AsksForJson(arguments), out, err);
    if (options.bHelp) {
        out << CommandUsage("scan") << "\n"
            << kScanHelp << "\n"
            << OptionsHelp(ECommandKind::Scan) << "\n"
            << kScanExitStatus;
        return kExitOk;
    }

    CZoneSelection zoneSelection(options.zone);
    CAppLogScope log(QStringList{QStringLiteral("scan")} + arguments, options.qsZoneText, err);
    CInterruptWatcher interrupts;
    // The export location plays no part in a scan; it stays the desktop program's default.
    CWorkSession session(DesktopExportLocation());
    if (!session.isInitialized()) {
        err << "kelmconv scan: the work manager could not be set up\n";
        return JobFailed(QStringLiteral("the work manager could not be set up"), kExitFailed, options.bJson, out);
    }
    CProgressPrinter progress(session.manager(), err, IsTerminal(err), options.progress);
    CancelOnInterrupt(interrupts, session, progress, "scan");

    QString qsJobProblem;
    const int status = SearchAndAnalyze(session, AbsolutePaths(options.slPaths), "scan", progress, qsJobProblem);
    if (status >= 0)
        return AnalysisFailed(session, qsJobProblem, status, options.bJson, out);

    if (options.bJson) {
        QJsonObject result = ScanToJson(session);
        if (!qsJobProblem.isEmpty())
            result.insert(QStringLiteral("error"), qsJobProblem);
        out << QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Compact)) << "\n";
    } else {
        out << ScanToText(session);
    }
    out.flush();
    // A path that was not there is a failure even when the others gave days.
    return qsJobProblem.isEmpty() ? kExitOk : kExitFailed;
}

} // namespace KcCli
