// Sizes and durations as the date panes, the videos-found form and kelmconv show them.
#include "core/DisplayText.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <string>

namespace {

using KcCore::CDisplayText;

TEST(DisplayTextTest, SizesUseDecimalThresholdsAndBinaryDivisors)
{
    const QLocale previous;
    constexpr quint64 kGb = quint64(1) << 30;
    struct SCase {
        QLocale::Language language;
        quint64 bytes;
        const char* pText;
    };
    const SCase cases[] = {
        {QLocale::C, 0, "0 Bytes"},
        {QLocale::C, 999, "999 Bytes"},
        {QLocale::C, 1000, "0 Kb"},
        {QLocale::C, 1023999, "999 Kb"},
        {QLocale::C, 1024000, "0 Mb"},
        {QLocale::C, 1048575999, "999 Mb"},
        {QLocale::C, 1048576000, "0.98 Gb"},      // two decimals: the remainder says something
        {QLocale::C, 3 * kGb, "3 Gb"},            // whole: no decimals
        {QLocale::C, 3 * kGb + 10485759, "3 Gb"}, // below 0.01 Gb past the whole count
        {QLocale::C, 3 * kGb + 10485760, "3.01 Gb"},
        // The decimals follow the default locale, as the desktop program's Russian does.
        {QLocale::Russian, 1048576000, "0,98 Gb"},
        {QLocale::Russian, kGb, "1 Gb"},
        {QLocale::Russian, kGb + 10485760, "1,01 Gb"},
        {QLocale::Russian, 5 * kGb + kGb / 2, "5,50 Gb"},
    };
    for (const SCase& c : cases) {
        QLocale::setDefault(QLocale(c.language));
        EXPECT_EQ(CDisplayText::size(c.bytes).toStdString(), c.pText) << c.bytes;
    }
    QLocale::setDefault(previous);
}

TEST(DisplayTextTest, DurationsRoundBeyondTenMinutesAndFollowEnglishGrammar)
{
    struct SCase {
        quint64 seconds;
        bool bAfterFrom;
        const char* pText;
    };
    const SCase cases[] = {
        {75, false, "1 min 15 sec"},
        {59, false, "59 sec"},
        {600, false, "10 min "},        // exactly ten minutes: not rounded
        {601, false, "11 min "},        // rounded up to the next whole minute
        {3725, false, "1 hour 3 min "}, // 3780 after rounding
        {3600, true, "1 hour "},        // English grammar after "from" as well
        {7200 + 59, false, "2 hours 1 min "},
        {21 * 3600, false, "21 hours "},
        {21 * 3600 + 60, true, "21 hours 1 min "},
        {86400, true, "24 hours "},
        {0, false, ""},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(CDisplayText::duration(c.seconds, c.bAfterFrom).toStdString(), c.pText) << c.seconds;
}

} // namespace
