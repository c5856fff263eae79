#pragma once

#include <QAbstractButton>
#include <QKeyEvent>
#include <QWidget>

namespace KcForms {

// The keys of a page: Enter for its main button, Escape for its CANCEL. The round buttons take
// no focus (they would draw a focus frame), so the page itself handles the keys.
namespace PageKeys {

inline bool isEnter(const QKeyEvent* pEvent)
{
    return (pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter)
           && (pEvent->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

inline bool isPlain(const QKeyEvent* pEvent, int nKey)
{
    return pEvent->key() == nKey && (pEvent->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

// Clicks the button only when the user could click it too: shown and enabled.
inline bool clickIfOffered(QAbstractButton* pButton)
{
    if (!pButton || pButton->isHidden() || !pButton->isEnabled())
        return false;
    pButton->click();
    return true;
}

// No button of the page takes the focus away from the page, which handles the keys.
inline void keepFocusOnPage(QWidget* pPage)
{
    for (QAbstractButton* pButton : pPage->findChildren<QAbstractButton*>())
        pButton->setFocusPolicy(Qt::NoFocus);
    pPage->setFocusPolicy(Qt::StrongFocus);
}

} // namespace PageKeys

} // namespace KcForms
