// SPDX-License-Identifier: MIT
// The gauge: its values and their bounds, the five faces drawn from real paints, the text
// inverted over the bar, and how often (and when) it paints.
#include "controls/Gauges.h"
#include "errors/Errors.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <sys/resource.h>

namespace {

constexpr TColor Lime = 0x00FF00;
constexpr TColor Red = 0x0000FF;
constexpr TColor Blue = 0xFF0000;
constexpr TColor Magenta = 0xFF00FF;
constexpr TColor Aqua = 0xFFFF00;

QImage Render(TGauge& gauge) {
    QImage image(gauge.size(), QImage::Format_RGB32);
    image.fill(Qt::gray);
    gauge.render(&image);
    return image;
}

TColor At(const QImage& image, int x, int y) {
    return FromQColor(image.pixelColor(x, y));
}

// Colours found in the rectangle (left, top, right, bottom), right and bottom exclusive.
std::set<TColor> ColoursIn(const QImage& image, const TRect& r) {
    std::set<TColor> found;
    for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x)
            found.insert(At(image, x, y));
    return found;
}

using Colours = std::set<TColor>;

// A 100 x 100 gauge without text, in colours that tell the parts apart.
struct Face {
    explicit Face(TGaugeKind kind, TBorderStyle border, int32_t progress) {
        gauge.SetKind(kind);
        gauge.SetBorderStyle(border);
        gauge.SetShowText(false);
        gauge.SetBackColor(Lime);
        gauge.SetForeColor(Red);
        gauge.SetColor(Blue);
        gauge.SetProgress(progress);
        image = Render(gauge);
    }
    TGauge gauge;
    QImage image;
};

bool FramedInBlack(const QImage& image) {
    const int w = image.width();
    const int h = image.height();
    return ColoursIn(image, TRect{0, 0, w, 1}) == Colours{clBlack} &&
           ColoursIn(image, TRect{0, 0, 1, h}) == Colours{clBlack} &&
           ColoursIn(image, TRect{w - 1, 0, w, h}) == Colours{clBlack} &&
           ColoursIn(image, TRect{0, h - 1, w, h}) == Colours{clBlack};
}

// The main window's gauge.
void MakeWindowGauge(TGauge& gauge) {
    gauge.resize(65, 17);
    gauge.SetBorderStyle(bsNone);
    gauge.SetBackColor(Lime);
    gauge.SetForeColor(Red);
    gauge.SetColor(clBlack);
    QFont font("Arial");
    font.setPixelSize(9);
    gauge.setFont(font);
}

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EInvalidOperation& e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(Gauge, startsWithItsDefaults) {
    TGauge gauge;
    EXPECT_EQ(gauge.MinValue(), 0);
    EXPECT_EQ(gauge.MaxValue(), 100);
    EXPECT_EQ(gauge.Progress(), 0);
    EXPECT_EQ(gauge.Kind(), gkHorizontalBar);
    EXPECT_TRUE(gauge.ShowText());
    EXPECT_EQ(gauge.BorderStyle(), bsSingle);
    EXPECT_EQ(gauge.ForeColor(), clBlack);
    EXPECT_EQ(gauge.BackColor(), clWhite);
    EXPECT_EQ(gauge.Color(), clWindow);
    EXPECT_EQ(gauge.size(), QSize(100, 100));
    EXPECT_TRUE(gauge.testAttribute(Qt::WA_OpaquePaintEvent));
}

