// SPDX-License-Identifier: MIT
#pragma once
// The picture control under all others: it shows its picture unscaled from the top-left
// corner and carries the window's mouse handling and popup menu.

#include "pictures/Picture.h"

#include <QWidget>
#include <functional>

class QMenu;

class TImage : public QWidget {
    Q_OBJECT
public:
    using TMouseHandler = std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int, int)>;
    using TMoveHandler = std::function<void(Qt::KeyboardModifiers, int, int)>;

    explicit TImage(QWidget* parent);
    TPicture Picture;
    QMenu* PopupMenu = nullptr;
    TMouseHandler OnMouseDown;
    TMoveHandler OnMouseMove;
    TMouseHandler OnMouseUp;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
