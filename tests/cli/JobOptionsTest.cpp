// The command line of scan and convert: zones, options, usage errors.
#include "cli/JobOptions.h"
#include "CliTestSupport.h"

#include <QDateTime>

namespace KcCliTest {
namespace {

using KcCli::ParseTimeZone;

int OffsetInJuly(const QTimeZone& zone)
{
    return zone.offsetFromUtc(QDateTime(QDate(2026, 7, 1), QTime(12, 0), Qt::UTC));
}

TEST(JobOptionsTest, OffsetZonesAreFixed)
{
    struct SCase {
        const char* pText;
        int nOffset;
    };
    const SCase cases[] = {{"UTC+3", 3 * 3600},           {"UTC-5", -5 * 3600},  {"UTC+0", 0},
                           {"UTC+5:30", 5 * 3600 + 1800}, {"UTC+14", 14 * 3600}, {"utc+3", 3 * 3600},
                           {"Utc-5", -5 * 3600}};
    for (const SCase& c : cases) {
        QTimeZone zone;
        ASSERT_TRUE(ParseTimeZone(c.pText, zone)) << c.pText;
        EXPECT_EQ(OffsetInJuly(zone), c.nOffset) << c.pText;
        EXPECT_EQ(zone.offsetFromUtc(QDateTime(QDate(2026, 1, 1), QTime(12, 0), Qt::UTC)), c.nOffset) << c.pText;
    }
}

TEST(JobOptionsTest, NamedZonesKeepTheirStandardOffsetAllYear)
{
    // Berlin is UTC+2 in summer; the selected zone must stay on standard time, as in the desktop
    // program's selector.
    QTimeZone zone;
    ASSERT_TRUE(ParseTimeZone("Europe/Berlin", zone));
    EXPECT_EQ(OffsetInJuly(zone), 3600);
    ASSERT_TRUE(ParseTimeZone("Europe/Moscow", zone));
    EXPECT_EQ(OffsetInJuly(zone), 3 * 3600);
}

TEST(JobOptionsTest, UnknownZonesAreRefused)
{
    for (const char* pText : {"", "Mars/Olympus", "UTC+15", "UTC+3:60", "UTC3", "+3", "gmt+3", "XYZ-3"}) {
        QTimeZone zone;
        EXPECT_FALSE(ParseTimeZone(pText, zone)) << pText;
    }
}

TEST(JobOptionsTest, UsageErrorsEndWithStatusTwoAndTheUsage)
{
    const QStringList cases[] = {
        {"scan"},
        {"convert"},
        {"scan", "--tz"},
        {"scan", "--tz", "Mars/Olympus", "x"},
        {"scan", "--out", "dir", "x"}, // convert's options are not scan's
        {"scan", "--only", "key", "x"},
        {"scan", "--skip-existing", "x"},
        {"convert", "--out"},
        {"convert", "--only", "x"}, // the key takes the path: no path left
        {"convert", "--bogus", "x"},
        {"convert", "-o"},
        {"convert", "--out=", "x"},
        {"scan", "-q", "-v", "x"},
        {"scan", "-qx", "x"},
        {"scan", "--help", "--bogus"}, // an unknown option is an error, help or not
    };
    for (const QStringList& arguments : cases) {
        const SRun run = RunKelmconv(arguments);
        EXPECT_EQ(run.status, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains("Usage: kelmconv " + arguments.first())) << run.err.toStdString();
    }
}

} // namespace
} // namespace KcCliTest

namespace KcCliTest {
namespace {

TEST(JobOptionsTest, ShortFormsValuesAndTheEndOfOptions)
{
    using KcCli::EProgressMode;
    const struct {
        QStringList arguments;
        QString qsOut;
        EProgressMode progress;
        QStringList slPaths;
    } cases[] = {
        {{"-o", "dir", "a"}, "dir", EProgressMode::Normal, {"a"}},
        {{"-odir", "a", "-q"}, "dir", EProgressMode::Quiet, {"a"}},
        {{"--out=dir", "--verbose", "a", "b"}, "dir", EProgressMode::Verbose, {"a", "b"}},
        {{"--quiet", "--", "-o", "--json"}, "", EProgressMode::Quiet, {"-o", "--json"}},
        {{"-v", "-"}, "", EProgressMode::Verbose, {"-"}},
    };
    for (const auto& c : cases) {
        KcCli::SJobOptions options;
        QString qsProblem;
        ASSERT_TRUE(KcCli::ParseJobOptions(c.arguments, true, options, qsProblem)) << qsProblem.toStdString();
        EXPECT_EQ(options.qsOutDir, c.qsOut);
        EXPECT_EQ(options.progress, c.progress);
        EXPECT_EQ(options.slPaths, c.slPaths);
        EXPECT_FALSE(options.bJson);
    }
}

TEST(JobOptionsTest, VersionAndHelpGoToTheOutputWithStatusZero)
{
    const struct {
        QStringList arguments;
        QStringList slNeedles;
    } cases[] = {
        {{"--version"}, {"kelmconv " KC_PROJECT_VERSION}},
        {{"-V"}, {"kelmconv " KC_PROJECT_VERSION}},
        {{"-h"}, {"Usage: kelmconv", "info", "scan", "convert", "-V, --version"}},
        {{"convert", "-h"},
         {"Usage: kelmconv convert", "--tz <ZONE>", "-o, --out <DIR>", "--only <KEY>", "-q, --quiet", "-v, --verbose",
          "--json", "Exit status"}},
        {{"scan", "--help"}, {"Usage: kelmconv scan", "-q, --quiet", "--json"}},
        {{"info", "-h"}, {"Usage: kelmconv info", "--json"}},
    };
    for (const auto& c : cases) {
        const SRun run = RunKelmconv(c.arguments);
        const std::string what = c.arguments.join(' ').toStdString();
        QString qsMissing;
        EXPECT_EQ(run.status, 0) << what;
        EXPECT_TRUE(run.err.isEmpty()) << what;
        EXPECT_TRUE(ContainsInOrder(run.out, c.slNeedles, &qsMissing)) << what << ": " << qsMissing.toStdString();
    }
    EXPECT_EQ(RunKelmconv({"-V"}).out, QStringLiteral("kelmconv " KC_PROJECT_VERSION "\n"));
    EXPECT_FALSE(RunKelmconv({"scan", "-h"}).out.contains("--out")) << "convert's options are not scan's";
}

} // namespace
} // namespace KcCliTest