TEST(Gauge, percentageIsTruncatedAndZeroForAnEmptyRange) {
    TGauge gauge;
    gauge.SetMaxValue(1000);
    gauge.SetProgress(999);
    EXPECT_EQ(gauge.FillPercent(), 99);
    gauge.SetProgress(1000);
    EXPECT_EQ(gauge.FillPercent(), 100);

    gauge.SetMinValue(-50);
    gauge.SetMaxValue(50);
    gauge.SetProgress(-1);
    EXPECT_EQ(gauge.FillPercent(), 49);

    gauge.SetMinValue(50);
    gauge.SetProgress(50);
    EXPECT_EQ(gauge.MaxValue(), gauge.MinValue());
    EXPECT_EQ(gauge.FillPercent(), 0);

    EXPECT_EQ(TGauge::ScaleToPercent(50, 99), 49);
    EXPECT_EQ(TGauge::ScaleToPercent(100, 66), 66);
    // 5 x 0.01 in extended precision lies just below 0.05, so at such percentages the bar
    // stops one pixel short.
    EXPECT_EQ(TGauge::ScaleToPercent(5, 100), 4);
}

TEST(Gauge, progressIsClampedAndBoundsPullItAlong) {
    TGauge gauge;
    gauge.SetProgress(-5);
    EXPECT_EQ(gauge.Progress(), 0);
    gauge.SetProgress(500);
    EXPECT_EQ(gauge.Progress(), 100);

    gauge.SetProgress(40);
    gauge.SetMaxValue(30);
    EXPECT_EQ(gauge.Progress(), 30);
    gauge.SetMinValue(10);
    EXPECT_EQ(gauge.Progress(), 30);
    gauge.SetMinValue(30); // equal bounds are accepted
    EXPECT_EQ(gauge.Progress(), 30);
    gauge.SetMaxValue(80);
    gauge.SetMinValue(60);
    EXPECT_EQ(gauge.Progress(), 60);
}

TEST(Gauge, crossingBoundsFailsWithTheNearestRefusedValuesAndChangesNothing) {
    TGauge gauge;
    gauge.SetProgress(40);
    EXPECT_EQ(ErrorOf([&] { gauge.SetMinValue(101); }), "Value must be between -2147483647 and 99");
    gauge.SetMinValue(20);
    EXPECT_EQ(ErrorOf([&] { gauge.SetMaxValue(19); }), "Value must be between 21 and 2147483647");
    EXPECT_EQ(gauge.MinValue(), 20);
    EXPECT_EQ(gauge.MaxValue(), 100);
    EXPECT_EQ(gauge.Progress(), 40);
    gauge.SetMinValue(100);
    EXPECT_EQ(gauge.MinValue(), 100);

    // While a stored layout is applied the bounds arrive one by one and are not compared.
    TGauge loaded;
    loaded.BeginLoading();
    loaded.SetMinValue(500);
    loaded.SetMaxValue(1000);
    loaded.EndLoading();
    EXPECT_EQ(loaded.MinValue(), 500);
    EXPECT_EQ(loaded.MaxValue(), 1000);
    EXPECT_EQ(ErrorOf([&] { loaded.SetMaxValue(400); }),
              "Value must be between 501 and 2147483647");
}

TEST(GaugeFaces, horizontalBarGrowsFromTheLeftInsideTheFrame) {
    for (TBorderStyle border : {bsNone, bsSingle}) {
        SCOPED_TRACE(border);
        const TRect face = border == bsSingle ? TRect{1, 1, 99, 99} : TRect{0, 0, 100, 100};
        Face empty(gkHorizontalBar, border, 0);
        EXPECT_EQ(ColoursIn(empty.image, face), Colours{Lime});
        Face full(gkHorizontalBar, border, 100);
        EXPECT_EQ(ColoursIn(full.image, face), Colours{Red});
        Face half(gkHorizontalBar, border, 50);
        // The bar's length stands as its right edge: (100 + 1) / 2 without a frame,
        // (98 + 1) / 2 with one.
        const int end = border == bsSingle ? 49 : 50;
        EXPECT_EQ(ColoursIn(half.image, TRect{face.Left, face.Top, end, face.Bottom}),
                  Colours{Red});
        EXPECT_EQ(ColoursIn(half.image, TRect{end, face.Top, face.Right, face.Bottom}),
                  Colours{Lime});
        if (border == bsSingle) {
            EXPECT_TRUE(FramedInBlack(empty.image));
            EXPECT_TRUE(FramedInBlack(full.image));
        }
    }
}

