// kelmconv scan over generated folders: the JSON report, the text report, failures.
#include "CliTestSupport.h"

#include "core/TimeUtil.h"

#include <QDir>
#include <QJsonArray>
#include <QTimeZone>

namespace KcCliTest {
namespace {

class ScanCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_qsRecordings = QDir(m_dir.path()).filePath("recordings");
        WriteTwoCamerasThreeDays(m_qsRecordings);
    }

    QTemporaryDir m_dir;
    QString m_qsRecordings;
};

TEST_F(ScanCommandTest, JsonListsTheDaysOfBothCamerasInKeyOrder)
{
    const SRun run = RunKelmconv({"scan", "--tz", "UTC+3", "--json", m_qsRecordings});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonObject report = JsonObjectOf(run.out);
    EXPECT_EQ(report.keys(), QStringList({"blacklist", "days", "file_errors", "file_warnings", "found", "offset"}));
    EXPECT_EQ(report["found"].toInt(), 6);
    EXPECT_EQ(report["offset"].toDouble(), 10800.0);
    EXPECT_TRUE(report["blacklist"].toArray().isEmpty());
    EXPECT_TRUE(report["file_errors"].toArray().isEmpty());
    EXPECT_TRUE(report["file_warnings"].toArray().isEmpty());

    const QJsonArray days = report["days"].toArray();
    const QStringList expectedKeys{DayKey(2026, 3, 1, "1", "1001"), DayKey(2026, 3, 1, "1", "cam-7"),
                                   DayKey(2026, 3, 2, "1", "1001"), DayKey(2026, 3, 2, "1", "cam-7"),
                                   DayKey(2026, 3, 3, "1", "1001"), DayKey(2026, 3, 3, "1", "cam-7")};
    ASSERT_EQ(days.size(), expectedKeys.size());
    for (int i = 0; i < days.size(); ++i) {
        const QJsonObject day = days[i].toObject();
        EXPECT_EQ(day.keys(), QStringList({"audio_parts", "end", "key", "name", "number", "size", "srid", "start",
                                           "video_parts", "window"}));
        EXPECT_EQ(day["key"].toString(), expectedKeys[i]);
        EXPECT_EQ(day["number"].toString(), "1");
        EXPECT_EQ(day["srid"].toString(), i % 2 == 0 ? "1001" : "cam-7");
        EXPECT_EQ(day["name"].toString(), TwoCamerasThreeDaysTargets()[i].section('/', -1));
        EXPECT_GT(day["size"].toDouble(), 1500.0);

        // Every time lies inside the day's window, the window inside its local day.
        const double fDayStart = Local(2026, 3, 1 + i / 2, 0, 0, 0);
        const QJsonArray window = day["window"].toArray();
        ASSERT_EQ(window.size(), 2);
        EXPECT_GE(window[0].toDouble(), fDayStart);
        EXPECT_LT(window[1].toDouble(), fDayStart + 86400);
        EXPECT_GE(day["start"].toDouble(), window[0].toDouble());
        EXPECT_LE(day["end"].toDouble(), window[1].toDouble());
        for (const char* pKind : {"video_parts", "audio_parts"}) {
            const QJsonArray parts = day[pKind].toArray();
            ASSERT_FALSE(parts.isEmpty()) << pKind;
            for (const QJsonValue& value : parts) {
                const QJsonArray part = value.toArray();
                ASSERT_EQ(part.size(), 2);
                EXPECT_GE(part[0].toDouble(), day["start"].toDouble());
                EXPECT_LE(part[1].toDouble(), day["end"].toDouble());
            }
        }
    }

    // The day across midnight is cut there: 1001's first day ends before it, its second starts at it.
    EXPECT_EQ(days[0].toObject()["start"].toDouble(), Local(2026, 3, 1, 23, 59, 54));
    EXPECT_LT(days[0].toObject()["end"].toDouble(), Local(2026, 3, 2, 0, 0, 0));
    EXPECT_EQ(days[2].toObject()["start"].toDouble(), Local(2026, 3, 2, 0, 0, 0));
    // cam-7's third day holds two files: two video parts with the gap between them.
    const QJsonArray parts = days[5].toObject()["video_parts"].toArray();
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(parts[0].toArray()[0].toDouble(), Local(2026, 3, 3, 20, 0, 0));
    EXPECT_EQ(parts[1].toArray()[0].toDouble(), Local(2026, 3, 3, 20, 0, 30));
}

