// SPDX-License-Identifier: MIT
#include "controls/Gauges.h"
#include "controls/Accessibility.h"

#include "errors/Errors.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

namespace {

// The percentages and lengths are worked out in extended precision and truncated, the
// points of the pie and the needle rounded half to even: the gauge's figures depend on it
// (999 of 1000 is 99 %, not 100 %).
using TExtended = long double;

constexpr TExtended Pi = std::numbers::pi_v<long double>;

// The range in the message stops one short of the other bound, although a value equal to
// it is accepted: scripts and tests that match the text rely on this wording.
[[noreturn]] void RaiseOutOfRange(int64_t low, int64_t high) {
    char text[96];
    std::snprintf(text, sizeof text, "Value must be between %lld and %lld",
                  static_cast<long long>(low), static_cast<long long>(high));
    throw EInvalidOperation(text);
}

// Subtraction that wraps like the 32-bit registers the ranges were made for.
int32_t WrappingDifference(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

int32_t Truncated(TExtended value) {
    // Ranges that wrap around are not supported, but they must not make the conversion
    // undefined either.
    value = std::trunc(value);
    if (!(value >= static_cast<TExtended>(std::numeric_limits<int32_t>::min())))
        return std::numeric_limits<int32_t>::min();
    if (value > static_cast<TExtended>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

int Rounded(TExtended value) {
    return static_cast<int>(std::nearbyint(value));
}

} // namespace

// --- TBltBitmap -----------------------------------------------------------------------------

void TBltBitmap::MakeLike(const TBitmap& templ) {
    SetWidth(templ.Width());
    SetHeight(templ.Height());
    SetOrigin(templ.Origin());
    Canvas().Brush.Color = clWindowFrame;
    Canvas().Brush.Style = bsSolid;
    const QPoint at = Origin();
    Canvas().FillRect(TRect{at.x(), at.y(), at.x() + Width(), at.y() + Height()});
}

// --- TGauge: properties ---------------------------------------------------------------------

TGauge::TGauge(QWidget* parent) : QWidget(parent) {
    // Every pixel of the bounds is the gauge's own, so the parent never paints beneath it
    // and nothing flickers between the erase and the copy.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
    resize(100, 100);
    InstallControlsAccessibility();
}

void TGauge::SetMinValue(int32_t value) {
    if (value == FMinValue)
        return;
    if (value > FMaxValue && !FLoading)
        RaiseOutOfRange(-2147483647, static_cast<int64_t>(FMaxValue) - 1);
    FMinValue = value;
    if (FProgress < value)
        FProgress = value;
    RequestPaint();
}

void TGauge::SetMaxValue(int32_t value) {
    if (value == FMaxValue)
        return;
    if (value < FMinValue && !FLoading)
        RaiseOutOfRange(static_cast<int64_t>(FMinValue) + 1, 2147483647);
    FMaxValue = value;
    if (FProgress > value)
        FProgress = value;
    RequestPaint();
}

void TGauge::SetProgress(int32_t value) {
    const int32_t before = FillPercent();
    if (value < FMinValue)
        value = FMinValue;
    else if (value > FMaxValue)
        value = FMaxValue;
    if (value == FProgress)
        return;
    FProgress = value;
    // A caller may write as often as it likes: only a new whole percentage costs a paint.
    if (FillPercent() != before) {
        RequestPaint();
        NotifyValueChanged(this, FProgress);
    }
}

void TGauge::SetKind(TGaugeKind value) {
    StoreAndPaint(FKind, value);
}

void TGauge::SetShowText(bool value) {
    StoreAndPaint(FShowText, value);
}

void TGauge::SetBorderStyle(TBorderStyle value) {
    StoreAndPaint(FBorderStyle, value);
}

void TGauge::SetForeColor(TColor value) {
    StoreAndPaint(FForeColor, value);
}

void TGauge::SetBackColor(TColor value) {
    StoreAndPaint(FBackColor, value);
}

void TGauge::SetColor(TColor value) {
    if (value == FColor)
        return;
    FColor = value;
    // An ordinary control property: drawn with the next paint the event loop brings.
    update();
}

int32_t TGauge::FillPercent() const {
    const int32_t range = WrappingDifference(FMaxValue, FMinValue);
    if (range == 0)
        return 0;
    const TExtended done = static_cast<TExtended>(WrappingDifference(FProgress, FMinValue));
    return Truncated(done * 100.0L / static_cast<TExtended>(range));
}

int32_t TGauge::ScaleToPercent(int32_t percent, int32_t length) {
    return Truncated(static_cast<TExtended>(length) * (static_cast<TExtended>(percent) * 0.01L));
}

void TGauge::RequestPaint() {
    // repaint(), not update(): the file operations hold the thread until they finish, and an
    // update would only be drawn after that.
    if (isVisible() && parentWidget() != nullptr)
        repaint();
}

// --- TGauge: painting -----------------------------------------------------------------------

void TGauge::paintEvent(QPaintEvent* event) {
    QPainter canvas(this);
    Paint(canvas, event->rect());
}

TRect TGauge::FaceRect() const {
    TRect face{0, 0, width(), height()};
    if (FBorderStyle == bsSingle)
        face = TRect{1, 1, width() - 1, height() - 1};
    return face;
}

void TGauge::ClearImage(TBitmap& image) const {
    TCanvas& canvas = image.Canvas();
    // The image's whole surface, however many pixels a gauge's pixel takes on it.
    const QPoint at = image.Origin();
    const TRect all{at.x(), at.y(), at.x() + image.Width(), at.y() + image.Height()};
    canvas.CopyMode = cmBlackness;
    canvas.CopyRect(all, canvas, all);
    canvas.CopyMode = cmSrcCopy;
}

void TGauge::Probe(TPaintStage stage, const TBitmap& composition) const {
    if (FPaintProbe)
        FPaintProbe(stage, composition);
}

QRect TGauge::ComposedArea(const QRect& exposed) const {
    // A skin may lay the gauge out far larger than the window. Only the exposed part, which
    // the window system already cuts to what is visible, is composed, and never more than the
    // desktop can show at once: the faces are drawn in the gauge's own coordinates all the
    // same, so the pixels that are composed are those the whole gauge would have.
    const QRect area = rect() & exposed;
    QSize most(4096, 4096);
    if (const QScreen* shown = screen())
        most = most.expandedTo(shown->virtualSize());
    return QRect(area.topLeft(), area.size().boundedTo(most));
}

void TGauge::Paint(QPainter& canvas) {
    // Painted onto an image, say, rather than the gauge itself: only what lands on it counts.
    QRect exposed = rect();
    if (const QPaintDevice* device = canvas.device(); device != nullptr && device != this)
        exposed &=
            canvas.transform().inverted().mapRect(QRect(0, 0, device->width(), device->height()));
    Paint(canvas, exposed);
}

void TGauge::Paint(QPainter& canvas, const QRect& exposed) {
    ++FPaintCount;
    const QRect area = ComposedArea(exposed);
    if (area.isEmpty())
        return;
    // The images live on the stack for this one paint, so a failing step still frees them
    // on its way out.
    TBitmap composition(area.width(), area.height());
    composition.SetOrigin(area.topLeft());
    ClearImage(composition);
    const TRect face = FaceRect();
    const qreal ratio = canvas.device() ? canvas.device()->devicePixelRatio() : 1.0;
    {
        TBltBitmap faceImage;
        faceImage.MakeLike(composition);
        ClearImage(faceImage);
        switch (FKind) {
        case gkText:
            DrawPlainFace(faceImage, face);
            break;
        case gkHorizontalBar:
        case gkVerticalBar:
            DrawBarFace(faceImage, face);
            break;
        case gkPie:
            DrawPieFace(faceImage, face);
            break;
        case gkNeedle:
            DrawNeedleFace(faceImage, face);
            break;
        }
        // The composition is black, so the XOR copies the face.
        TCanvas& target = composition.Canvas();
        target.CopyMode = cmSrcInvert;
        target.Draw(0, 0, faceImage);
        target.CopyMode = cmSrcCopy;
        Probe(TPaintStage::FaceDrawn, composition);
        if (FShowText && ratio == 1.0) {
            DrawPercentText(composition, face, 1.0);
            Probe(TPaintStage::TextDrawn, composition);
        }
    }
    if (ratio == 1.0) {
        canvas.drawImage(area.topLeft(), composition.ToImage());
        return;
    }
    // On a scaled screen each of the gauge's pixels takes ratio device pixels. The face is
    // flat colour and is enlarged as it is; the text is drawn afresh at the device's own
    // resolution, since glyphs enlarged pixel by pixel at 1.5 come out uneven and unreadable.
    const QRect pixels(QPoint(static_cast<int>(std::floor(area.left() * ratio)),
                              static_cast<int>(std::floor(area.top() * ratio))),
                       QPoint(static_cast<int>(std::ceil((area.right() + 1) * ratio)) - 1,
                              static_cast<int>(std::ceil((area.bottom() + 1) * ratio)) - 1));
    TBitmap sharp(pixels.width(), pixels.height());
    sharp.SetOrigin(pixels.topLeft());
    sharp.Canvas().CopyRect(
        TRect{pixels.left(), pixels.top(), pixels.right() + 1, pixels.bottom() + 1},
        composition.Canvas(), TRect{area.left(), area.top(), area.right() + 1, area.bottom() + 1});
    if (FShowText) {
        const auto scaled = [ratio](int v) { return static_cast<int>(std::lround(v * ratio)); };
        DrawPercentText(
            sharp,
            TRect{scaled(face.Left), scaled(face.Top), scaled(face.Right), scaled(face.Bottom)},
            ratio);
        Probe(TPaintStage::TextDrawn, sharp);
    }
    QImage image = sharp.ToImage();
    image.setDevicePixelRatio(ratio);
    canvas.drawImage(QPointF(pixels.topLeft()) / ratio, image);
}

void TGauge::DrawPlainFace(TBitmap& image, const TRect& face) const {
    TCanvas& canvas = image.Canvas();
    canvas.Brush.Color = FBackColor;
    canvas.Brush.Style = bsSolid;
    canvas.FillRect(face);
}

void TGauge::DrawBarFace(TBitmap& image, const TRect& face) const {
    TCanvas& canvas = image.Canvas();
    const int w = face.Right - face.Left + 1;
    const int h = face.Bottom - face.Top + 1;
    canvas.Brush.Color = FBackColor;
    canvas.Brush.Style = bsSolid;
    canvas.FillRect(face);
    canvas.Pen.Color = FForeColor;
    canvas.Brush.Color = FForeColor;
    // The lengths stand as right and bottom coordinates themselves; with a border
    // (Left = Top = 1) a full bar covers the face exactly.
    if (FKind == gkHorizontalBar) {
        int n = ScaleToPercent(FillPercent(), w);
        if (n > w)
            n = w;
        if (n > 0)
            canvas.FillRect(TRect{face.Left, face.Top, n, h});
    } else {
        int n = ScaleToPercent(FillPercent(), h);
        if (n >= h)
            n = h - 1;
        canvas.FillRect(TRect{face.Left, h - n, w, h});
    }
}

// The pie and the needle share their start: the face's extent (one more each way with a frame),
// the surround in Color, and BackColor inside a ForeColor outline for what follows.
std::pair<int, int> TGauge::PrepareRoundFace(TCanvas& canvas, const TRect& face) const {
    int w = face.Right - face.Left;
    int h = face.Bottom - face.Top;
    if (FBorderStyle == bsSingle) {
        ++w;
        ++h;
    }
    canvas.Brush.Style = bsSolid;
    canvas.Brush.Color = FColor;
    canvas.FillRect(face);
    canvas.Brush.Color = FBackColor;
    canvas.Pen.Color = FForeColor;
    return {w, h};
}

void TGauge::DrawPieFace(TBitmap& image, const TRect& face) const {
    TCanvas& canvas = image.Canvas();
    const auto [w, h] = PrepareRoundFace(canvas, face);
    canvas.Ellipse(face.Left, face.Top, w, h);
    const int32_t percent = FillPercent();
    if (percent <= 0)
        return;
    canvas.Brush.Color = FForeColor;
    const int mx = w / 2;
    const int my = h / 2;
    const TExtended a = Pi * (static_cast<TExtended>(percent) / 50 + 0.5L);
    // The wedge runs clockwise from 12 o'clock to the point, which is the pie from the
    // point counter-clockwise back to 12 o'clock.
    canvas.Pie(face.Left, face.Top, w, h, Rounded(mx * (1 - std::cos(a))),
               Rounded(my * (1 - std::sin(a))), mx, 0);
}

void TGauge::DrawNeedleFace(TBitmap& image, const TRect& face) const {
    TCanvas& canvas = image.Canvas();
    const auto [w, h] = PrepareRoundFace(canvas, face);
    // The upper half of an ellipse twice the face's height: a dial standing on y = B - 1.
    canvas.Pie(face.Left, face.Top, w, 2 * h - 1, w + face.Left, face.Bottom - 1, face.Left,
               face.Bottom - 1);
    canvas.MoveTo(face.Left, face.Bottom);
    canvas.LineTo(w + face.Left, face.Bottom);
    const int32_t percent = FillPercent();
    if (percent <= 0)
        return;
    canvas.Pen.Color = FForeColor;
    const int cx = width() / 2;
    const TExtended a = Pi * static_cast<TExtended>(percent) / 100;
    canvas.MoveTo(cx, face.Bottom - 1);
    canvas.LineTo(Rounded(cx * (1 - std::cos(a))), Rounded((face.Bottom - 1) * (1 - std::sin(a))));
}

void TGauge::DrawPercentText(TBitmap& image, const TRect& face, qreal ratio) const {
    TBltBitmap textImage;
    textImage.MakeLike(image);
    ClearImage(textImage);
    const QString text = QString::asprintf("%d%%", FillPercent());
    TCanvas& canvas = textImage.Canvas();
    canvas.Brush.Style = bsClear;
    canvas.Font.Font = font();
    if (ratio != 1.0) {
        QFont& f = canvas.Font.Font;
        if (f.pixelSize() > 0)
            f.setPixelSize(std::max(1, static_cast<int>(std::lround(f.pixelSize() * ratio))));
        else
            f.setPointSizeF(f.pointSizeF() * ratio);
    }
    // White on black, so that the XOR below inverts exactly the text's pixels, whatever
    // colour the font was given.
    canvas.Font.Color = clWhite;
    const int x = (face.Right - face.Left + 1 - canvas.TextWidth(text)) / 2;
    const int y = (face.Bottom - face.Top + 1 - canvas.TextHeight(text)) / 2;
    canvas.TextRect(face, x, y, text);
    TCanvas& target = image.Canvas();
    target.CopyMode = cmSrcInvert;
    target.Draw(0, 0, textImage);
    target.CopyMode = cmSrcCopy;
}
