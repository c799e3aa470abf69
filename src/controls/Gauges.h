// SPDX-License-Identifier: MIT
#pragma once
// TGauge: shows where a value stands between a minimum and a maximum as a whole-number
// percentage: plain text, a horizontal or vertical bar, a pie or a half-dial with a needle.
// The file operations write its Progress from their loops without returning to the event
// loop, so a write that changes the percentage paints the gauge before it returns.

#include "cipher/Progress.h"
#include "platform/Bitmap.h"
#include "platform/Colors.h"

#include <QWidget>
#include <cstdint>
#include <functional>
#include <utility>

class QPainter;

enum TGaugeKind : uint8_t { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };

enum TBorderStyle : uint8_t { bsNone, bsSingle };

class TBltBitmap : public TBitmap {
public:
    // Takes the template's size and paints the whole surface in the window-frame colour.
    void MakeLike(const TBitmap& templ);
};

class TGauge : public QWidget, public TProgressReceiver {
    Q_OBJECT

public:
    explicit TGauge(QWidget* parent = nullptr);

    [[nodiscard]] int32_t MinValue() const { return FMinValue; }
    [[nodiscard]] int32_t MaxValue() const { return FMaxValue; }
    [[nodiscard]] int32_t Progress() const { return FProgress; }
    // Raise EInvalidOperation when the bounds would cross (unless loading); Progress is kept
    // inside the new bounds.
    void SetMinValue(int32_t value) override;
    void SetMaxValue(int32_t value) override;
    // Clamps to MinValue..MaxValue; paints only when the whole-number percentage changes.
    void SetProgress(int32_t value) override;

    [[nodiscard]] TGaugeKind Kind() const { return FKind; }
    void SetKind(TGaugeKind value);
    [[nodiscard]] bool ShowText() const { return FShowText; }
    void SetShowText(bool value);
    [[nodiscard]] TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    [[nodiscard]] TColor ForeColor() const { return FForeColor; }
    void SetForeColor(TColor value);
    [[nodiscard]] TColor BackColor() const { return FBackColor; }
    void SetBackColor(TColor value);
    // The surround of the pie and the needle faces.
    [[nodiscard]] TColor Color() const { return FColor; }
    void SetColor(TColor value);

    // The percentage every face and the text show, truncated toward zero; 0 when the
    // bounds are equal.
    [[nodiscard]] int32_t FillPercent() const;
    [[nodiscard]] static int32_t ScaleToPercent(int32_t percent, int32_t length);

    // While a stored layout is applied the bounds arrive one at a time, so they are not
    // compared with each other until loading ends.
    void BeginLoading() { FLoading = true; }
    void EndLoading() { FLoading = false; }
    [[nodiscard]] bool Loading() const { return FLoading; }

    // Composes the gauge off-screen and copies it onto canvas at (0, 0). On a device with
    // finer pixels than the gauge's (a scaled screen) the text is composed in the device's own.
    void Paint(QPainter& canvas);
    // The same for the part of the gauge in exposed (the gauge's coordinates) alone: the
    // images are made only as large as what can be seen of it, however large it is laid out.
    void Paint(QPainter& canvas, const QRect& exposed);

    // How many times the gauge has painted itself since it was made.
    [[nodiscard]] int PaintCount() const { return FPaintCount; }
    // Called during every paint once the face, and once the text, is drawn into the
    // composition image; lets tests watch or break a paint half-way.
    enum class TPaintStage { FaceDrawn, TextDrawn };
    using TPaintProbe = std::function<void(TPaintStage stage, const TBitmap& composition)>;
    void SetPaintProbe(TPaintProbe probe) { FPaintProbe = std::move(probe); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Draws at once when the gauge can be seen; a hidden or parentless gauge stays as it is.
    void RequestPaint();
    // The appearance properties: a changed value is stored and drawn at once.
    template <class T> void StoreAndPaint(T& field, T value) {
        if (value == field)
            return;
        field = value;
        RequestPaint();
    }
    [[nodiscard]] TRect FaceRect() const;
    [[nodiscard]] QRect ComposedArea(const QRect& exposed) const;
    void ClearImage(TBitmap& image) const;
    void DrawPlainFace(TBitmap& image, const TRect& face) const;
    void DrawBarFace(TBitmap& image, const TRect& face) const;
    std::pair<int, int> PrepareRoundFace(TCanvas& canvas, const TRect& face) const;
    void DrawPieFace(TBitmap& image, const TRect& face) const;
    void DrawNeedleFace(TBitmap& image, const TRect& face) const;
    // face and the font's size are in image pixels: ratio of them to one of the gauge's.
    void DrawPercentText(TBitmap& image, const TRect& face, qreal ratio) const;
    void Probe(TPaintStage stage, const TBitmap& composition) const;

    int32_t FMinValue = 0;
    int32_t FMaxValue = 100;
    int32_t FProgress = 0;
    TGaugeKind FKind = gkHorizontalBar;
    bool FShowText = true;
    TBorderStyle FBorderStyle = bsSingle;
    TColor FForeColor = clBlack;
    TColor FBackColor = clWhite;
    TColor FColor = clWindow;
    bool FLoading = false;
    int FPaintCount = 0;
    TPaintProbe FPaintProbe;
};
