#include "core/DisplayText.h"

#include "core/TimeUtil.h"

namespace KcCore {

QString CDisplayText::size(quint64 ullBytes)
{
    // Decimal thresholds with binary divisors: a figure can read below 1 ("0 Mb" for 1 024 000
    // bytes), which keeps the number short whatever the unit.
    constexpr quint64 kGb = quint64(1) << 30;
    constexpr quint64 kMb = quint64(1) << 20;
    constexpr quint64 kKb = quint64(1) << 10;

    if (ullBytes >= 1048576000u) {
        // Two decimals only when they say something (at least 0.01 Gb past the whole count).
        if (ullBytes % kGb >= 10485760u)
            return QStringLiteral("%L1 ").arg(double(ullBytes) / double(kGb), 0, 'f', 2) + tr("Gb");
        return QStringLiteral("%1 ").arg(ullBytes / kGb) + tr("Gb");
    }
    if (ullBytes >= 1024000u)
        return QStringLiteral("%1 ").arg(ullBytes / kMb) + tr("Mb");
    if (ullBytes >= 1000u)
        return QStringLiteral("%1 ").arg(ullBytes / kKb) + tr("Kb");
    return QStringLiteral("%1 ").arg(ullBytes) + tr("Bytes");
}

QString CDisplayText::duration(quint64 ullSeconds, bool bAfterFrom)
{
    // The words keep the translation contexts the date pane has always given them (the pane's
    // own and the general one), so that a translation can follow Russian plural rules.
    const auto pane = [](const char* pWord, const char* pComment = nullptr) {
        return QCoreApplication::translate("KcForms::CDateVisualPaneCenter", pWord, pComment);
    };
    const auto general = [](const char* pWord) { return QCoreApplication::translate("QObject", pWord); };

    quint64 t = ullSeconds;
    // Beyond ten minutes the seconds are noise: show whole minutes, rounded up.
    if (t > 600)
        t = KcTime::CTimeUtil::roundUpToMinute(t);

    const quint64 hours = t / 3600;
    const quint64 minutes = (t / 60) % 60;
    const quint64 seconds = t % 60;

    // The hour words follow the Russian plural forms through their translations, while their
    // English sources follow English: "from 1 hour" takes the Russian few form, "21 hour" the
    // Russian singular, so those two get words of their own whose source reads right in English.
    // Every figure is followed by a blank, the last one too.
    QString qsText;
    if (hours > 0) {
        QString qsWord;
        if (hours == 1)
            qsWord = bAfterFrom ? pane("hour", "after from") : pane("hour");
        else if (hours == 21)
            qsWord = bAfterFrom ? pane("hours") : pane("hours", "singular");
        else if (!bAfterFrom && ((hours >= 2 && hours <= 4) || (hours >= 22 && hours <= 24)))
            qsWord = pane("hours");
        else
            qsWord = general("hours");
        qsText += QString::number(hours) + QLatin1Char(' ') + qsWord + QLatin1Char(' ');
    }
    if (minutes > 0) {
        const quint64 lastDigit = minutes % 10;
        const bool bTeen = minutes >= 10 && minutes < 20;
        const bool bOne = lastDigit == 1 && !bTeen;
        const bool bFew = lastDigit >= 2 && lastDigit <= 4 && !bTeen;
        const QString qsWord = (bOne || (!bAfterFrom && bFew)) ? pane("min") : general("min");
        qsText += QString::number(minutes) + QLatin1Char(' ') + qsWord + QLatin1Char(' ');
    }
    if (seconds > 0)
        qsText += QString::number(seconds) + QLatin1Char(' ') + pane("sec");
    return qsText;
}

} // namespace KcCore
