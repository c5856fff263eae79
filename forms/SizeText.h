#pragma once

#include <QCoreApplication>
#include <QString>
#include <QtGlobal>

namespace KcForms {

// The size of a file or of a whole export as the forms show it: "0,98 Gb", "999 Kb", "12 Bytes".
class CSizeText {
    Q_DECLARE_TR_FUNCTIONS(KcForms::CSizeText)

public:
    static QString text(quint64 ullBytes);
};

} // namespace KcForms
