// SPDX-License-Identifier: MIT
#pragma once
// TVeskFade: a picture control that shows PicFrom at rest and cross-blends to PicTo on
// request, optionally returning on its own by a blend or a random pixel dissolve. It has no
// button logic: its owner calls Fade on a press and Reset on a release.

#include "controls/FadeBlend.h"
#include "controls/FadeClock.h"
#include "errors/Errors.h"
#include "pictures/Picture.h"
#include "platform/Colors.h"

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class EVeskFade : public Exception {
public:
    using Exception::Exception;
};

class TVeskFade : public QWidget {
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TVeskFade*)>;
    using TMouseEvent =
        std::function<void(TVeskFade*, Qt::MouseButton, Qt::KeyboardModifiers, int, int)>;
    using TDissolveEntry = std::pair<int32_t, int32_t>; // (row, column)

    explicit TVeskFade(QWidget* parent = nullptr);
    ~TVeskFade() override;

    // Pictures. The setters copy the caller's picture into the control's own holder; the
    // holders themselves are reachable for loading from files.
    [[nodiscard]] TPicture& PicFrom() { return fPicFrom; }
    [[nodiscard]] TPicture& PicTo() { return fPicTo; }
    [[nodiscard]] const TPicture& PicFrom() const { return fPicFrom; }
    [[nodiscard]] const TPicture& PicTo() const { return fPicTo; }
    void SetPicFrom(const TPicture& picture) { fPicFrom.Assign(picture); }
    void SetPicTo(const TPicture& picture) { fPicTo.Assign(picture); }

    [[nodiscard]] TColor ColorFrom() const { return fColorFrom; }
    [[nodiscard]] TColor ColorTo() const { return fColorTo; }
    void SetColorFrom(TColor value);
    void SetColorTo(TColor value);
    [[nodiscard]] int DisolvRate() const { return fDisolvRate; }
    void SetDisolvRate(int value);
    [[nodiscard]] int BlendRate() const { return fBlendRate; }
    void SetBlendRate(int value);
    [[nodiscard]] bool StretchToFit() const { return fStretchToFit; }
    void SetStretchToFit(bool value);
    [[nodiscard]] bool ProcessMsgs() const { return fProcessMsgs; }
    void SetProcessMsgs(bool value) { fProcessMsgs = value; }
    [[nodiscard]] bool AutoReverse() const { return fAutoReverse; }
    void SetAutoReverse(bool value) { fAutoReverse = value; }
    [[nodiscard]] bool SwapOnReverse() const { return fSwapOnReverse; }
    void SetSwapOnReverse(bool value) { fSwapOnReverse = value; }
    [[nodiscard]] int SwapDelay() const { return fSwapDelay; }
    void SetSwapDelay(int seconds) { fSwapDelay = seconds; }

    // Frame length in milliseconds; stored as given, 0 or less means no waits.
    [[nodiscard]] int MsecPerFrame() const { return fMsecPerFrame; }
    void SetMsecPerFrame(int value) { fMsecPerFrame = value; }

    TNotifyEvent OnBegin;
    TNotifyEvent OnEnd;
    TNotifyEvent OnReset;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TNotifyEvent OnClick;
    // Space, Enter or Return on the focused control: down when pressed, up when let go. A focus
    // that leaves while the key is held is told as OnMouseLeave, the pointer's way of letting go
    // without a click.
    TNotifyEvent OnKeyDown;
    TNotifyEvent OnKeyUp;
    // The press action assistive technology offers (a screen reader's "activate").
    TNotifyEvent OnPress;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;

    // Bounds. Every change of position or size rebuilds the images, also while the control
    // is hidden (Qt would hold its move and resize events back until it is shown).
    void SetBounds(int left, int top, int width, int height);
    void SetLeft(int value) { SetBounds(value, y(), width(), height()); }
    void SetTop(int value) { SetBounds(x(), value, width(), height()); }
    void SetWidth(int value) { SetBounds(x(), y(), value, height()); }
    void SetHeight(int value) { SetBounds(x(), y(), width(), value); }

    // The forward transition from the PicFrom image to the PicTo image, with the automatic
    // return when AutoReverse is set; returns when everything has been drawn.
    void Fade();
    // Shows the PicFrom image at once: rebuilds the three images from pictures and colours.
    void Reset();
    void BlendBack();
    void DissolveBack();
    void BuildDissolveOrder();

    [[nodiscard]] const QImage& FrontImage() const { return fFrontImage; }
    [[nodiscard]] const QImage& TargetImage() const { return fTargetImage; }
    [[nodiscard]] const QImage& StartImage() const { return fStartImage; }
    [[nodiscard]] const std::vector<TDissolveEntry>& DissolveOrder() const {
        return fDissolveOrder;
    }
    [[nodiscard]] int PixelCount() const { return fPixelCount; }
    [[nodiscard]] bool Swapped() const { return fSwapped; }

    // The clock the transitions use; nullptr restores the system clock. Not owned.
    void SetClock(TFadeClock* clock);

protected:
    void paintEvent(QPaintEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BoundsChanged();
    void PictureChanged();
    void ExchangePictures();
    void ReturnPreamble();
    void RunBlendFrames();
    void StartPacing();
    void PaceFrame();
    void ShowFrame();
    void CopyFrontToStart();
    void CopyDissolvePixels(const std::vector<TDissolveEntry>& order, int from, int to);
    void MouseLeft();
    [[nodiscard]] bool HasPixels() const;

    void DrawIconOnColor(const TPicture& icon, QImage& target, TColor color, int W, int H);
    void DrawStretched(const TPicture& picture, QImage& image, TColor fill, int W, int H);
    void DrawNatural(const TPicture& picture, QImage& image, TColor fill);

    QImage fFrontImage;
    QImage fTargetImage;
    QImage fStartImage;
    TPicture fPicFrom;
    TPicture fPicTo;
    TColor fColorFrom = clBlack;
    TColor fColorTo = clWhite;
    // The colours the two end images are filled with.
    TColor fFrontFill = clBlack;
    TColor fTargetFill = clWhite;
    std::vector<TDissolveEntry> fDissolveOrder;
    int fDisolvRate = 125;
    int fBlendRate = 32;
    int fPixelCount = 0;
    int fMsecPerFrame = 40;
    bool fStretchToFit = true;
    bool fProcessMsgs = false;
    bool fAutoReverse = false;
    bool fSwapOnReverse = true;
    bool fSwapped = false;
    bool fSavedStretchToFit = true;
    int fSwapDelay = 1;

    TFadeClock* fClock;
    double fDeadline = 0;
    QRect fReactedBounds;
    // Whether the pointer counts as over the control, for pairing enter and leave.
    bool fMouseInside = false;
    bool fLeftPressed = false;
    // A leave that came because a modal window took the input, not because the pointer moved:
    // where the pointer really is is known at the first pointer event after the modal window.
    bool fLeaveHeldByModal = false;
    Qt::MouseButtons fHeldButtons = Qt::NoButton;
    // The key that pressed the control from the keyboard, until it is let go.
    int fHeldKey = 0;
};
