// kelmconv info: the JSON report per file, exit statuses and usage errors.
#include "CliTestSupport.h"

#include "KelmWriter.h"
#include "TempDir.h"
#include "TestText.h"
#include "cli/InfoCommand.h"
#include "container/KelmParser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstring>
#include <filesystem>

namespace KcCliTest {
namespace {

// What the parser itself makes of a file, for comparison with the report.
struct SParseResult {
    bool ok = false;
    std::vector<KELMNameSpace::SStreamSummary> summaries;
};

std::vector<QJsonObject> JsonLines(const QString& text)
{
    std::vector<QJsonObject> objects;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
        objects.push_back(document.object());
    }
    return objects;
}

bool SameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof(double)) == 0;
}

class InfoCommandTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.Valid()); }

    std::string PathOf(const std::string& name) const { return m_dir.Path(name); }

    static SParseResult Parse(const std::string& path)
    {
        SParseResult result;
        UtilsNameSpace::SErrorInfo error;
        result.ok = KELMNameSpace::ParseContainer(KcTest::Wide(path), true, nullptr, &result.summaries, &error);
        return result;
    }

    std::string WriteRecording(const std::string& name, KcTest::SWriteResult* pWritten = nullptr)
    {
        KcTest::SRecordingOptions options;
        options.srid = "CAM1";
        // A start that is no whole number of milliseconds, so the times need full precision.
        options.startUtc = KcTest::UtcSeconds(2026, 3, 1, 12, 0, 0) + 1.0 / 90000.0 * 7;
        options.endUtc = options.startUtc + 1.5;
        const std::string path = PathOf(name);
        const KcTest::SWriteResult written = KcTest::WriteRecordingFile(path, options);
        EXPECT_TRUE(written.ok);
        if (pWritten)
            *pWritten = written;
        return path;
    }

    KcTest::CTempDir m_dir;
};

TEST_F(InfoCommandTest, JsonReportOfAGoodFile)
{
    const std::string path = WriteRecording("CAM1-good.kelm");
    const SRun run = RunKelmconv({"info", "--json", QString::fromStdString(path)});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.err.isEmpty());
    const std::vector<QJsonObject> lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 1u);
    const QJsonObject& o = lines[0];

    const QStringList members{"error", "file", "ok", "records", "size", "srids", "streams", "warnings"};
    EXPECT_EQ(o.keys(), members);
    EXPECT_EQ(o["file"].toString().toStdString(), path);
    EXPECT_EQ(o["size"].toDouble(), double(std::filesystem::file_size(path)));
    EXPECT_TRUE(o["ok"].toBool());
    EXPECT_TRUE(o["error"].isNull());
    EXPECT_TRUE(o["warnings"].toArray().isEmpty());
    EXPECT_EQ(o["srids"].toArray(), QJsonArray({"CAM1"}));

    const SParseResult parsed = Parse(path);
    ASSERT_TRUE(parsed.ok);
    const QJsonObject records = o["records"].toObject();
    EXPECT_EQ(records.keys(), QStringList({"control", "error", "es", "finished", "stream", "unit"}));
    EXPECT_EQ(records["stream"].toInt(), 1);
    EXPECT_EQ(records["es"].toInt(), 2);
    EXPECT_EQ(records["unit"].toDouble(), double(parsed.summaries[0].frameCount + parsed.summaries[1].frameCount));
    EXPECT_EQ(records["error"].toInt(), 0);
    EXPECT_EQ(records["finished"].toInt(), 1);
    EXPECT_EQ(records["control"].toInt(), 0);

    const QJsonArray streams = o["streams"].toArray();
    ASSERT_EQ(streams.size(), 2);
    const char* kinds[] = {"Video", "Audio"};
    const char* codecs[] = {"H264Video", "RawAACAudio"};
    for (int i = 0; i < 2; ++i) {
        const QJsonObject s = streams[i].toObject();
        const KELMNameSpace::SStreamSummary& summary = parsed.summaries[size_t(i)];
        EXPECT_EQ(s.keys(), QStringList({"bytes", "codec", "esno", "first", "frames", "kind", "last", "srid"}));
        EXPECT_EQ(s["esno"].toInt(), summary.esno);
        EXPECT_EQ(s["kind"].toString(), kinds[i]);
        EXPECT_EQ(s["codec"].toString(), codecs[i]);
        EXPECT_EQ(s["srid"].toString(), "CAM1");
        EXPECT_EQ(s["frames"].toDouble(), double(summary.frameCount));
        EXPECT_EQ(s["bytes"].toDouble(), double(summary.payloadBytes));
        EXPECT_TRUE(SameBits(s["first"].toDouble(), summary.firstTime)) << s["first"].toDouble();
        EXPECT_TRUE(SameBits(s["last"].toDouble(), summary.lastTime)) << s["last"].toDouble();
    }
}

