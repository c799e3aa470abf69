// SPDX-License-Identifier: MIT
// Off-screen bitmaps: the pixel layout, the drawing rules the controls count on, the three
// raster operations and text without anti-aliasing.
#include "platform/Bitmap.h"

#include <QFont>
#include <gtest/gtest.h>
#include <set>

namespace {

// Box of the pixels that differ from background, as (left, top, right, bottom) exclusive.
TRect Extent(const TBitmap& bitmap, TColor background) {
    TRect box{bitmap.Width(), bitmap.Height(), 0, 0};
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x)
            if (bitmap.Canvas().Pixel(x, y) != background) {
                box.Left = std::min(box.Left, x);
                box.Top = std::min(box.Top, y);
                box.Right = std::max(box.Right, x + 1);
                box.Bottom = std::max(box.Bottom, y + 1);
            }
    return box;
}

void Fill(TBitmap& bitmap, TColor color) {
    bitmap.Canvas().Brush.Color = color;
    bitmap.Canvas().Brush.Style = bsSolid;
    bitmap.Canvas().FillRect(TRect{0, 0, bitmap.Width(), bitmap.Height()});
}

QFont Arial9() {
    QFont font("Arial");
    font.setPixelSize(9);
    return font;
}

} // namespace

TEST(Bitmap, storesBlueGreenRedInFourByteAlignedRowsAndStartsWhite) {
    TBitmap bitmap(5, 3);
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_EQ(bitmap.Height(), 3);
    EXPECT_EQ(bitmap.BytesPerLine() % 4, 0);
    EXPECT_GE(bitmap.BytesPerLine(), 15);
    EXPECT_EQ(bitmap.Canvas().Pixel(4, 2), clWhite);

    bitmap.Canvas().SetPixel(1, 2, 0x123456); // 0x00BBGGRR
    const uint8_t* row = bitmap.ScanLine(2);
    EXPECT_EQ(row[3], 0x12); // blue
    EXPECT_EQ(row[4], 0x34); // green
    EXPECT_EQ(row[5], 0x56); // red
    EXPECT_EQ(bitmap.ToImage().pixelColor(1, 2), QColor(0x56, 0x34, 0x12));
}

TEST(Bitmap, resizeKeepsSharedPixelsAndAWidthSetBeforeTheHeight) {
    TBitmap bitmap;
    bitmap.SetWidth(2); // no pixels yet: the width must still be kept
    bitmap.SetHeight(2);
    Fill(bitmap, clRed);
    bitmap.SetSize(4, 3);
    EXPECT_EQ(bitmap.Canvas().Pixel(1, 1), clRed);
    EXPECT_EQ(bitmap.Canvas().Pixel(3, 0), clWhite);
    EXPECT_EQ(bitmap.Canvas().Pixel(0, 2), clWhite);
}

TEST(Canvas, rectanglesExcludeRightAndBottomAndClipToTheImage) {
    TBitmap bitmap(10, 10);
    Fill(bitmap, clBlack);
    bitmap.Canvas().Brush.Color = clLime;
    bitmap.Canvas().FillRect(TRect{2, 3, 5, 7});
    EXPECT_EQ(Extent(bitmap, clBlack), (TRect{2, 3, 5, 7}));

    Fill(bitmap, clBlack);
    bitmap.Canvas().Brush.Color = clLime;
    bitmap.Canvas().FillRect(TRect{-5, 8, 50, 50});
    EXPECT_EQ(Extent(bitmap, clBlack), (TRect{0, 8, 10, 10}));

    Fill(bitmap, clBlack);
    bitmap.Canvas().Brush.Style = bsClear;
    bitmap.Canvas().FillRect(TRect{0, 0, 10, 10});
    EXPECT_EQ(bitmap.Canvas().Pixel(5, 5), clBlack);
}

TEST(Canvas, rectangleOutlineStaysInsideTheBox) {
    TBitmap bitmap(10, 10);
    Fill(bitmap, clBlack);
    TCanvas& canvas = bitmap.Canvas();
    canvas.Brush.Color = clLime;
    canvas.Pen.Color = clRed;
    canvas.Rectangle(1, 2, 6, 8);
    EXPECT_EQ(Extent(bitmap, clBlack), (TRect{1, 2, 6, 8}));
    EXPECT_EQ(canvas.Pixel(1, 2), clRed);
    EXPECT_EQ(canvas.Pixel(5, 7), clRed);
    EXPECT_EQ(canvas.Pixel(3, 7), clRed);
    EXPECT_EQ(canvas.Pixel(2, 3), clLime);
    EXPECT_EQ(canvas.Pixel(4, 6), clLime);
}

