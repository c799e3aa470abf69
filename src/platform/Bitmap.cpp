// SPDX-License-Identifier: MIT
#include "platform/Bitmap.h"

#include "errors/Errors.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>

namespace {

std::atomic<int> LiveBitmaps{0};

// One pixel's bytes in the image's order: blue, green, red.
struct TPixelBytes {
    uint8_t B = 0;
    uint8_t G = 0;
    uint8_t R = 0;
};

TPixelBytes BytesOf(TColor color) {
    const TColor rgb = ColorToRGB(color);
    return {static_cast<uint8_t>((rgb >> 16) & 0xFF), static_cast<uint8_t>((rgb >> 8) & 0xFF),
            static_cast<uint8_t>(rgb & 0xFF)};
}

// More than any desktop shows: an image this large is a layout gone wrong, and making it
// would cost gigabytes.
constexpr int64_t kMostImageSide = 32767;
constexpr int64_t kMostImagePixels = int64_t{1} << 27;

QImage NewImage(int width, int height) {
    if (width <= 0 || height <= 0)
        return {};
    if (width > kMostImageSide || height > kMostImageSide ||
        int64_t{width} * height > kMostImagePixels)
        throw Exception("An image of " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels is larger than any screen");
    QImage image(width, height, QImage::Format_BGR888);
    if (image.isNull())
        throw Exception("Not enough memory for a " + std::to_string(width) + " x " +
                        std::to_string(height) + " image");
    image.fill(Qt::white);
    return image;
}

// The inside of an ellipse or of a wedge of it, judged at pixel centres so that the shape
// never leaves its bounding box.
class TShape {
public:
    TShape(int left, int top, int right, int bottom)
        : Left(std::min(left, right)), Top(std::min(top, bottom)), Right(std::max(left, right)),
          Bottom(std::max(top, bottom)), CX((Left + Right) / 2.0), CY((Top + Bottom) / 2.0),
          RX((Right - Left) / 2.0), RY((Bottom - Top) / 2.0) {}

    // Limits the shape to the wedge from the radial through (x1, y1) counter-clockwise to
    // the radial through (x2, y2). The same direction twice leaves the whole ellipse.
    void SetWedge(int x1, int y1, int x2, int y2) {
        const double start = DirectionOf(x1, y1);
        const double span = Normalised(DirectionOf(x2, y2) - start);
        if (span == 0.0)
            return;
        Wedge = true;
        Start = start;
        Span = span;
    }

    [[nodiscard]] bool Contains(int x, int y) const {
        if (x < Left || x >= Right || y < Top || y >= Bottom)
            return false;
        const double dx = (x + 0.5 - CX) / RX;
        const double dy = (y + 0.5 - CY) / RY;
        if (dx * dx + dy * dy > 1.0)
            return false;
        if (!Wedge)
            return true;
        return Normalised(DirectionOf(x + 0.5, y + 0.5) - Start) <= Span;
    }

    [[nodiscard]] bool IsWedge() const { return Wedge; }

    // Where the radial through (x, y) meets the ellipse, kept inside the bounding box.
    [[nodiscard]] QPoint RimPoint(int x, int y) const {
        const double dx = x - CX;
        const double dy = y - CY;
        const double norm = std::hypot(dx / RX, dy / RY);
        const double scale = norm > 0.0 ? 1.0 / norm : 0.0;
        const int rx = static_cast<int>(std::lround(CX + dx * scale));
        const int ry = static_cast<int>(std::lround(CY + dy * scale));
        return QPoint(std::clamp(rx, Left, std::max(Left, Right - 1)),
                      std::clamp(ry, Top, std::max(Top, Bottom - 1)));
    }

    // Pixels of the shape that touch the outside: where a 1-pixel pen goes.
    [[nodiscard]] bool OnEdge(int x, int y) const {
        return !Contains(x - 1, y) || !Contains(x + 1, y) || !Contains(x, y - 1) ||
               !Contains(x, y + 1);
    }

    const int Left, Top, Right, Bottom;

private:
    // Screen rows grow downwards; directions are measured with y upwards, so that
    // counter-clockwise is the growing angle.
    [[nodiscard]] double DirectionOf(double x, double y) const {
        return std::atan2(CY - y, x - CX);
    }

    static double Normalised(double angle) {
        constexpr double full = 2.0 * std::numbers::pi;
        angle = std::fmod(angle, full);
        return angle < 0.0 ? angle + full : angle;
    }

    const double CX, CY, RX, RY;
    bool Wedge = false;
    double Start = 0.0;
    double Span = 0.0;
};

// Text is measured for the device it is drawn on: a fresh image, whose resolution is the
// same for every bitmap (an image without pixels would report none).
const QPaintDevice& MeasuringDevice() {
    static const QImage device(1, 1, QImage::Format_Alpha8);
    return device;
}

} // namespace

// --- TBitmap -------------------------------------------------------------------------------

TBitmap::TBitmap() : CanvasPtr(std::make_unique<TCanvas>(*this)) {
    ++LiveBitmaps;
}

TBitmap::TBitmap(int width, int height) : TBitmap() {
    SetSize(width, height);
}

TBitmap::~TBitmap() {
    --LiveBitmaps;
}

int TBitmap::InstanceCount() {
    return LiveBitmaps.load();
}

void TBitmap::SetWidth(int width) {
    SetSize(width, Height());
}

void TBitmap::SetHeight(int height) {
    SetSize(Width(), height);
}

void TBitmap::SetSize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == Width() && height == Height())
        return;
    QImage resized = NewImage(width, height);
    if (!Image.isNull() && !resized.isNull()) {
        const int rows = std::min(height, Image.height());
        const size_t bytes = static_cast<size_t>(std::min(width, Image.width())) * 3;
        for (int y = 0; y < rows; ++y)
            std::memcpy(resized.scanLine(y), Image.constScanLine(y), bytes);
    }
    Image = std::move(resized);
    FWidth = width;
    FHeight = height;
}