TEST_F(InfoCommandTest, TruncatedFileParsesWithAWarning)
{
    const std::string path = PathOf("truncated.kelm");
    {
        KcTest::CKelmWriter writer(path);
        writer.WriteStream();
        writer.WriteVideoES(1, 9);
        writer.WriteUnit(1, 90000, {1});
        writer.WriteFault(KcTest::EFault::TruncatedInBinaryData);
        ASSERT_TRUE(writer.Close());
    }
    const SRun run = RunKelmconv({"info", "--json", QString::fromStdString(path)});
    EXPECT_EQ(run.status, 0);
    const std::vector<QJsonObject> lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(lines[0]["ok"].toBool());
    EXPECT_TRUE(lines[0]["error"].isNull());
    const QJsonArray warnings = lines[0]["warnings"].toArray();
    ASSERT_EQ(warnings.size(), 2);
    EXPECT_EQ(warnings[0].toObject(), QJsonObject({{"code", 14}, {"message", "Unknown ESVideoCodec value: 9"}}));
    EXPECT_EQ(warnings[1].toObject(),
              QJsonObject({{"code", 14}, {"message", "Unexpected end of file before binary data read"}}));
    const QJsonObject stream = lines[0]["streams"].toArray().at(0).toObject();
    EXPECT_EQ(stream["kind"].toString(), "Video");
    EXPECT_TRUE(stream["codec"].isNull());
    EXPECT_EQ(stream["frames"].toInt(), 1);
}

TEST_F(InfoCommandTest, OneLinePerFileInArgumentOrderAndFailureSetsTheStatus)
{
    const std::string good = WriteRecording("CAM1-a.kelm");
    const std::string missing = PathOf("missing.kelm");
    const std::string bad = PathOf("bad.kelm");
    {
        KcTest::CKelmWriter writer(bad);
        writer.WriteStream();
        writer.WriteFault(KcTest::EFault::BadRecordId);
        ASSERT_TRUE(writer.Close());
    }
    const SRun run = RunKelmconv(
        {"info", "--json", QString::fromStdString(missing), QString::fromStdString(good), QString::fromStdString(bad)});
    EXPECT_EQ(run.status, 1);
    const std::vector<QJsonObject> lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0]["file"].toString().toStdString(), missing);
    EXPECT_FALSE(lines[0]["ok"].toBool());
    EXPECT_TRUE(lines[0]["size"].isNull());
    EXPECT_EQ(lines[0]["error"].toObject()["code"].toInt(), 26);
    EXPECT_TRUE(lines[1]["ok"].toBool());
    EXPECT_EQ(lines[2]["file"].toString().toStdString(), bad);
    EXPECT_EQ(lines[2]["error"].toObject(), QJsonObject({{"code", 14}, {"message", "Invalid RecordID value"}}));
    // The stream record before the fault was seen, though the parse failed.
    EXPECT_EQ(lines[2]["srids"].toArray(), QJsonArray({"CAM1"}));
    EXPECT_TRUE(lines[2]["streams"].toArray().isEmpty());
}

TEST_F(InfoCommandTest, TextReportNamesTheFileAndTheError)
{
    const std::string bad = PathOf("bad.kelm");
    {
        KcTest::CKelmWriter writer(bad);
        writer.WriteFault(KcTest::EFault::ZeroProtobufSize);
        ASSERT_TRUE(writer.Close());
    }
    const SRun run = RunKelmconv({"info", QString::fromStdString(bad)});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.startsWith(QString::fromStdString(bad) + "\n"));
    EXPECT_TRUE(run.out.contains("code 14: Zero ProtobufDataSize value")) << run.out.toStdString();
}

struct SUsageCase {
    const char* pName;
    QStringList arguments;
};

class InfoUsageTest : public ::testing::TestWithParam<SUsageCase> {};

TEST_P(InfoUsageTest, ExitsWithTwoAndUsageOnStderr)
{
    const SRun run = RunKelmconv(GetParam().arguments);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains("Usage: kelmconv")) << run.err.toStdString();
    // Asked for JSON, even a usage error answers with one object.
    if (GetParam().arguments.contains("--json")) {
        const std::vector<QJsonObject> lines = JsonLines(run.out);
        ASSERT_EQ(lines.size(), 1u) << run.out.toStdString();
        EXPECT_EQ(lines[0]["error"].toString(), "no file given");
    } else {
        EXPECT_TRUE(run.out.isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(CommandLines, InfoUsageTest,
                         ::testing::Values(SUsageCase{"NoCommand", {}},
                                           SUsageCase{"UnknownCommand", {"inspect", "a.kelm"}},
                                           SUsageCase{"NoFile", {"info", "--json"}},
                                           SUsageCase{"UnknownOption", {"info", "--xml", "a.kelm"}}),
                         [](const ::testing::TestParamInfo<SUsageCase>& p) { return p.param.pName; });

TEST_F(InfoCommandTest, DoubleDashLetsFileNamesStartWithAHyphen)
{
    const SRun run = RunKelmconv({"info", "--json", "--", "--json"});
    EXPECT_EQ(run.status, 1);
    const std::vector<QJsonObject> lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["file"].toString(), "--json");
}

} // namespace
} // namespace KcCliTest
