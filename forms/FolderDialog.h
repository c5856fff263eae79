#pragma once

#include <QString>

class QFileDialog;

namespace KcForms {

// Where the folder dialogs of the pages open: the user's home folder, then the folder chosen last
// during this run, whichever page chose it.
namespace FolderDialog {

// Sets the dialog's start folder.
void prepare(QFileDialog& dialog);
// Remembers a chosen folder; an empty one goes back to the home folder.
void setLastFolder(const QString& qsFolder);
QString startFolder();

} // namespace FolderDialog

} // namespace KcForms
