#include "forms/FolderDialog.h"

#include <QDir>
#include <QFileDialog>

namespace KcForms {
namespace FolderDialog {

namespace {
QString& lastFolder()
{
    static QString qsLastFolder;
    return qsLastFolder;
}
} // namespace

void prepare(QFileDialog& dialog)
{
    dialog.setDirectory(startFolder());
}

void setLastFolder(const QString& qsFolder)
{
    lastFolder() = qsFolder;
}

QString startFolder()
{
    // A folder removed since falls back to the home folder rather than to the working folder.
    const QString& qsLast = lastFolder();
    if (!qsLast.isEmpty() && QDir(qsLast).exists())
        return qsLast;
    return QDir::homePath();
}

} // namespace FolderDialog
} // namespace KcForms
