#include "core/InstallPaths.h"

#include <QDir>
#include <QFileInfo>

namespace KcPaths {

QString installedDataFolder(const QString& qsExeDir)
{
    return QDir::cleanPath(qsExeDir + QStringLiteral("/" KC_DATA_FROM_BIN));
}

QString installedTranslationsFolder(const QString& qsExeDir)
{
    return installedDataFolder(qsExeDir) + QStringLiteral("/translations");
}

bool isInstalledCopy(const QString& qsExeDir)
{
    return QFileInfo(installedDataFolder(qsExeDir)).isDir();
}

} // namespace KcPaths
