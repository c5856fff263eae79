#pragma once

#include "container/KelmParser.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <cstdint>
#include <string>
#include <vector>

namespace KcCli {

// What one parse of a container reported, gathered the way content loading parses: payloads
// skipped and every warning answered "go on".
struct SContainerInfo {
    QString filePath;
    bool bSizeKnown = false;
    uint64_t size = 0;
    bool bOk = false;
    UtilsNameSpace::SErrorInfo error; // meaningful when bOk is false
    std::vector<UtilsNameSpace::SErrorInfo> warnings;
    uint64_t streamTags = 0;
    uint64_t esRecords = 0;
    uint64_t units = 0;
    uint64_t errorTags = 0;
    uint64_t finishedTags = 0;
    uint64_t controlTags = 0;
    std::vector<std::wstring> srids; // of the STREAM records, in order
    std::vector<KELMNameSpace::SStreamSummary> streams;
};

SContainerInfo InspectContainer(const QString& filePath);

// One object with the members "file", "size", "ok", "error", "warnings", "records", "srids" and
// "streams"; times are seconds since 1970 as JSON numbers.
QJsonObject ContainerInfoToJson(const SContainerInfo& info);

// A readable summary of several lines, each ending in a line feed.
QString ContainerInfoToText(const SContainerInfo& info);

// kelmconv info [--json] FILE...
int RunInfo(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace KcCli
