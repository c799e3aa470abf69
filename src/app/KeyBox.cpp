// SPDX-License-Identifier: MIT
#include "app/KeyBox.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {

// Keys that would copy the key somewhere, bring back an older key, or select text (on X11 a
// selection is offered to every other program at once).
bool LeaksOrSelects(const QKeyEvent* event) {
    for (const auto key : {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Undo,
                           QKeySequence::Redo, QKeySequence::SelectAll})
        if (event->matches(key))
            return true;
    // Shift with a key that types nothing moves the cursor selecting (Shift+Home, Shift+Left);
    // Shift with a letter types a capital.
    const QString text = event->text();
    const bool typesText = !text.isEmpty() && text.front().isPrint();
    return (event->modifiers() & Qt::ShiftModifier) && !typesText;
}

} // namespace

TKeyBox::TKeyBox(QWidget* parent) : QLineEdit(parent) {
    setEchoMode(QLineEdit::Password);
    setDragEnabled(false);
}

void TKeyBox::SetRevealed(bool revealed) {
    if (revealed == FRevealed)
        return;
    FRevealed = revealed;
    // A selection made while masked would become readable text.
    if (revealed)
        deselect();
    setEchoMode(revealed ? QLineEdit::Normal : QLineEdit::Password);
}

void TKeyBox::ClearKey() {
    // clear() is itself an edit that undo reverts; setText starts a new history.
    setText(QString());
}

void TKeyBox::keyPressEvent(QKeyEvent* event) {
    // An undo brings back, or takes away, a key the user no longer sees: never, masked or not.
    if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        event->accept();
        return;
    }
    if (FRevealed && LeaksOrSelects(event)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TKeyBox::mousePressEvent(QMouseEvent* event) {
    if (FRevealed)
        return event->accept();
    QLineEdit::mousePressEvent(event);
}

void TKeyBox::mouseMoveEvent(QMouseEvent* event) {
    if (FRevealed)
        return event->accept();
    QLineEdit::mouseMoveEvent(event);
}

void TKeyBox::mouseReleaseEvent(QMouseEvent* event) {
    if (FRevealed)
        return event->accept();
    QLineEdit::mouseReleaseEvent(event);
}

void TKeyBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (FRevealed)
        return event->accept();
    QLineEdit::mouseDoubleClickEvent(event);
}

void TKeyBox::contextMenuEvent(QContextMenuEvent* event) {
    // A right click on the box opens nothing, as on the window's other controls.
    event->accept();
    if (event->reason() == QContextMenuEvent::Keyboard && OnMenuKey)
        OnMenuKey();
}

void TKeyBox::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    // Tabbing into the box selects all of it.
    if (FRevealed)
        deselect();
}
