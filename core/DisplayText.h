#pragma once

#include <QCoreApplication>
#include <QString>
#include <QtGlobal>

namespace KcCore {

// Sizes and durations as both programs show them to people. The words go through the translation
// of this context, so the desktop program speaks its language and the command line (which loads no
// translation) English.
class CDisplayText {
    Q_DECLARE_TR_FUNCTIONS(KcCore::CDisplayText)

public:
    // "0.98 Gb", "999 Kb", "12 Bytes": decimal thresholds with binary divisors, decimals in the
    // default locale's notation.
    static QString size(quint64 ullBytes);

    // "1 hour 3 min ", "1 min 15 sec" (each figure but seconds followed by a blank); beyond ten
    // minutes rounded up to whole minutes. bAfterFrom: the figure follows "from" in
    // "Lost: X from Y", which takes other Russian forms.
    static QString duration(quint64 ullSeconds, bool bAfterFrom);
};

} // namespace KcCore
