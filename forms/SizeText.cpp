#include "SizeText.h"

namespace KcForms {

QString CSizeText::text(quint64 ullBytes)
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

} // namespace KcForms