TEST(Canvas, ellipseFillsItsBoxWithAnOutlineInThePen) {
    TBitmap bitmap(30, 20);
    Fill(bitmap, clBlack);
    TCanvas& canvas = bitmap.Canvas();
    canvas.Brush.Color = clLime;
    canvas.Pen.Color = clRed;
    canvas.Ellipse(2, 3, 27, 18);
    EXPECT_EQ(Extent(bitmap, clBlack), (TRect{2, 3, 27, 18}));
    EXPECT_EQ(canvas.Pixel(14, 10), clLime);
    EXPECT_EQ(canvas.Pixel(14, 3), clRed);
    EXPECT_EQ(canvas.Pixel(2, 10), clRed);
    EXPECT_EQ(canvas.Pixel(26, 10), clRed);
    EXPECT_EQ(canvas.Pixel(14, 17), clRed);
    EXPECT_EQ(canvas.Pixel(2, 3), clBlack); // the box's corner is outside
}

TEST(Canvas, pieRunsCounterClockwiseFromTheFirstRadialAndEqualPointsGiveTheEllipse) {
    TBitmap pie(40, 40);
    Fill(pie, clBlack);
    TCanvas& canvas = pie.Canvas();
    canvas.Brush.Color = clLime;
    canvas.Pen.Color = clRed;
    // From 3 o'clock counter-clockwise to 12 o'clock: the upper right quarter.
    canvas.Pie(0, 0, 40, 40, 40, 20, 20, 0);
    EXPECT_EQ(canvas.Pixel(28, 12), clLime);
    EXPECT_EQ(canvas.Pixel(12, 12), clBlack);
    EXPECT_EQ(canvas.Pixel(12, 28), clBlack);
    EXPECT_EQ(canvas.Pixel(28, 28), clBlack);
    // The other way round leaves that quarter out.
    Fill(pie, clBlack);
    canvas.Brush.Color = clLime;
    canvas.Pie(0, 0, 40, 40, 20, 0, 40, 20);
    EXPECT_EQ(canvas.Pixel(28, 12), clBlack);
    EXPECT_EQ(canvas.Pixel(12, 12), clLime);
    EXPECT_EQ(canvas.Pixel(28, 28), clLime);

    TBitmap full(40, 40);
    TBitmap ellipse(40, 40);
    for (TBitmap* b : {&full, &ellipse}) {
        Fill(*b, clBlack);
        b->Canvas().Brush.Color = clLime;
        b->Canvas().Pen.Color = clRed;
    }
    full.Canvas().Pie(0, 0, 40, 40, 20, 0, 20, 0);
    ellipse.Canvas().Ellipse(0, 0, 40, 40);
    EXPECT_EQ(full.ToImage(), ellipse.ToImage());
}

TEST(Canvas, lineLeavesOutItsEndPointAndMovesThePen) {
    TBitmap bitmap(10, 10);
    Fill(bitmap, clBlack);
    TCanvas& canvas = bitmap.Canvas();
    canvas.Pen.Color = clRed;
    canvas.MoveTo(2, 4);
    canvas.LineTo(7, 4);
    EXPECT_EQ(Extent(bitmap, clBlack), (TRect{2, 4, 7, 5}));
    EXPECT_EQ(canvas.PenPos(), QPoint(7, 4));
    canvas.LineTo(7, 9);
    EXPECT_EQ(Extent(bitmap, clBlack), (TRect{2, 4, 8, 9}));
    EXPECT_EQ(canvas.Pixel(7, 8), clRed);
    EXPECT_EQ(canvas.Pixel(7, 9), clBlack);
}

