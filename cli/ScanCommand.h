#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace KcCli {

class CWorkSession;

// The outcome of an analysis as one object: "found", "blacklist", "file_errors", "file_warnings",
// "offset" and "days" (the export entries in key order, times in local seconds).
QJsonObject ScanToJson(CWorkSession& session);

// The same for people: per camera its days with date, clock times, size, lost time and a text
// time line; then the files that will not be converted and the problems of single files.
QString ScanToText(CWorkSession& session);

// kelmconv scan [--tz ZONE] [--json] PATH...
int RunScan(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace KcCli
