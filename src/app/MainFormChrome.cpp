// SPDX-License-Identifier: MIT
// The window's own handling under the mouse: the background drags the borderless window and
// carries the popup menu, the picture buttons fade on a press and snap back, and the eye button
// shows the key only while it is held over it, with the window in the user's hands.

#include "app/MainForm.h"
#include "app/MainFormButtons.h"

#include <QEvent>

// ---- buttons ------------------------------------------------------------------------------------

void TForm1::BindButtons() {
    BackImage->OnMouseDown = [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
        Guarded([&] { BackImageMouseDown(b, m, x, y); });
    };
    BackImage->OnMouseMove = [this](Qt::KeyboardModifiers m, int x, int y) {
        Guarded([&] { BackImageMouseMove(m, x, y); });
    };
    BackImage->OnMouseUp = [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
        Guarded([&] { BackImageMouseUp(b, m, x, y); });
    };

    // Press plays the fade; release (where bound) and leaving snap back.
    for (const TButtonRow& row : ButtonRows) {
        TVeskFade* btn = this->*row.Field;
        const bool isSee = btn == BtnSee;
        btn->OnMouseDown = [this, btn, isSee](TVeskFade*, Qt::MouseButton, Qt::KeyboardModifiers,
                                              int, int) {
            Guarded([&] {
                if (isSee) {
                    SetPasswordChar(QChar());
                    // The fade holds the thread; the key is readable while it plays.
                    KeyBox->repaint();
                }
                btn->Fade();
            });
        };
        auto snapBack = [this, btn, isSee](TVeskFade*) {
            Guarded([&] {
                if (isSee)
                    SetPasswordChar(QLatin1Char('#'));
                btn->Reset();
            });
        };
        if (row.ResetOnRelease)
            btn->OnMouseUp = [snapBack](TVeskFade* s, Qt::MouseButton, Qt::KeyboardModifiers, int,
                                        int) { snapBack(s); };
        btn->OnMouseLeave = snapBack;
        if (row.Click) {
            const auto click = row.Click;
            btn->OnClick = [this, click](TVeskFade*) {
                Guarded([this, click] { (this->*click)(); });
            };
        }
        // Space or Enter on the focused button is a click: pressed while the key is down, the
        // command when it is let go, then at rest (also for the two buttons whose picture a
        // click leaves pressed: a key has no pointer to move off them).
        btn->OnKeyDown = btn->OnMouseDown
                             ? [down = btn->OnMouseDown](
                                   TVeskFade* s) { down(s, Qt::LeftButton, Qt::NoModifier, 0, 0); }
                             : TVeskFade::TNotifyEvent();
        const auto click = row.Click;
        btn->OnKeyUp = [this, click, snapBack](TVeskFade* s) {
            if (click)
                Guarded([this, click] { (this->*click)(); });
            snapBack(s);
        };
        // A screen reader's press: the whole click at once; the eye shows or hides the key.
        btn->OnPress = [this, btn, click](TVeskFade*) {
            if (click)
                RunFromKey(btn, click);
            else
                Guarded([this] { ToggleKeyShown(); });
        };
    }
    BindKeys();
}

void TForm1::SetPasswordChar(QChar c) {
    FPasswordChar = c;
    KeyBox->SetRevealed(c.isNull());
}

void TForm1::hideEvent(QHideEvent* event) {
    MaskKey();
    QWidget::hideEvent(event);
}

void TForm1::changeEvent(QEvent* event) {
    // The key is not left readable on a window that is minimised or no longer the user's.
    if ((event->type() == QEvent::WindowStateChange && isMinimized()) ||
        (event->type() == QEvent::ActivationChange && !isActiveWindow()))
        MaskKey();
    QWidget::changeEvent(event);
}

void TForm1::ToggleKeyShown() {
    if (PasswordChar().isNull()) {
        MaskKey();
        return;
    }
    SetPasswordChar(QChar());
    KeyBox->repaint();
    BtnSee->Fade();
}

void TForm1::MaskKey() {
    if (!PasswordChar().isNull())
        return;
    SetPasswordChar(QLatin1Char('#'));
    BtnSee->Reset();
}

// ---- window chrome ------------------------------------------------------------------------------

void TForm1::BackImageMouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
    DragX = x;
    DragY = y;
    Dragging = true;
}

void TForm1::BackImageMouseMove(Qt::KeyboardModifiers, int x, int y) {
    if (!Dragging)
        return;
    // One move for both edges: each move is a round trip to the window system.
    move(this->x() + x - DragX, this->y() + y - DragY);
}

void TForm1::BackImageMouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    Dragging = false;
}
