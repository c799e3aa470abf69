// SPDX-License-Identifier: MIT
#pragma once
// The picture holder: nothing, or one graphic loaded from a bitmap, JPEG, icon or metafile.
// Controls keep their pictures in holders and redraw when a holder tells them it changed.

#include "pictures/InvalidGraphic.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QPainter;

enum class TPictureKind { pkNone, pkBitmap, pkJpeg, pkIcon, pkMetafile };

struct TGraphic; // the loaded graphic; immutable once built, so holders may share it

class TPicture {
public:
    using TSubscription = int;

    TPicture();
    ~TPicture();
    // Copies take the graphic only; whoever listened to the source keeps listening to it.
    TPicture(const TPicture& other);
    TPicture& operator=(const TPicture& other);

    // A holder loaded from path, with nobody listening; raises what LoadFromFile raises.
    [[nodiscard]] static TPicture FromFile(const QString& path);

    [[nodiscard]] TPictureKind Kind() const;
    [[nodiscard]] bool Empty() const { return Kind() == TPictureKind::pkNone; }
    [[nodiscard]] bool IsIcon() const { return Kind() == TPictureKind::pkIcon; }
    [[nodiscard]] bool IsMetafile() const { return Kind() == TPictureKind::pkMetafile; }
    [[nodiscard]] int Width() const;
    [[nodiscard]] int Height() const;

    // Takes a copy of source's graphic (or nothing, if source is empty) and notifies.
    void Assign(const TPicture& source);
    // Chooses the decoder by the extension (bmp, ico, wmf, emf, jpg, jpeg in any letter
    // case). A load that fails leaves the holder as it was and notifies nobody.
    void LoadFromFile(const QString& path);
    // As LoadFromFile, for the contents of a file named with extension (without its dot).
    void LoadFromData(const QByteArray& data, const QString& extension);
    void Clear();

    // Draws at natural size with the top-left corner at (x, y).
    void Draw(QPainter& painter, int x, int y) const;
    // Stretches into rect. An icon is never scaled: it is drawn at its natural size at the
    // rectangle's corner, as the desktop draws icons; scale it through an opaque image first.
    void StretchDraw(QPainter& painter, const QRect& rect) const;

    // Change notification, raised after every change of content.
    TSubscription Subscribe(std::function<void()> onChange);
    void Unsubscribe(TSubscription id);

private:
    void SetGraphic(std::shared_ptr<const TGraphic> graphic);
    void Changed();

    std::shared_ptr<const TGraphic> fGraphic;
    std::vector<std::pair<TSubscription, std::function<void()>>> fSubscribers;
    TSubscription fNextId = 1;
};

// Loads path only to see that it is a picture this program can show; raises the load's error.
void CheckPictureFile(const QString& path);
