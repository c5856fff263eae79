#include "cli/InfoCommand.h"

#include "cli/Commands.h"
#include "cli/JobFlow.h"
#include "cli/JobOptions.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

#include <cmath>

namespace KcCli {

using KELMNameSpace::AudioCodecId;
using KELMNameSpace::SStreamSummary;
using KELMNameSpace::VideoCodecId;
using UtilsNameSpace::SErrorInfo;

namespace {

// Counts what the parser reports and keeps every warning; never stops the parse.
class CInfoReceiver : public KELMNameSpace::CKELMItemsReceiverStub {
public:
    explicit CInfoReceiver(SContainerInfo& info)
        : m_info(info)
    {
    }

    bool OnControlTag() override { return Count(m_info.controlTags); }
    bool OnFinishedTag() override { return Count(m_info.finishedTags); }
    bool OnErrorTag(int32_t) override { return Count(m_info.errorTags); }
    bool OnStreamTag(const std::wstring& srid, const std::wstring&) override
    {
        m_info.srids.push_back(srid);
        return Count(m_info.streamTags);
    }
    bool OnAudioES(int32_t, AudioCodecId, const uint8_t*, uint32_t) override { return Count(m_info.esRecords); }
    bool OnAuxES(int32_t) override { return Count(m_info.esRecords); }
    bool OnMuxES(int32_t) override { return Count(m_info.esRecords); }
    bool OnSignallingES(int32_t) override { return Count(m_info.esRecords); }
    bool OnSubtitlesES(int32_t) override { return Count(m_info.esRecords); }
    bool OnVideoES(int32_t, VideoCodecId, const uint8_t*, uint32_t) override { return Count(m_info.esRecords); }
    bool OnUnit(int32_t, double, const uint8_t*, uint32_t) override { return Count(m_info.units); }
    bool OnFileSize(uint64_t fileSize) override
    {
        m_info.bSizeKnown = true;
        m_info.size = fileSize;
        return true;
    }
    bool OnParseWarning(const SErrorInfo& warning) override
    {
        m_info.warnings.push_back(warning);
        return true;
    }

private:
    static bool Count(uint64_t& counter)
    {
        ++counter;
        return true;
    }

