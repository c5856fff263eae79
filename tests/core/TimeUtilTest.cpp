#include "core/TimeUtil.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <vector>

using KcTime::CTimeUtil;

namespace {

qint64 utcSeconds(int year, int month, int day)
{
    return QDateTime(QDate(year, month, day), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
}

const qint64 kWinter = utcSeconds(2026, 1, 15);
const qint64 kSummer = utcSeconds(2026, 7, 15);

// The system zone of these tests has daylight saving, so a result that follows it shows.
class TimeUtilTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        qputenv("TZ", "Europe/Berlin");
        tzset();
    }
    void SetUp() override
    {
        if (QTimeZone::systemTimeZoneId() != "Europe/Berlin")
            GTEST_SKIP() << "the system zone cannot be set to Europe/Berlin";
        CTimeUtil::setSelectedTimeZone(QTimeZone());
    }
    void TearDown() override { CTimeUtil::setSelectedTimeZone(QTimeZone()); }
};

} // namespace

TEST(TimeUtilTextTest, UtcOffsetText)
{
    const std::vector<std::pair<int, QString>> cases = {
        {-5, "UTC-5"}, {-12, "UTC-12"}, {0, "UTC+0"}, {3, "UTC+3"}, {12, "UTC+12"},
    };
    for (const auto& [hours, text] : cases)
        EXPECT_EQ(CTimeUtil::utcOffsetText(hours), text) << hours;
}

TEST(TimeUtilTextTest, RoundUpToMinute)
{
    const std::vector<std::pair<quint64, quint64>> cases = {
        {0, 0},    {1, 60},    {59, 60},   {60, 60},
        {61, 120}, {120, 120}, {121, 180}, {4294967295u, 4294967340u}, // past 32 bits without wrapping
    };
    for (const auto& [seconds, rounded] : cases)
        EXPECT_EQ(CTimeUtil::roundUpToMinute(seconds), rounded) << seconds;
}

TEST_F(TimeUtilTest, WithoutSelectionTheSystemStandardOffsetApplies)
{
    EXPECT_FALSE(CTimeUtil::selectedTimeZone().isValid());
    EXPECT_EQ(CTimeUtil::standardOffsetAt(kWinter), 3600);
    EXPECT_EQ(CTimeUtil::standardOffsetAt(kSummer), 3600);
    EXPECT_EQ(CTimeUtil::standardOffsetAt(double(kSummer) + 0.5), 3600.0);
    EXPECT_EQ(CTimeUtil::systemStandardOffsetNow(), 3600);
    EXPECT_EQ(CTimeUtil::toLocalSeconds(kSummer), kSummer + 3600);
}

TEST_F(TimeUtilTest, SelectedFixedZoneIgnoresTheMoment)
{
    CTimeUtil::setSelectedTimeZone(QTimeZone(10800));
    for (const qint64 moment : {qint64(0), kWinter, kSummer}) {
        EXPECT_EQ(CTimeUtil::standardOffsetAt(moment), 10800) << moment;
        EXPECT_EQ(CTimeUtil::standardOffsetAt(double(moment) + 0.25), 10800.0) << moment;
    }
    // Every integer type of a moment takes the same way.
    EXPECT_EQ(CTimeUtil::standardOffsetAt(std::time_t(kSummer)), 10800);
    EXPECT_EQ(CTimeUtil::standardOffsetAt(uint32_t(kSummer)), 10800);
    EXPECT_EQ(CTimeUtil::standardOffsetAt(int(kSummer)), 10800);

    EXPECT_EQ(CTimeUtil::toLocalSeconds(kWinter), kWinter + 10800);
    EXPECT_DOUBLE_EQ(CTimeUtil::toLocalSeconds(double(kWinter) + 0.75), double(kWinter) + 10800.75);
    // The start-up check reads the computer's zone, not the selection.
    EXPECT_EQ(CTimeUtil::systemStandardOffsetNow(), 3600);
}

TEST_F(TimeUtilTest, SelectedZoneWithDaylightSavingUsesStandardTime)
{
    CTimeUtil::setSelectedTimeZone(QTimeZone("America/New_York"));
    ASSERT_TRUE(CTimeUtil::selectedTimeZone().isValid());
    EXPECT_EQ(CTimeUtil::standardOffsetAt(kWinter), -18000);
    EXPECT_EQ(CTimeUtil::standardOffsetAt(kSummer), -18000);
}

TEST_F(TimeUtilTest, InvalidSelectionFallsBackToTheSystemZone)
{
    CTimeUtil::setSelectedTimeZone(QTimeZone(10800));
    CTimeUtil::setSelectedTimeZone(QTimeZone());
    EXPECT_EQ(CTimeUtil::standardOffsetAt(kSummer), 3600);
}
