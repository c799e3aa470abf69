// SPDX-License-Identifier: MIT
#pragma once
// Off-screen 24-bit images and the canvas that draws on them. The controls compose every
// paint here and reach the screen in one copy, so the drawing rules are the desktop
// platform's: rectangles exclude their right and bottom edge, a 1-pixel pen stays inside
// the box it outlines, a line leaves out its end point, and nothing is anti-aliased (the
// gauge inverts its text by XOR, which only works when every text pixel is fully on).

#include "platform/Colors.h"

#include <QFont>
#include <QImage>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <memory>

// Rectangle as the platform gives it: Right and Bottom are exclusive.
struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    [[nodiscard]] int Width() const { return Right - Left; }
    [[nodiscard]] int Height() const { return Bottom - Top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

// Raster operations, numbered as the platform numbers them.
using TCopyMode = uint32_t;
constexpr TCopyMode cmSrcCopy = 0x00CC0020;   // destination := source
constexpr TCopyMode cmSrcInvert = 0x00660046; // destination := destination XOR source
constexpr TCopyMode cmBlackness = 0x00000042; // destination := black

enum TBrushStyle : uint8_t { bsSolid, bsClear };

struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
};

// Always one pixel wide.
struct TPen {
    TColor Color = clBlack;
};

struct TFont {
    QFont Font;
    TColor Color = clBlack;
};

class TBitmap;

class TCanvas {
public:
    explicit TCanvas(TBitmap& owner) : Owner(owner) {}
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    TBrush Brush;
    TPen Pen;
    TFont Font;
    TCopyMode CopyMode = cmSrcCopy;

    // Paints the rectangle with the brush, no outline.
    void FillRect(const TRect& rect);
    // Outline in the pen along the inside of the box, inside in the brush.
    void Rectangle(int left, int top, int right, int bottom);
    void Ellipse(int left, int top, int right, int bottom);
    // The wedge of the ellipse in the box from the radial through (x1, y1) counter-clockwise
    // to the radial through (x2, y2); equal points give the whole ellipse.
    void Pie(int left, int top, int right, int bottom, int x1, int y1, int x2, int y2);
    void MoveTo(int x, int y);
    // Draws from the pen position to (x, y) without that last pixel, and moves there.
    void LineTo(int x, int y);
    [[nodiscard]] QPoint PenPos() const { return PenPosition; }

    // Text with its top-left corner at (x, y). A solid brush paints the text's cell first;
    // a clear brush leaves the background as it was.
    void TextOut(int x, int y, const QString& text);
    // As TextOut, with nothing drawn outside clip; a solid brush fills all of clip.
    void TextRect(const TRect& clip, int x, int y, const QString& text);
    [[nodiscard]] int TextWidth(const QString& text) const;
    [[nodiscard]] int TextHeight(const QString& text) const;

    // Copies source's rectangle onto this canvas's rectangle (same size) with CopyMode.
    void CopyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect);
    // Copies the whole of source, its surface point (0, 0) landing on (x, y), with CopyMode.
    void Draw(int x, int y, const TBitmap& source);

    // Pixels by surface coordinates; outside the image Pixel is black and SetPixel does nothing.
    [[nodiscard]] TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor color);

private:
    // The font as it is drawn: the canvas font without anti-aliasing.
    [[nodiscard]] QFont DrawingFont() const;
    void DrawText(const TRect* clip, int x, int y, const QString& text);

    TBitmap& Owner;
    QPoint PenPosition;
};

// A 24-bit image in memory: three bytes a pixel, blue, green, red (the platform's layout),
// rows padded to four bytes. A new image is white.
class TBitmap {
public:
    TBitmap();
    TBitmap(int width, int height);
    virtual ~TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    [[nodiscard]] int Width() const { return FWidth; }
    [[nodiscard]] int Height() const { return FHeight; }
    // Resizing keeps the pixels both sizes share; new pixels are white.
    void SetWidth(int width);
    void SetHeight(int height);
    void SetSize(int width, int height);

    [[nodiscard]] uint8_t* ScanLine(int row);
    [[nodiscard]] const uint8_t* ScanLine(int row) const;
    [[nodiscard]] int BytesPerLine() const { return static_cast<int>(Image.bytesPerLine()); }

    // Where the image's top-left pixel lies on the surface the canvas draws on; (0, 0) unless
    // set. A control that can only be seen in part composes that part alone: its canvas still
    // takes the control's own coordinates, and what falls outside the image is left out.
    [[nodiscard]] QPoint Origin() const { return FOrigin; }
    void SetOrigin(QPoint origin) { FOrigin = origin; }

    [[nodiscard]] TCanvas& Canvas() { return *CanvasPtr; }
    [[nodiscard]] const TCanvas& Canvas() const { return *CanvasPtr; }

    // The pixels as a Qt image, for putting them on a widget.
    [[nodiscard]] const QImage& ToImage() const { return Image; }
    [[nodiscard]] QImage& ToImage() { return Image; }

    // How many bitmaps exist at this moment; lets tests see that nothing leaks.
    [[nodiscard]] static int InstanceCount();

private:
    // Kept apart from the image, which has no pixels while either side is 0, so that a
    // width set before the height is not lost.
    int FWidth = 0;
    int FHeight = 0;
    QPoint FOrigin;
    QImage Image;
    std::unique_ptr<TCanvas> CanvasPtr;
};
