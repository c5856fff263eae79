#include "app/MessageBox.h"

#include <QPushButton>

namespace KcMain {

namespace {

MessageBoxHandler& currentHandler()
{
    static MessageBoxHandler handler;
    return handler;
}

} // namespace

void setMessageBoxHandler(MessageBoxHandler handler)
{
    currentHandler() = std::move(handler);
}

QMessageBox::StandardButton showMessageBox(QMessageBox::Icon icon, const QString& qsText,
                                           QMessageBox::StandardButtons buttons,
                                           QMessageBox::StandardButton defaultButton)
{
    SMessageBoxRequest request;
    request.icon = icon;
    request.qsTitle = QStringLiteral("Kelm Converter");
    request.qsText = qsText;
    request.buttons = buttons;
    request.defaultButton = defaultButton;
    if (const MessageBoxHandler& handler = currentHandler())
        return handler(request);

    QMessageBox box(request.icon, request.qsTitle, request.qsText, request.buttons);
    if (request.defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(request.defaultButton);
    } else {
        // No answer is taken for the user by a stray Enter.
        const QList<QAbstractButton*> buttonList = box.buttons();
        for (QAbstractButton* pButton : buttonList) {
            if (auto* pPushButton = qobject_cast<QPushButton*>(pButton))
                pPushButton->setAutoDefault(false);
        }
    }
    return QMessageBox::StandardButton(box.exec());
}

} // namespace KcMain
