#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

namespace KcMain {

// One modal message of the program: always titled "Kelm Converter", no parent window.
struct SMessageBoxRequest {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString qsTitle;
    QString qsText;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Answers a request in place of a real box; returns the button "pressed".
using MessageBoxHandler = std::function<QMessageBox::StandardButton(const SMessageBoxRequest& request)>;

// Routes every message box of the application shell through a handler, so that a run without a
// user (a test, a scripted tour) can answer them. An empty handler restores the real boxes.
void setMessageBoxHandler(MessageBoxHandler handler);

// Shows a box (or asks the handler) and returns the button the user chose.
QMessageBox::StandardButton showMessageBox(QMessageBox::Icon icon, const QString& qsText,
                                           QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                           QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

} // namespace KcMain