TEST(GaugeFaces, verticalBarGrowsFromTheBottomAndOnlyAFramedOneReachesTheTopRow) {
    Face framed(gkVerticalBar, bsSingle, 100);
    EXPECT_EQ(ColoursIn(framed.image, TRect{1, 1, 99, 99}), Colours{Red});
    EXPECT_TRUE(FramedInBlack(framed.image));

    Face bare(gkVerticalBar, bsNone, 100);
    EXPECT_EQ(ColoursIn(bare.image, TRect{0, 0, 100, 1}), Colours{Lime});
    EXPECT_EQ(ColoursIn(bare.image, TRect{0, 1, 100, 100}), Colours{Red});

    Face half(gkVerticalBar, bsSingle, 50);
    EXPECT_EQ(ColoursIn(half.image, TRect{1, 1, 99, 50}), Colours{Lime});
    EXPECT_EQ(ColoursIn(half.image, TRect{1, 50, 99, 99}), Colours{Red});

    Face empty(gkVerticalBar, bsNone, 0);
    EXPECT_EQ(ColoursIn(empty.image, TRect{0, 0, 100, 100}), Colours{Lime});
}

TEST(GaugeFaces, textFaceIsAPlainRectangleWithoutText) {
    Face framed(gkText, bsSingle, 50);
    EXPECT_EQ(ColoursIn(framed.image, TRect{1, 1, 99, 99}), Colours{Lime});
    EXPECT_TRUE(FramedInBlack(framed.image));
    Face bare(gkText, bsNone, 100);
    EXPECT_EQ(ColoursIn(bare.image, TRect{0, 0, 100, 100}), Colours{Lime});
}

TEST(GaugeFaces, pieFillsClockwiseFromTwelveOClock) {
    for (TBorderStyle border : {bsNone, bsSingle}) {
        SCOPED_TRACE(border);
        Face empty(gkPie, border, 0);
        EXPECT_EQ(At(empty.image, 50, 50), Lime);
        EXPECT_EQ(At(empty.image, 50, border == bsSingle ? 1 : 0), Red); // the outline
        EXPECT_EQ(At(empty.image, 3, 3), Blue);                          // the surround
        EXPECT_EQ(ColoursIn(empty.image, TRect{30, 30, 70, 70}), Colours{Lime});

        Face half(gkPie, border, 50);
        EXPECT_EQ(ColoursIn(half.image, TRect{55, 20, 80, 80}), Colours{Red});
        EXPECT_EQ(ColoursIn(half.image, TRect{20, 20, 45, 80}), Colours{Lime});

        Face quarter(gkPie, border, 25);
        EXPECT_EQ(At(quarter.image, 70, 30), Red);
        EXPECT_EQ(At(quarter.image, 70, 70), Lime);
        EXPECT_EQ(At(quarter.image, 30, 30), Lime);

        Face full(gkPie, border, 100);
        EXPECT_EQ(ColoursIn(full.image, TRect{20, 20, 80, 80}), Colours{Red});
        EXPECT_FALSE(ColoursIn(full.image, TRect{0, 0, 100, 100}).contains(Lime));
        EXPECT_EQ(At(full.image, 3, 3), Blue);
        if (border == bsSingle) {
            EXPECT_TRUE(FramedInBlack(full.image));
        }
    }
}

