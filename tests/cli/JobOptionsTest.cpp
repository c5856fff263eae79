// The command line of scan and convert: zones, options, usage errors.
#include "CliTestSupport.h"
#include "JobOptions.h"

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
    const SCase cases[] = {{"UTC+3", 3 * 3600}, {"UTC-5", -5 * 3600}, {"UTC+0", 0}, {"UTC+5:30", 5 * 3600 + 1800},
                           {"UTC+14", 14 * 3600}, {"utc+3", 3 * 3600}, {"Utc-5", -5 * 3600}};
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
        {"convert", "--out"},
        {"convert", "--only", "x"}, // the key takes the path: no path left
        {"convert", "--bogus", "x"},
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
