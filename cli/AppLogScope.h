#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace KcCli {

// The application log for the length of one job command, where the desktop program keeps it:
// "KelmConverter.log" in the executable's folder, or in the user's state folder when that folder
// is not writable (an installed copy); opened for appending. The first entries name
// the command line and the time zone; the last one closes the run. A log that cannot be opened
// is reported once on the error stream and the command goes on without it.
class CAppLogScope {
public:
    CAppLogScope(const QStringList& slCommandLine, const QString& qsZoneText, QTextStream& err);
    ~CAppLogScope();
    CAppLogScope(const CAppLogScope&) = delete;
    CAppLogScope& operator=(const CAppLogScope&) = delete;

private:
    bool m_bOpen = false;
};

} // namespace KcCli