TEST(GaugeFaces, needleSweepsOverAHalfDialFromLeftToRight) {
    for (TBorderStyle border : {bsNone, bsSingle}) {
        SCOPED_TRACE(border);
        const int base = border == bsSingle ? 98 : 99; // B - 1, the dial's straight edge
        Face empty(gkNeedle, border, 0);
        EXPECT_EQ(ColoursIn(empty.image, TRect{40, 40, 60, base - 2}), Colours{Lime});
        EXPECT_EQ(At(empty.image, 3, 3), Blue);

        Face half(gkNeedle, border, 50);
        EXPECT_EQ(ColoursIn(half.image, TRect{50, 5, 51, base}), Colours{Red});
        EXPECT_EQ(ColoursIn(half.image, TRect{40, 40, 49, base - 2}), Colours{Lime});
        EXPECT_EQ(ColoursIn(half.image, TRect{52, 40, 60, base - 2}), Colours{Lime});

        Face right(gkNeedle, border, 100);
        EXPECT_EQ(ColoursIn(right.image, TRect{55, base, 95, base + 1}), Colours{Red});
        EXPECT_EQ(ColoursIn(right.image, TRect{40, 40, 60, base - 2}), Colours{Lime});
    }
    // With a frame the dial's base line is drawn over the frame's bottom row; the other
    // sides of the frame stay black.
    Face framed(gkNeedle, bsSingle, 0);
    EXPECT_EQ(ColoursIn(framed.image, TRect{1, 99, 99, 100}), Colours{Red});
    EXPECT_EQ(ColoursIn(framed.image, TRect{0, 0, 100, 1}), Colours{clBlack});
    EXPECT_EQ(ColoursIn(framed.image, TRect{0, 0, 1, 99}), Colours{clBlack});
}

TEST(GaugeText, invertsWhatLiesBeneathOnTheWindowsGauge) {
    TGauge gauge;
    MakeWindowGauge(gauge);
    gauge.SetProgress(50); // the text straddles the bar's end
    const QImage image = Render(gauge);
    const int barEnd = TGauge::ScaleToPercent(50, 66); // the bar's right edge
    const Colours overBar = ColoursIn(image, TRect{0, 0, barEnd, 17});
    const Colours overRest = ColoursIn(image, TRect{barEnd, 0, 65, 17});
    EXPECT_EQ(overBar, (Colours{Red, Aqua}));
    EXPECT_EQ(overRest, (Colours{Lime, Magenta}));

    gauge.SetShowText(false);
    EXPECT_EQ(ColoursIn(Render(gauge), TRect{0, 0, 65, 17}), (Colours{Red, Lime}));
}

TEST(GaugeText, readsZeroPercentAndDrawsNoBarForAnEmptyRange) {
    TGauge gauge;
    MakeWindowGauge(gauge);
    TGauge reference;
    MakeWindowGauge(reference);
    gauge.SetMinValue(100);
    gauge.SetProgress(100);
    // Same picture as a gauge at 0 %: no bar, and the text "0%".
    EXPECT_EQ(Render(gauge), Render(reference));
    EXPECT_EQ(ColoursIn(Render(gauge), TRect{0, 0, 65, 17}), (Colours{Lime, Magenta}));
}

TEST(GaugeText, tooLargeATextIsClippedToTheFace) {
    TGauge gauge;
    gauge.resize(30, 12);
    gauge.SetBackColor(Lime);
    QFont font("Arial");
    font.setPixelSize(30);
    gauge.setFont(font);
    gauge.SetProgress(100);
    const QImage image = Render(gauge);
    EXPECT_TRUE(FramedInBlack(image));
    EXPECT_TRUE(ColoursIn(image, TRect{1, 1, 29, 11}).contains(0xFFFFFF)); // black inverted
}

// The gauge painted for a screen whose pixels are ratio to one of the window's.
QImage RenderAtRatio(TGauge& gauge, qreal ratio) {
    QImage image(static_cast<int>(std::ceil(gauge.width() * ratio)),
                 static_cast<int>(std::ceil(gauge.height() * ratio)), QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::gray);
    QPainter painter(&image);
    gauge.Paint(painter);
    return image;
}

// The bounds of the inverted (text) pixels: the text over the bar is aqua, over the rest magenta.
QRect TextBounds(const QImage& image) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const TColor c = At(image, x, y); c == Aqua || c == Magenta)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

