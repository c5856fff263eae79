#pragma once

#include <QString>

namespace KcPaths {

// <prefix>/share/kelmconverter as seen from <prefix>/bin, the executable's folder: the installed
// program finds its data there whatever the prefix.
QString installedDataFolder(const QString& qsExeDir);
// The translations within it.
QString installedTranslationsFolder(const QString& qsExeDir);
// Whether the executable is an installed copy (its data folder exists). Such a copy never writes
// beside itself, even when it could (root in /usr/bin).
bool isInstalledCopy(const QString& qsExeDir);

} // namespace KcPaths
