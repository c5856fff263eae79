#include "forms/TimeZoneSelector.h"

#include <QComboBox>
#include <QDateTime>
#include <QSignalSpy>

#include "FormsTestSupport.h"

#include <gtest/gtest.h>

#include <ctime>
#include <vector>

using KcForms::CTimeZoneSelector;

namespace {

const char* const kListedZones[CTimeZoneSelector::kZoneCount] = {
    "Asia/Kamchatka", "Asia/Srednekolymsk", "Asia/Vladivostok",   "Asia/Yakutsk",
    "Asia/Irkutsk",   "Asia/Krasnoyarsk",   "Asia/Omsk",          "Asia/Yekaterinburg",
    "Europe/Samara",  "Europe/Moscow",      "Europe/Kaliningrad",
};

// Sets the process's zone for one test and puts the previous one back.
class CSystemZone {
public:
    explicit CSystemZone(const QByteArray& zone)
        : m_previous(qgetenv("TZ")),
          m_bHadPrevious(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~CSystemZone()
    {
        if (m_bHadPrevious)
            qputenv("TZ", m_previous);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray m_previous;
    bool m_bHadPrevious;
};

} // namespace

TEST(TimeZoneSelectorTest, ListsTheElevenZonesFromEastToWest)
{
    CTimeZoneSelector selector;
    QComboBox* pCombo = selector.comboBox();
    ASSERT_EQ(pCombo->count(), CTimeZoneSelector::kZoneCount);
    EXPECT_EQ(pCombo->itemText(0), QStringLiteral("MSK+9 (Petropavlovsk Kamchatsky, Magadan)"));
    EXPECT_EQ(pCombo->itemText(9), QStringLiteral("MSK+0 (Moscow)"));
    EXPECT_EQ(pCombo->itemText(10), QStringLiteral("MSK-1 (Kaliningrad)"));
    for (int i = 0; i < CTimeZoneSelector::kZoneCount; ++i)
        EXPECT_EQ(pCombo->itemData(i).toByteArray(), QByteArray(kListedZones[i])) << i;
}

TEST(TimeZoneSelectorTest, PreselectsAListedZoneByItsIdentifier)
{
    CTimeZoneSelector selector;
    for (int i = 0; i < CTimeZoneSelector::kZoneCount; ++i) {
        const QTimeZone zone(kListedZones[i]);
        if (!zone.isValid())
            continue; // not in this system's zone database
        selector.comboBox()->setCurrentIndex(i == 0 ? 1 : 0);
        selector.selectZone(zone);
        EXPECT_EQ(selector.currentIndex(), i) << kListedZones[i];
    }
}

TEST(TimeZoneSelectorTest, PreselectsAnUnlistedZoneByItsStandardOffset)
{
    struct SCase {
        QTimeZone zone;
        int expectedIndex; // -1: the selection stays
    };
    const std::vector<SCase> cases = {
        {QTimeZone("Asia/Novosibirsk"), 5},    // UTC+7
        {QTimeZone("Asia/Magadan"), 1},        // UTC+11
        {QTimeZone("Europe/Ulyanovsk"), 8},    // UTC+4
        {QTimeZone(2 * 3600), 10},             // the western end
        {QTimeZone(12 * 3600), 0},             // the eastern end
        {QTimeZone("Europe/Berlin"), -1},      // UTC+1 in standard time, even in summer
        {QTimeZone("Pacific/Kiritimati"), -1}, // UTC+14
        {QTimeZone("America/New_York"), -1},
        {QTimeZone(), -1}, // invalid
    };

    CTimeZoneSelector selector;
    for (const SCase& c : cases) {
        if (c.expectedIndex >= 0 && !c.zone.isValid())
            continue; // not in this system's zone database
        selector.comboBox()->setCurrentIndex(4);
        selector.selectZone(c.zone);
        EXPECT_EQ(selector.currentIndex(), c.expectedIndex < 0 ? 4 : c.expectedIndex) << c.zone.id().constData();
    }
}

TEST(TimeZoneSelectorTest, ConstructionPreselectsTheSystemZone)
{
    struct SCase {
        QByteArray systemZone;
        int expectedIndex;
    };
    const std::vector<SCase> cases = {
        {"Asia/Yakutsk", 3},
        {"Asia/Novosibirsk", 5},
        {"Europe/Berlin", 0}, // outside the list: the first item stays shown
    };
    for (const SCase& c : cases) {
        CSystemZone system(c.systemZone);
        if (QTimeZone::systemTimeZoneId() != c.systemZone)
            continue; // the zone cannot be set here
        CTimeZoneSelector selector;
        EXPECT_EQ(selector.currentIndex(), c.expectedIndex) << c.systemZone.constData();
    }
}

TEST(TimeZoneSelectorTest, EmitsAPlainOffsetForEveryItem)
{
    CTimeZoneSelector selector;
    QSignalSpy changed(&selector, &CTimeZoneSelector::zoneChanged);
    const QDateTime summer(QDate(2026, 7, 1), QTime(12, 0), Qt::UTC);

    for (int i = 0; i < CTimeZoneSelector::kZoneCount; ++i) {
        // Move away first so that every index is a change.
        selector.comboBox()->setCurrentIndex(i == 0 ? 1 : 0);
        changed.clear();
        selector.comboBox()->setCurrentIndex(i);

        ASSERT_EQ(changed.count(), 1) << i;
        const QTimeZone zone = changed.at(0).at(0).value<QTimeZone>();
        EXPECT_EQ(zone.offsetFromUtc(summer), 43200 - i * 3600) << i;
        EXPECT_EQ(zone.standardTimeOffset(summer), 43200 - i * 3600) << i;
        EXPECT_FALSE(zone.hasDaylightTime()) << i;
    }
}

TEST(TimeZoneSelectorTest, MoscowIsExactlyThreeHoursEast)
{
    CTimeZoneSelector selector;
    selector.comboBox()->setCurrentIndex(0);
    QSignalSpy changed(&selector, &CTimeZoneSelector::zoneChanged);

    selector.comboBox()->setCurrentIndex(9);

    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).value<QTimeZone>().offsetFromUtc(QDateTime::currentDateTimeUtc()), 10800);
}

TEST(TimeZoneSelectorTest, SelectingAZoneAfterConstructionReportsIt)
{
    CTimeZoneSelector selector;
    selector.comboBox()->setCurrentIndex(0);
    QSignalSpy changed(&selector, &CTimeZoneSelector::zoneChanged);

    selector.selectZone(QTimeZone("Europe/Kaliningrad"));

    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).value<QTimeZone>().offsetFromUtc(QDateTime::currentDateTimeUtc()), 7200);
}
