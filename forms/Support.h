#pragma once

#include <QString>

namespace KcForms {

// The address that every page offers for questions and problems with the program.
inline const QString kSupportEMail = QStringLiteral("support@kelmconverter.example");

} // namespace KcForms