uint8_t* TBitmap::ScanLine(int row) {
    return Image.scanLine(row);
}

const uint8_t* TBitmap::ScanLine(int row) const {
    return Image.constScanLine(row);
}

// --- TCanvas: pixels and fills --------------------------------------------------------------

TColor TCanvas::Pixel(int x, int y) const {
    x -= Owner.Origin().x();
    y -= Owner.Origin().y();
    if (x < 0 || y < 0 || x >= Owner.Width() || y >= Owner.Height())
        return clBlack;
    const uint8_t* p = Owner.ScanLine(y) + 3 * x;
    return static_cast<TColor>(p[2]) | (static_cast<TColor>(p[1]) << 8) |
           (static_cast<TColor>(p[0]) << 16);
}

void TCanvas::SetPixel(int x, int y, TColor color) {
    x -= Owner.Origin().x();
    y -= Owner.Origin().y();
    if (x < 0 || y < 0 || x >= Owner.Width() || y >= Owner.Height())
        return;
    const TPixelBytes c = BytesOf(color);
    uint8_t* p = Owner.ScanLine(y) + 3 * x;
    p[0] = c.B;
    p[1] = c.G;
    p[2] = c.R;
}

namespace {

void FillSpan(TBitmap& bitmap, int y, int x0, int x1, TPixelBytes c) {
    if (y < 0 || y >= bitmap.Height())
        return;
    x0 = std::max(x0, 0);
    x1 = std::min(x1, bitmap.Width());
    uint8_t* p = bitmap.ScanLine(y) + 3 * static_cast<ptrdiff_t>(x0);
    for (int x = x0; x < x1; ++x, p += 3) {
        p[0] = c.B;
        p[1] = c.G;
        p[2] = c.R;
    }
}

// The box in surface coordinates.
void FillBox(TBitmap& bitmap, int left, int top, int right, int bottom, TPixelBytes c) {
    const QPoint origin = bitmap.Origin();
    left -= origin.x();
    right -= origin.x();
    top -= origin.y();
    bottom -= origin.y();
    for (int y = std::max(top, 0); y < std::min(bottom, bitmap.Height()); ++y)
        FillSpan(bitmap, y, left, right, c);
}

} // namespace

void TCanvas::FillRect(const TRect& rect) {
    if (Brush.Style == bsClear)
        return;
    FillBox(Owner, rect.Left, rect.Top, rect.Right, rect.Bottom, BytesOf(Brush.Color));
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    if (left == right || top == bottom)
        return;
    if (Brush.Style != bsClear)
        FillBox(Owner, left + 1, top + 1, right - 1, bottom - 1, BytesOf(Brush.Color));
    const TPixelBytes pen = BytesOf(Pen.Color);
    FillBox(Owner, left, top, right, top + 1, pen);
    FillBox(Owner, left, bottom - 1, right, bottom, pen);
    FillBox(Owner, left, top, left + 1, bottom, pen);
    FillBox(Owner, right - 1, top, right, bottom, pen);
}