TEST_F(ScanCommandTest, NamedZoneGivesTheSameDaysAsItsOffset)
{
    const SRun byOffset = RunKelmconv({"scan", "--tz", "UTC+3", "--json", m_qsRecordings});
    const SRun byName = RunKelmconv({"scan", "--tz", "Europe/Moscow", "--json", m_qsRecordings});
    ASSERT_EQ(byName.status, 0);
    EXPECT_EQ(JsonObjectOf(byName.out), JsonObjectOf(byOffset.out));
}

TEST_F(ScanCommandTest, ZoneMovesTheDayBoundaries)
{
    // At UTC+1 the 1001 file runs from 21:59:54 to 22:00:04 on 1 March: one day instead of two.
    const SRun run = RunKelmconv({"scan", "--tz", "UTC+1", "--json", m_qsRecordings});
    ASSERT_EQ(run.status, 0);
    const QJsonObject report = JsonObjectOf(run.out);
    EXPECT_EQ(report["offset"].toDouble(), 3600.0);
    QStringList keys;
    for (const QJsonValue& day : report["days"].toArray())
        keys << day.toObject()["key"].toString();
    EXPECT_EQ(keys, QStringList({DayKey(2026, 3, 1, "1", "1001"), DayKey(2026, 3, 1, "1", "cam-7"),
                                 DayKey(2026, 3, 2, "1", "cam-7"), DayKey(2026, 3, 3, "1", "1001"),
                                 DayKey(2026, 3, 3, "1", "cam-7")}));
}

TEST_F(ScanCommandTest, WithoutZoneTheSystemZoneApplies)
{
    // A zone given to an earlier command of the same process must not stay selected.
    ASSERT_EQ(RunKelmconv({"scan", "--tz", "UTC+11", "--json", m_qsRecordings}).status, 0);
    EXPECT_FALSE(KcTime::CTimeUtil::selectedTimeZone().isValid());
    const SRun run = RunKelmconv({"scan", "--json", m_qsRecordings});
    ASSERT_EQ(run.status, 0);
    const int nSystemOffset = QTimeZone::systemTimeZone().standardTimeOffset(
        QDateTime::fromSecsSinceEpoch(qint64(LocalToUtc(2026, 3, 1, 23, 59, 54)), Qt::UTC));
    EXPECT_EQ(JsonObjectOf(run.out)["offset"].toDouble(), double(nSystemOffset));
}

TEST_F(ScanCommandTest, UnusableFilesAndWarningsAreReported)
{
    const QString qsOther = QDir(m_dir.path()).filePath("other");
    QDir().mkpath(qsOther);
    const QString qsGarbage = QDir(qsOther).filePath("garbage.kelm");
    const QString qsTruncated = QDir(qsOther).filePath("truncated.kelm");
    WriteGarbageFile(qsGarbage);
    WriteTruncatedRecording(qsTruncated);
    WriteGarbageFile(QDir(qsOther).filePath("notes.txt")); // not a .kelm file: not even looked at

    const SRun run = RunKelmconv({"scan", "--tz", "UTC+3", "--json", m_qsRecordings, qsOther});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonObject report = JsonObjectOf(run.out);
    EXPECT_EQ(report["found"].toInt(), 8);
    EXPECT_EQ(report["blacklist"].toArray(), QJsonArray({qsGarbage}));

    const QJsonArray errors = report["file_errors"].toArray();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].toObject().keys(), QStringList({"code", "file", "message"}));
    EXPECT_EQ(errors[0].toObject()["file"].toString(), qsGarbage);
    EXPECT_EQ(errors[0].toObject()["code"].toInt(), 14);

    const QJsonArray warnings = report["file_warnings"].toArray();
    ASSERT_FALSE(warnings.isEmpty());
    for (const QJsonValue& warning : warnings)
        EXPECT_EQ(warning.toObject()["file"].toString(), qsTruncated);

    // The truncated recording still gives its day.
    bool bFound = false;
    for (const QJsonValue& day : report["days"].toArray())
        bFound = bFound || day.toObject()["key"].toString() == DayKey(2026, 3, 2, "1", "cam-9");
    EXPECT_TRUE(bFound);
}

