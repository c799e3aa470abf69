// The window's own handling under the mouse: the background drags the borderless window and
// carries the popup menu, the picture buttons fade on a press and snap back, and the eye button
// shows the key only while it is held over it, with the window in the user's hands.

#include "Dialogs.h"
#include "MainForm.h"

#include <QMouseEvent>
#include <QPainter>

// ---- TImage ---------------------------------------------------------------------------------

TImage::TImage(QWidget* parent) : QWidget(parent) {
    Picture.Subscribe([this] { update(); });
}

void TImage::paintEvent(QPaintEvent*) {
    if (Picture.Empty())
        return;
    QPainter painter(this);
    // On a scaled screen the background is enlarged; blended, not in blocks of uneven size.
    if (devicePixelRatio() != 1.0)
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    Picture.Draw(painter, 0, 0);
}

void TImage::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (OnMouseDown)
        OnMouseDown(event->button(), event->modifiers(), p.x(), p.y());
}

void TImage::mouseMoveEvent(QMouseEvent* event) {
    // The pointer's place relative to where the window is now, not where the X server had it
    // when the move happened: during a drag several moves can queue up behind one window move,
    // and their own local positions would move the window by the same step again each time.
    const QPoint p = mapFromGlobal(event->globalPosition()).toPoint();
    if (OnMouseMove)
        OnMouseMove(event->modifiers(), p.x(), p.y());
}

void TImage::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (OnMouseUp)
        OnMouseUp(event->button(), event->modifiers(), p.x(), p.y());
    // The popup menu belongs to the background alone, and opens on the right button's release
    // also after a drag.
    if (event->button() == Qt::RightButton && PopupMenu)
        PopupMenu->popup(event->globalPosition().toPoint());
}

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

    // Press plays the fade; release (where bound) and leaving snap back. BtnClose and BtnOpen
    // have no release handler: they keep the pressed look until the pointer leaves them.
    struct TBinding {
        TVeskFade* Button;
        void (TForm1::*Click)();
        bool HasRelease;
    };
    const TBinding bindings[] = {
        {BtnClose, &TForm1::BtnCloseClick, false},
        {BtnMinimize, &TForm1::BtnMinimizeClick, true},
        {BtnSee, nullptr, true},
        {BtnOpen, &TForm1::BtnOpenClick, false},
        {BtnCrypt, &TForm1::BtnCryptClick, true},
        {BtnDeCrypt, &TForm1::BtnDeCryptClick, true},
        {BtnKill, &TForm1::BtnKillClick, true},
    };
    for (const auto& b : bindings) {
        TVeskFade* btn = b.Button;
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
        if (b.HasRelease)
            btn->OnMouseUp = [snapBack](TVeskFade* s, Qt::MouseButton, Qt::KeyboardModifiers, int,
                                        int) { snapBack(s); };
        btn->OnMouseLeave = snapBack;
        if (b.Click) {
            const auto click = b.Click;
            btn->OnClick = [this, click](TVeskFade*) {
                Guarded([this, click] { (this->*click)(); });
            };
        }
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
