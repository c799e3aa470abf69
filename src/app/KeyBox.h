// SPDX-License-Identifier: MIT
#pragma once
// The edit that holds the key. Masked, Qt already keeps the key off the clipboard, the primary
// selection and drags; shown as typed (while the eye button is held), it would not. So while the
// key is readable this box takes no copy, cut or selection of any kind. It takes no undo or redo
// at all, and emptying it leaves nothing behind for one. Its edit menu is never offered.

#include <QLineEdit>
#include <functional>

class TKeyBox : public QLineEdit {
    Q_OBJECT
public:
    explicit TKeyBox(QWidget* parent);

    // Shows the key as typed (true) or masked (false).
    void SetRevealed(bool revealed);
    [[nodiscard]] bool Revealed() const { return FRevealed; }

    // Empties the box and forgets its undo history.
    void ClearKey();

    // The box never shows its own edit menu (it offers undo and selection of a secret). A menu
    // asked for from the keyboard (the Menu key, Shift+F10) is the owner's to show.
    std::function<void()> OnMenuKey;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    bool FRevealed = false;
};