TEST(Canvas, copyXorAndBlacknessCombineImagesByteForByte) {
    TBitmap source(4, 4);
    TBitmap target(4, 4);
    Fill(source, 0x0F0F0F);
    Fill(target, 0x3C00FF);

    target.Canvas().CopyMode = cmSrcInvert;
    target.Canvas().Draw(0, 0, source);
    EXPECT_EQ(target.Canvas().Pixel(3, 3), 0x330FF0u);
    target.Canvas().Draw(0, 0, source); // XOR twice gives the original back
    EXPECT_EQ(target.Canvas().Pixel(0, 0), 0x3C00FFu);

    target.Canvas().CopyMode = cmSrcCopy;
    target.Canvas().Draw(2, 2, source); // only the part that fits lands
    EXPECT_EQ(target.Canvas().Pixel(3, 3), 0x0F0F0Fu);
    EXPECT_EQ(target.Canvas().Pixel(1, 1), 0x3C00FFu);

    target.Canvas().CopyMode = cmBlackness;
    target.Canvas().CopyRect(TRect{0, 0, 4, 2}, target.Canvas(), TRect{0, 0, 4, 2});
    EXPECT_EQ(Extent(target, clBlack), (TRect{0, 2, 4, 4}));

    target.Canvas().CopyMode = 0x00EE0086; // SRCPAINT: not one the controls use
    EXPECT_THROW(target.Canvas().Draw(0, 0, source), std::exception);
}

TEST(Canvas, copyWithinOneImageReadsThePixelsAsTheyWere) {
    TBitmap bitmap(4, 1);
    for (int x = 0; x < 4; ++x)
        bitmap.Canvas().SetPixel(x, 0, static_cast<TColor>(x + 1));
    bitmap.Canvas().CopyRect(TRect{1, 0, 4, 1}, bitmap.Canvas(), TRect{0, 0, 3, 1});
    EXPECT_EQ(bitmap.Canvas().Pixel(1, 0), 1u);
    EXPECT_EQ(bitmap.Canvas().Pixel(2, 0), 2u);
    EXPECT_EQ(bitmap.Canvas().Pixel(3, 0), 3u);
}

TEST(Canvas, textIsDrawnWithoutBlendingOrBackground) {
    TBitmap bitmap(60, 20);
    Fill(bitmap, clBlack);
    TCanvas& canvas = bitmap.Canvas();
    canvas.Brush.Style = bsClear;
    canvas.Font.Font = Arial9();
    canvas.Font.Color = clWhite;
    EXPECT_GT(canvas.TextWidth("100%"), canvas.TextWidth("1%"));
    EXPECT_EQ(canvas.TextHeight("1%"), canvas.TextHeight("Hg"));
    EXPECT_GE(canvas.TextHeight("1%"), 9);

    canvas.TextOut(3, 2, "100%");
    std::set<TColor> colours;
    int lit = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x) {
            colours.insert(canvas.Pixel(x, y));
            lit += canvas.Pixel(x, y) == clWhite;
        }
    EXPECT_EQ(colours, (std::set<TColor>{clBlack, clWhite}));
    EXPECT_GT(lit, 10);
    const TRect box = Extent(bitmap, clBlack);
    EXPECT_GE(box.Left, 3);
    EXPECT_GE(box.Top, 2);
    EXPECT_LE(box.Right, 3 + canvas.TextWidth("100%"));
    EXPECT_LE(box.Bottom, 2 + canvas.TextHeight("100%"));
}

TEST(Canvas, clippedTextStaysInsideItsRectangle) {
    TBitmap bitmap(30, 30);
    Fill(bitmap, clBlack);
    TCanvas& canvas = bitmap.Canvas();
    canvas.Brush.Style = bsClear;
    QFont big("Arial");
    big.setPixelSize(40);
    canvas.Font.Font = big;
    canvas.Font.Color = clRed;
    canvas.TextRect(TRect{5, 5, 25, 25}, -10, -10, "88");
    const TRect box = Extent(bitmap, clBlack);
    EXPECT_GE(box.Left, 5);
    EXPECT_GE(box.Top, 5);
    EXPECT_LE(box.Right, 25);
    EXPECT_LE(box.Bottom, 25);
    EXPECT_LT(box.Left, box.Right); // something of the text did land

    // A solid brush fills the whole clip rectangle behind the text, and no more.
    canvas.Brush.Style = bsSolid;
    canvas.Brush.Color = clLime;
    canvas.TextRect(TRect{0, 0, 4, 4}, 0, 0, "8");
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_TRUE(canvas.Pixel(x, y) == clLime || canvas.Pixel(x, y) == clRed);
    EXPECT_EQ(canvas.Pixel(4, 4), clBlack);
}
