#pragma once

#include "ProgressPrinter.h"

#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <vector>

namespace KcCli {

class CWorkSession;

// What an export left behind.
struct SConvertResult {
    ulong ulCreated = 0;
    ulong ulTotal = 0;
    QStringList slFiles; // full paths of the MP4 files written or skipped, in export order
    QStringList slSkipped; // the days left alone because their file was there
    bool bCancelled = false;
    double fOffset = 0; // local time = UTC + this, in seconds
};

// The prepared batches as days to report on, by batch id: the videos-found form's panes during
// the export.
QMap<ulong, SPlannedDay> PlanDays(CWorkSession& session);

// The days of a finished, failed or stopped run whose MP4 file is there and complete.
// earlierFiles: the change times of the day files that were there before the run.
SConvertResult CollectResult(const CWorkSession& session, const QMap<ulong, SPlannedDay>& days,
                             const QMap<QString, QDateTime>& earlierFiles);

// "created", "total", "files", "errors", "cancelled", and "file_errors" (problems of the
// recordings read during the export, which do not fail a day).
QJsonObject ConvertResultToJson(const SConvertResult& result, const CWorkSession& session);

// kelmconv convert [--tz ZONE] [--out DIR] [--only KEY]... [--skip-existing | --overwrite] [--json] PATH...
int RunConvert(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace KcCli
