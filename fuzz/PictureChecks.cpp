// SPDX-License-Identifier: MIT
#include "fuzz/PictureChecks.h"

#include "pictures/Picture.h"
#include "pictures/PictureLimits.h"

#include <QPainter>

std::string CheckPicture(const uint8_t* data, std::size_t size, const char* extension) {
    TPicture picture;
    try {
        picture.LoadFromData(
            QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)),
            extension);
    } catch (const EInvalidGraphic&) {
        return picture.Empty() ? std::string() : "a failed load left a picture behind";
    }
    const int64_t w = picture.Width();
    const int64_t h = picture.Height();
    if (w <= 0 || h <= 0 || !PictureSizeProblem("picture", w, h).empty())
        return "loaded a picture of " + std::to_string(w) + " x " + std::to_string(h) + " pixels";
    // Drawn as the controls draw pictures: at natural size, and stretched.
    QImage canvas(64, 64, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter painter(&canvas);
    picture.Draw(painter, 0, 0);
    picture.StretchDraw(painter, QRect(0, 0, 64, 64));
    return {};
}
