// SPDX-License-Identifier: MIT
#include "app/Image.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

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