namespace {

void PaintShape(TBitmap& bitmap, const TShape& shape, const TBrush& brush, const TPen& pen) {
    const TPixelBytes inside = BytesOf(brush.Color);
    const TPixelBytes edge = BytesOf(pen.Color);
    const QPoint origin = bitmap.Origin();
    const int x0 = std::max(shape.Left, origin.x());
    const int x1 = std::min(shape.Right, origin.x() + bitmap.Width());
    const int y1 = std::min(shape.Bottom, origin.y() + bitmap.Height());
    for (int y = std::max(shape.Top, origin.y()); y < y1; ++y) {
        uint8_t* p = bitmap.ScanLine(y - origin.y()) + 3 * static_cast<ptrdiff_t>(x0 - origin.x());
        for (int x = x0; x < x1; ++x, p += 3) {
            if (!shape.Contains(x, y))
                continue;
            const bool onEdge = shape.OnEdge(x, y);
            if (!onEdge && brush.Style == bsClear)
                continue;
            const TPixelBytes& c = onEdge ? edge : inside;
            p[0] = c.B;
            p[1] = c.G;
            p[2] = c.R;
        }
    }
}

} // namespace

void TCanvas::Ellipse(int left, int top, int right, int bottom) {
    PaintShape(Owner, TShape(left, top, right, bottom), Brush, Pen);
}

namespace {

// Bresenham's walk from (x0, y0) to (x1, y1); the last pixel only when includeEnd.
void PlotLine(TCanvas& canvas, int x0, int y0, int x1, int y1, TColor color, bool includeEnd) {
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    while (x0 != x1 || y0 != y1) {
        canvas.SetPixel(x0, y0, color);
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += sx;
        }
        if (twice <= dx) {
            error += dx;
            y0 += sy;
        }
    }
    if (includeEnd)
        canvas.SetPixel(x1, y1, color);
}

} // namespace

void TCanvas::Pie(int left, int top, int right, int bottom, int x1, int y1, int x2, int y2) {
    TShape shape(left, top, right, bottom);
    shape.SetWedge(x1, y1, x2, y2);
    PaintShape(Owner, shape, Brush, Pen);
    if (!shape.IsWedge() || shape.Left == shape.Right || shape.Top == shape.Bottom)
        return;
    // The pen also runs along both radials, from the centre to the rim, as the platform
    // outlines a pie; where a radial passes between pixel centres the edge test above
    // would leave it out.
    const TColor pen = ColorToRGB(Pen.Color);
    const int cx = (shape.Left + shape.Right) / 2;
    const int cy = (shape.Top + shape.Bottom) / 2;
    for (const QPoint& through : {QPoint(x1, y1), QPoint(x2, y2)}) {
        const QPoint rim = shape.RimPoint(through.x(), through.y());
        PlotLine(*this, cx, cy, rim.x(), rim.y(), pen, true);
    }
}

// --- TCanvas: lines -------------------------------------------------------------------------

void TCanvas::MoveTo(int x, int y) {
    PenPosition = QPoint(x, y);
}

void TCanvas::LineTo(int x, int y) {
    // The last pixel is left out, so that joined lines do not paint their shared corner
    // twice.
    PlotLine(*this, PenPosition.x(), PenPosition.y(), x, y, ColorToRGB(Pen.Color), false);
    PenPosition = QPoint(x, y);
}

// --- TCanvas: text --------------------------------------------------------------------------

