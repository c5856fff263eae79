#pragma once

#include <QString>

#include <ostream>

// Failure messages show texts as text.
inline void PrintTo(const QString& qsText, std::ostream* pStream)
{
    *pStream << '"' << qsText.toStdString() << '"';
}

inline std::ostream& operator<<(std::ostream& stream, const QString& qsText)
{
    return stream << qsText.toStdString();
}