TEST(GaugeText, onAScaledScreenThePercentageIsDrawnAtTheScreensResolution) {
    TGauge gauge;
    MakeWindowGauge(gauge);
    gauge.SetProgress(50);
    const QImage plain = Render(gauge);
    const QRect plainText = TextBounds(plain);
    ASSERT_FALSE(plainText.isEmpty());
    for (const qreal ratio : {1.5, 2.0}) {
        SCOPED_TRACE(ratio);
        const QImage sharp = RenderAtRatio(gauge, ratio);
        // Every pixel is the gauge's: its colours, the frame-less face filled to the edge.
        EXPECT_EQ(ColoursIn(sharp, TRect{0, 0, sharp.width(), sharp.height()}),
                  (Colours{Red, Lime, Aqua, Magenta}));
        // The text takes ratio times the room, centred as before.
        const QRect text = TextBounds(sharp);
        EXPECT_NEAR(text.height(), plainText.height() * ratio, 2.0);
        EXPECT_NEAR(text.width(), plainText.width() * ratio, 3.0);
        EXPECT_NEAR(text.center().x(), plainText.center().x() * ratio, 2.0);
        EXPECT_NEAR(text.center().y(), plainText.center().y() * ratio, 2.0);
        // Drawn afresh, not the small picture enlarged: that is what garbled it at 1.5.
        QImage enlarged = plain.scaled(sharp.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
        enlarged.setDevicePixelRatio(ratio);
        int differing = 0;
        for (int y = 0; y < sharp.height(); ++y)
            for (int x = 0; x < sharp.width(); ++x)
                differing += sharp.pixel(x, y) != enlarged.pixel(x, y);
        EXPECT_GT(differing, 20);
    }
    // At ratio 1 the painting is the one the window has always had.
    EXPECT_EQ(RenderAtRatio(gauge, 1.0), plain);
}

namespace {

// A gauge on a shown window, where property writes paint at once.
struct ShownGauge : ::testing::Test {
    void SetUp() override {
        window.resize(200, 100);
        gauge = new TGauge(&window);
        window.show();
        QApplication::processEvents();
        painted = gauge->PaintCount();
    }
    int NewPaints() {
        const int n = gauge->PaintCount() - painted;
        painted = gauge->PaintCount();
        return n;
    }
    QWidget window;
    TGauge* gauge = nullptr;
    int painted = 0;
};

} // namespace

TEST_F(ShownGauge, paintsAtMostOncePerWholePercentage) {
    gauge->SetMaxValue(100000);
    EXPECT_EQ(NewPaints(), 1);
    for (int32_t v = 0; v <= 100000; v += 7)
        gauge->SetProgress(v);
    gauge->SetProgress(100000);
    EXPECT_EQ(NewPaints(), 100);
    gauge->SetProgress(100000);
    gauge->SetProgress(200000); // clamped to the value it holds
    EXPECT_EQ(NewPaints(), 0);
    gauge->SetProgress(99999); // 99 %: a new percentage
    EXPECT_EQ(NewPaints(), 1);
    gauge->SetProgress(99990); // still 99 %
    EXPECT_EQ(NewPaints(), 0);
}

TEST_F(ShownGauge, writesPaintBeforeTheyReturnAndOnlyWhenSomethingChanged) {
    int seen = -1;
    gauge->SetPaintProbe([&](TGauge::TPaintStage, const TBitmap&) { seen = gauge->Progress(); });
    gauge->SetProgress(42);
    EXPECT_EQ(seen, 42); // drawn inside the write, without the event loop
    EXPECT_EQ(NewPaints(), 1);

    gauge->SetKind(gkPie);
    gauge->SetShowText(false);
    gauge->SetBorderStyle(bsNone);
    gauge->SetForeColor(Red);
    gauge->SetBackColor(Lime);
    EXPECT_EQ(NewPaints(), 5);
    gauge->SetKind(gkPie);
    gauge->SetShowText(false);
    gauge->SetBorderStyle(bsNone);
    gauge->SetForeColor(Red);
    gauge->SetBackColor(Lime);
    gauge->SetMinValue(0);
    gauge->SetMaxValue(100);
    EXPECT_EQ(NewPaints(), 0);
    gauge->SetMinValue(1); // a bound change paints even when the percentage stays
    gauge->SetMaxValue(101);
    EXPECT_EQ(NewPaints(), 2);
}

TEST_F(ShownGauge, hiddenOrParentlessGaugesDoNotPaint) {
    gauge->hide();
    gauge->SetProgress(50);
    gauge->SetKind(gkNeedle);
    EXPECT_EQ(NewPaints(), 0);

    TGauge alone;
    alone.show();
    QApplication::processEvents();
    const int before = alone.PaintCount();
    alone.SetProgress(50);
    alone.SetKind(gkPie);
    EXPECT_EQ(alone.PaintCount(), before);
}

TEST(GaugePaint, aFailingPaintReleasesItsImagesAndPassesTheFailureOn) {
    for (auto stage : {TGauge::TPaintStage::FaceDrawn, TGauge::TPaintStage::TextDrawn}) {
        TGauge gauge;
        const int before = TBitmap::InstanceCount();
        int alive = 0;
        gauge.SetPaintProbe([&](TGauge::TPaintStage at, const TBitmap&) {
            if (at != stage)
                return;
            alive = TBitmap::InstanceCount() - before;
            throw std::runtime_error("drawing failed");
        });
        QImage target(100, 100, QImage::Format_RGB32);
        QPainter painter(&target);
        EXPECT_THROW(gauge.Paint(painter), std::runtime_error);
        EXPECT_EQ(alive, 2); // the composition and the face image
        EXPECT_EQ(TBitmap::InstanceCount(), before);
    }
}

namespace {

long PeakRssMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

// A skin may lay the gauge out far larger than the window: each of its paints makes images
// only of what can be seen, yet those pixels are the ones the whole gauge has there.
TEST_F(ShownGauge, aHugeGaugeComposesOnlyWhatCanBeSeen) {
    gauge->SetBackColor(Lime);
    gauge->SetForeColor(Red);
    NewPaints();
    const long before = PeakRssMegabytes();
    gauge->resize(200000, 200000);
    for (TGaugeKind kind : {gkText, gkVerticalBar, gkPie, gkNeedle, gkHorizontalBar})
        gauge->SetKind(kind);
    gauge->SetProgress(50);
    EXPECT_EQ(NewPaints(), 6);
    // A whole gauge of this size would take 120 GB an image.
    EXPECT_LT(PeakRssMegabytes() - before, 64);

    // At 50 % the bar covers x = 1 .. 99998 (half of 199999, truncated).
    QImage edge(20, 10, QImage::Format_RGB32);
    edge.fill(Qt::gray);
    gauge->render(&edge, QPoint(), QRegion(99990, 5, 20, 10));
    EXPECT_EQ(ColoursIn(edge, TRect{0, 0, 9, 10}), Colours{Red});
    EXPECT_EQ(ColoursIn(edge, TRect{9, 0, 20, 10}), Colours{Lime});

    // The text sits in the middle of the face, inverted over both parts of the bar.
    QImage middle(80, 40, QImage::Format_RGB32);
    middle.fill(Qt::gray);
    gauge->render(&middle, QPoint(), QRegion(99960, 99980, 80, 40));
    EXPECT_EQ(ColoursIn(middle, TRect{0, 0, 80, 40}), (Colours{Red, Lime, Aqua, Magenta}));

    // Painted straight onto a small image, from where the bar ends.
    QImage direct(20, 10, QImage::Format_RGB32);
    direct.fill(Qt::gray);
    {
        QPainter painter(&direct);
        painter.translate(-99990, -5);
        gauge->Paint(painter);
    }
    EXPECT_EQ(direct, edge);
    EXPECT_LT(PeakRssMegabytes() - before, 64);
}