QFont TCanvas::DrawingFont() const {
    QFont font = Font.Font;
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

int TCanvas::TextWidth(const QString& text) const {
    return QFontMetrics(DrawingFont(), &MeasuringDevice()).horizontalAdvance(text);
}

int TCanvas::TextHeight(const QString& /*text*/) const {
    // The height of the font's character cell, whatever the text: the same for "1%" as for
    // "Hg", so that a centred text does not jump when its digits change.
    return QFontMetrics(DrawingFont(), &MeasuringDevice()).height();
}

void TCanvas::TextOut(int x, int y, const QString& text) {
    DrawText(nullptr, x, y, text);
}

void TCanvas::TextRect(const TRect& clip, int x, int y, const QString& text) {
    DrawText(&clip, x, y, text);
}

void TCanvas::DrawText(const TRect* clip, int x, int y, const QString& text) {
    const QFont font = DrawingFont();
    const QFontMetrics metrics(font, &MeasuringDevice());
    TRect cell{x, y, x + metrics.horizontalAdvance(text), y + metrics.height()};
    const QPoint origin = Owner.Origin();
    TRect area = clip ? *clip : cell;
    area.Left = std::max(area.Left, origin.x());
    area.Top = std::max(area.Top, origin.y());
    area.Right = std::min(area.Right, origin.x() + Owner.Width());
    area.Bottom = std::min(area.Bottom, origin.y() + Owner.Height());
    if (area.Left >= area.Right || area.Top >= area.Bottom)
        return;

    if (Brush.Style != bsClear) {
        const TRect box = clip ? *clip : cell;
        FillBox(Owner, std::max(box.Left, area.Left), std::max(box.Top, area.Top),
                std::min(box.Right, area.Right), std::min(box.Bottom, area.Bottom),
                BytesOf(Brush.Color));
    }

    // The glyphs are drawn as a coverage mask and every covered pixel takes the font colour
    // in full: a pixel is either text or background, never a blend of the two.
    QImage mask(area.Width(), area.Height(), QImage::Format_Alpha8);
    if (mask.isNull())
        throw Exception("Not enough memory to draw text");
    mask.fill(0);
    {
        QPainter painter(&mask);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QPoint(x - area.Left, y - area.Top + metrics.ascent()), text);
    }
    const TPixelBytes c = BytesOf(Font.Color);
    for (int row = 0; row < area.Height(); ++row) {
        const uint8_t* coverage = mask.constScanLine(row);
        uint8_t* p = Owner.ScanLine(area.Top - origin.y() + row) +
                     3 * static_cast<ptrdiff_t>(area.Left - origin.x());
        for (int col = 0; col < area.Width(); ++col, p += 3) {
            if (coverage[col] < 128)
                continue;
            p[0] = c.B;
            p[1] = c.G;
            p[2] = c.R;
        }
    }
}

// --- TCanvas: copies ------------------------------------------------------------------------

void TCanvas::Draw(int x, int y, const TBitmap& source) {
    const QPoint from = source.Origin();
    CopyRect(TRect{x + from.x(), y + from.y(), x + from.x() + source.Width(),
                   y + from.y() + source.Height()},
             source.Canvas(),
             TRect{from.x(), from.y(), from.x() + source.Width(), from.y() + source.Height()});
}

void TCanvas::CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect) {
    if (CopyMode != cmSrcCopy && CopyMode != cmSrcInvert && CopyMode != cmBlackness)
        throw Exception("Raster operation " + std::to_string(CopyMode) + " is not supported");
    const int destW = dest.Width();
    const int destH = dest.Height();
    const int srcW = sourceRect.Width();
    const int srcH = sourceRect.Height();
    if (destW <= 0 || destH <= 0)
        return;

    if (CopyMode == cmBlackness) {
        FillBox(Owner, dest.Left, dest.Top, dest.Right, dest.Bottom, TPixelBytes{});
        return;
    }
    if (srcW <= 0 || srcH <= 0)
        return;

    // A copy within one image reads from a snapshot, so that overlapping areas are copied
    // as they were before the copy began.
    QImage snapshot;
    const TBitmap& from = source.Owner;
    const bool sameImage = &from == &Owner;
    if (sameImage)
        snapshot = Owner.ToImage().copy();
    auto sourceRow = [&](int row) {
        return sameImage ? snapshot.constScanLine(row) : from.ScanLine(row);
    };

    // Both rectangles are in their own surface's coordinates; rows and columns are looked up
    // in the images through each one's origin.
    const QPoint to = Owner.Origin();
    const QPoint at = from.Origin();
    const int rowEnd = std::min(dest.Bottom, to.y() + Owner.Height());
    const int colEnd = std::min(dest.Right, to.x() + Owner.Width());
    for (int dy = std::max(dest.Top, to.y()); dy < rowEnd; ++dy) {
        // Rectangles of different sizes are stretched by picking the nearest source pixel.
        const int sy = sourceRect.Top - at.y() +
                       static_cast<int>(static_cast<int64_t>(dy - dest.Top) * srcH / destH);
        if (sy < 0 || sy >= from.Height())
            continue;
        const uint8_t* in = sourceRow(sy);
        uint8_t* out = Owner.ScanLine(dy - to.y());
        for (int dx = std::max(dest.Left, to.x()); dx < colEnd; ++dx) {
            const int sx = sourceRect.Left - at.x() +
                           static_cast<int>(static_cast<int64_t>(dx - dest.Left) * srcW / destW);
            if (sx < 0 || sx >= from.Width())
                continue;
            const uint8_t* s = in + 3 * static_cast<ptrdiff_t>(sx);
            uint8_t* d = out + 3 * static_cast<ptrdiff_t>(dx - to.x());
            if (CopyMode == cmSrcCopy) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            } else {
                d[0] ^= s[0];
                d[1] ^= s[1];
                d[2] ^= s[2];
            }
        }
    }
}