    SContainerInfo& m_info;
};

QJsonValue ErrorToJson(const SErrorInfo& error)
{
    return QJsonObject{{QStringLiteral("code"), error.code},
                       {QStringLiteral("message"), QString::fromStdWString(error.message)}};
}

// Counters and sizes stay exact up to 2^53, far beyond any container.
QJsonValue Number(uint64_t value)
{
    return QJsonValue(static_cast<double>(value));
}

QString KindName(uint32_t kind)
{
    const wchar_t* pName = KELMNameSpace::StreamKindName(kind);
    return pName ? QString::fromWCharArray(pName) : QString();
}

// Only audio and video streams carry a codec; 0 means none was recognised.
QString CodecName(const SStreamSummary& stream)
{
    if (stream.codec == 0)
        return QString();
    if (stream.kind == KELMNameSpace::StreamKindAudio)
        return QString::fromWCharArray(KELMNameSpace::AudioCodecName(stream.codec));
    if (stream.kind == KELMNameSpace::StreamKindVideo)
        return QString::fromWCharArray(KELMNameSpace::VideoCodecName(stream.codec));
    return QString();
}

QJsonValue NameOrNull(const QString& name)
{
    return name.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(name);
}

QString FormatError(const SErrorInfo& error)
{
    return QStringLiteral("code %1: %2").arg(error.code).arg(QString::fromStdWString(error.message));
}

QString FormatTime(double seconds)
{
    const QDateTime utc = QDateTime::fromMSecsSinceEpoch(std::llround(seconds * 1000.0), Qt::UTC);
    return QStringLiteral("%1 (%2 UTC)")
        .arg(seconds, 0, 'f', 3)
        .arg(utc.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
}

const char kInfoHelp[] = "Parses each FILE as the converter's analysis does (payloads skipped, every warning\n"
                         "tolerated) and reports what it found. With --json: one JSON object per file and line, in\n"
                         "argument order. A file that failed is also named on the error stream.\n";

const char kInfoExitStatus[] = "Exit status: 0 when every file parsed, 1 when any failed, 2 on a usage error.\n";

} // namespace

SContainerInfo InspectContainer(const QString& filePath)
{
    SContainerInfo info;
    info.filePath = filePath;
    CInfoReceiver receiver(info);
    info.bOk = KELMNameSpace::ParseContainer(filePath.toStdWString(), true, &receiver, &info.streams, &info.error);
    return info;
}

QJsonObject ContainerInfoToJson(const SContainerInfo& info)
{
    QJsonArray warnings;
    for (const SErrorInfo& warning : info.warnings)
        warnings.append(ErrorToJson(warning));

    QJsonArray srids;
    for (const std::wstring& srid : info.srids)
        srids.append(QString::fromStdWString(srid));

    QJsonArray streams;
    for (const SStreamSummary& stream : info.streams) {
        streams.append(QJsonObject{
            {QStringLiteral("esno"), stream.esno},
            {QStringLiteral("kind"), NameOrNull(KindName(stream.kind))},
            {QStringLiteral("codec"), NameOrNull(CodecName(stream))},
            {QStringLiteral("srid"), QString::fromStdWString(stream.srid)},
            {QStringLiteral("frames"), Number(stream.frameCount)},
            {QStringLiteral("bytes"), Number(stream.payloadBytes)},
            {QStringLiteral("first"), stream.firstTime},
            {QStringLiteral("last"), stream.lastTime},
        });
    }

    const QJsonObject records{
        {QStringLiteral("stream"), Number(info.streamTags)},
        {QStringLiteral("es"), Number(info.esRecords)},
        {QStringLiteral("unit"), Number(info.units)},
        {QStringLiteral("error"), Number(info.errorTags)},
        {QStringLiteral("finished"), Number(info.finishedTags)},
        {QStringLiteral("control"), Number(info.controlTags)},
    };

    return QJsonObject{
        {QStringLiteral("file"), info.filePath},
        {QStringLiteral("size"), info.bSizeKnown ? Number(info.size) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("ok"), info.bOk},
        {QStringLiteral("error"), info.bOk ? QJsonValue(QJsonValue::Null) : ErrorToJson(info.error)},
        {QStringLiteral("warnings"), warnings},
        {QStringLiteral("records"), records},
        {QStringLiteral("srids"), srids},
        {QStringLiteral("streams"), streams},
    };
}

QString ContainerInfoToText(const SContainerInfo& info)
{
    QString text;
    QTextStream out(&text);
    out << info.filePath << "\n";
    if (info.bSizeKnown)
        out << "  size: " << info.size << " bytes\n";
    else
        out << "  size: unknown\n";
    if (info.bOk)
        out << "  result: parsed\n";
    else
        out << "  result: failed, " << FormatError(info.error) << "\n";
    for (const SErrorInfo& warning : info.warnings)
        out << "  warning: " << FormatError(warning) << "\n";
    out << "  records: " << info.streamTags << " stream, " << info.esRecords << " es, " << info.units << " unit, "
        << info.errorTags << " error, " << info.finishedTags << " finished, " << info.controlTags << " control\n";
    for (const std::wstring& srid : info.srids)
        out << "  srid: " << QString::fromStdWString(srid) << "\n";
    for (const SStreamSummary& stream : info.streams) {
        const QString kind = KindName(stream.kind);
        const QString codec = CodecName(stream);
        out << "  stream " << stream.esno << ": " << (kind.isNull() ? QStringLiteral("unknown kind") : kind);
        if (!codec.isNull())
            out << ", " << codec;
        out << ", srid '" << QString::fromStdWString(stream.srid) << "', " << stream.frameCount << " frames, "
            << stream.payloadBytes << " bytes\n";
        if (stream.frameCount > 0) {
            out << "      first " << FormatTime(stream.firstTime) << "\n";
            out << "      last  " << FormatTime(stream.lastTime) << "\n";
        }
    }
    out.flush();
    return text;
}

int RunInfo(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    SJobOptions options;
    QString qsProblem;
    if (!ParseCommandOptions(ECommandKind::Info, arguments, options, qsProblem))
        return UsageError("info", qsProblem, AsksForJson(arguments), out, err);
    if (options.bHelp) {
        out << CommandUsage("info") << "\n"
            << kInfoHelp << "\n"
            << OptionsHelp(ECommandKind::Info) << "\n"
            << kInfoExitStatus;
        return kExitOk;
    }

    int status = kExitOk;
    bool bFirst = true;
    for (const QString& file : options.slPaths) {
        const bool bExists = QFileInfo::exists(file);
        const SContainerInfo info = InspectContainer(file);
        if (!info.bOk) {
            status = kExitFailed;
            err << "kelmconv info: "
                << (bExists ? QStringLiteral("%1: %2").arg(file, FormatError(info.error))
                            : QStringLiteral("no such file or folder: %1").arg(file))
                << "\n";
            err.flush();
        }
        if (options.bJson) {
            out << QString::fromUtf8(QJsonDocument(ContainerInfoToJson(info)).toJson(QJsonDocument::Compact)) << "\n";
        } else if (bExists) {
            if (!bFirst)
                out << "\n";
            out << ContainerInfoToText(info);
            bFirst = false;
        }
        // Results of long runs over many files appear as they are ready.
        out.flush();
    }
    return status;
}

} // namespace KcCli