TEST_F(ScanCommandTest, TextShowsEveryCameraDayWithItsGaps)
{
    const SRun run = RunKelmconv({"scan", "--tz", "UTC+3", m_qsRecordings});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QString& text = run.out;
    QString qsMissing;
    EXPECT_TRUE(ContainsInOrder(
        text,
        {"6 .kelm files found; local time is UTC+3", "SRID 1001, camera 1", "2026-03-01  23:59-00:00",
         "1001_1_01.03.26_23.59-00.00.mp4  key " + DayKey(2026, 3, 1, "1", "1001"), "2026-03-02  00:00-00:01",
         "2026-03-03  08:00-08:01", "SRID cam-7, camera 1", "2026-03-01  20:00-20:01", "2026-03-02  20:00-20:01",
         "2026-03-03  20:00-20:01", "cam-7_03.03.26_20.00-20.01.mp4"},
        &qsMissing))
        << qsMissing.toStdString() << "\n"
        << text.toStdString();

    // 20:00:00 to 20:00:32 with video in 20:00:00-02 and 20:00:30-32: 28 of 32 seconds lost.
    EXPECT_TRUE(text.contains("Lost: 28 sec from 32 sec")) << text.toStdString();
    EXPECT_TRUE(text.contains("[#####" + QString(55, '.') + "####]")) << text.toStdString();
    // Days without a gap show no lost time and a full line.
    EXPECT_EQ(text.count("Lost:"), 1);
    EXPECT_EQ(text.count("[" + QString(64, '#') + "]"), 5);
}

TEST_F(ScanCommandTest, NothingFoundEndsWithStatusOne)
{
    const QString qsEmpty = QDir(m_dir.path()).filePath("empty");
    QDir().mkpath(qsEmpty);
    WriteGarbageFile(QDir(qsEmpty).filePath("readme.txt"));
    const QString qsMissing = QDir(m_dir.path()).filePath("no-such-folder");
    const struct {
        QStringList arguments;
        QString qsJsonError; // empty: nothing on the output
        QString qsErr;
    } cases[] = {
        {{"scan", qsEmpty}, "", "no .kelm files found"},
        {{"scan", "--json", qsEmpty}, "no .kelm files found in the locations given", "no .kelm files found"},
        // A path that is not there is named as such, not as a folder without recordings.
        {{"scan", "--json", qsMissing}, "no such file or folder: " + qsMissing, "no such file or folder: " + qsMissing},
        {{"scan", "-q", qsMissing, qsEmpty}, "", "no such file or folder: " + qsMissing},
        // Bytes that are not UTF-8 arrive as U+FFFD: the name cannot be opened.
        {{"scan", "--json", qsEmpty + QStringLiteral("/\uFFFD.kelm")},
         "skipped: " + qsEmpty + QStringLiteral("/\uFFFD.kelm: the name is not valid UTF-8"),
         "not valid UTF-8"},
    };
    for (const auto& c : cases) {
        const SRun run = RunKelmconv(c.arguments);
        EXPECT_EQ(run.status, 1);
        if (c.qsJsonError.isEmpty())
            EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
        else
            EXPECT_EQ(JsonObjectOf(run.out)["error"].toString(), c.qsJsonError) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(c.qsErr)) << run.err.toStdString();
    }
}

// Nothing usable: the user learns each file's reason, and --json still gives one object.
TEST_F(ScanCommandTest, OnlyUnusableFilesIsAFailedAnalysis)
{
    const QString qsBad = QDir(m_dir.path()).filePath("bad");
    QDir().mkpath(qsBad);
    WriteGarbageFile(QDir(qsBad).filePath("a.kelm"));
    WriteGarbageFile(QDir(qsBad).filePath("b.kelm"));
    for (const bool bJson : {false, true}) {
        const SRun run = RunKelmconv(bJson ? QStringList{"scan", "--json", qsBad} : QStringList{"scan", qsBad});
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(run.err.contains("Analyzing failed.")) << run.err.toStdString();
        for (const char* pName : {"a.kelm", "b.kelm"})
            EXPECT_TRUE(
                run.err.contains(QStringLiteral("Invalid RecordID value (%1)").arg(QDir(qsBad).filePath(pName))))
                << run.err.toStdString();
        if (!bJson) {
            EXPECT_TRUE(run.out.isEmpty());
            continue;
        }
        const QJsonObject result = JsonObjectOf(run.out);
        EXPECT_TRUE(result["error"].toString().contains("Analyzing failed.")) << run.out.toStdString();
        EXPECT_EQ(result["found"].toInt(), 2);
        EXPECT_EQ(result["file_errors"].toArray().size(), 2);
        EXPECT_EQ(result["blacklist"].toArray().size(), 2);
    }
}

} // namespace
} // namespace KcCliTest
