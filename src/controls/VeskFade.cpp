// SPDX-License-Identifier: MIT
#include "controls/VeskFade.h"
#include "controls/Accessibility.h"

#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

constexpr QImage::Format kImageFormat = QImage::Format_BGR888;

// True while a modal window other than the control's own is shown (or being shown: Qt tells the
// windows it blocks that the pointer left before it lists the modal window as such).
bool ModalWindowOver(const QWidget* control) {
    const QWidget* own = control->window();
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (w != own && w->isVisible() && w->isModal())
            return true;
    return false;
}

bool SameSize(const QImage& a, const QImage& b) {
    return a.size() == b.size();
}

// Gives image the size W by H and 24 bits a pixel, keeping what it showed where old and new
// overlap. New images start as zeros, padding included, since the blend reads the padding.
void SizeImage(QImage& image, int W, int H) {
    W = std::max(W, 0);
    H = std::max(H, 0);
    if (image.width() == W && image.height() == H && image.format() == kImageFormat)
        return;
    QImage sized;
    if (W > 0 && H > 0) {
        sized = QImage(W, H, kImageFormat);
        if (sized.isNull())
            throw EVeskFade("Not enough memory for a picture of " + std::to_string(W) + " by " +
                            std::to_string(H) + " pixels");
        std::memset(sized.bits(), 0, static_cast<size_t>(sized.sizeInBytes()));
        if (!image.isNull()) {
            QPainter painter(&sized);
            painter.drawImage(0, 0, image);
        }
    }
    image = std::move(sized);
}

void FillImage(QImage& image, TColor color) {
    if (!image.isNull())
        image.fill(ToQColor(color));
}

} // namespace

TVeskFade::TVeskFade(QWidget* parent) : QWidget(parent), fClock(&SystemFadeClock()) {
    // The control covers its whole rectangle, so an immediate repaint draws only its image.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    fPicFrom.Subscribe([this] { PictureChanged(); });
    fPicTo.Subscribe([this] { PictureChanged(); });
    SetWidth(75);
    SetHeight(75);
    SizeImage(fFrontImage, width(), height());
    InstallControlsAccessibility();
}

TVeskFade::~TVeskFade() = default;

void TVeskFade::SetClock(TFadeClock* clock) {
    fClock = clock ? clock : &SystemFadeClock();
}

void TVeskFade::SetColorFrom(TColor value) {
    if (value == fColorFrom)
        return;
    fColorFrom = value;
    fFrontFill = value;
    Reset();
    update();
}

void TVeskFade::SetColorTo(TColor value) {
    if (value == fColorTo)
        return;
    fColorTo = value;
    fTargetFill = value;
    Reset();
    update();
}

void TVeskFade::SetDisolvRate(int value) {
    // Clamped against the size of the moment only; the dissolve copes with later resizes.
    const int64_t pixels = static_cast<int64_t>(width()) * height();
    int64_t rate = std::max(value, 1);
    rate = std::min(rate, pixels);
    fDisolvRate = static_cast<int>(std::min<int64_t>(rate, INT_MAX));
}

void TVeskFade::SetBlendRate(int value) {
    fBlendRate = std::max(value, 1);
}

void TVeskFade::SetStretchToFit(bool value) {
    if (value == fStretchToFit)
        return;
    fStretchToFit = value;
    Reset();
    update();
}

void TVeskFade::SetBounds(int left, int top, int w, int h) {
    setGeometry(left, top, std::max(w, 0), std::max(h, 0));
    // A visible control has reacted already, through its move and resize events.
    if (geometry() != fReactedBounds)
        BoundsChanged();
}

void TVeskFade::moveEvent(QMoveEvent* event) {
    if (geometry() != fReactedBounds)
        BoundsChanged();
    QWidget::moveEvent(event);
}

void TVeskFade::resizeEvent(QResizeEvent* event) {
    if (geometry() != fReactedBounds)
        BoundsChanged();
    QWidget::resizeEvent(event);
}

void TVeskFade::BoundsChanged() {
    fReactedBounds = geometry();
    Reset();
    update();
}

void TVeskFade::PictureChanged() {
    // While a return runs, the pictures are exchanged on purpose.
    if (fSwapped)
        return;
    Reset();
    update();
}

void TVeskFade::DrawIconOnColor(const TPicture& icon, QImage& target, TColor color, int W, int H) {
    // Icons are drawn at their natural size only and have transparent parts, so they are
    // laid on the colour first and the result is stretched.
    if (target.isNull() || icon.Width() <= 0 || icon.Height() <= 0)
        return;
    QImage temp(icon.Width(), icon.Height(), kImageFormat);
    temp.fill(ToQColor(color));
    {
        QPainter painter(&temp);
        icon.Draw(painter, 0, 0);
    }
    QPainter painter(&target);
    painter.drawImage(QRect(0, 0, W, H), temp);
}

void TVeskFade::DrawStretched(const TPicture& picture, QImage& image, TColor fill, int W, int H) {
    if (picture.Empty() || picture.IsMetafile())
        FillImage(image, fill);
    if (picture.Empty() || image.isNull())
        return;
    if (picture.IsIcon()) {
        DrawIconOnColor(picture, image, fill, W, H);
        return;
    }
    QPainter painter(&image);
    picture.StretchDraw(painter, QRect(0, 0, W, H));
}

void TVeskFade::DrawNatural(const TPicture& picture, QImage& image, TColor fill) {
    if (picture.IsMetafile() || picture.IsIcon())
        FillImage(image, fill);
    if (image.isNull())
        return;
    QPainter painter(&image);
    picture.Draw(painter, 0, 0);
}

void TVeskFade::ExchangePictures() {
    // The fills follow the colours before the pictures move, since moving a picture may redraw.
    std::swap(fColorFrom, fColorTo);
    fFrontFill = fColorFrom;
    fTargetFill = fColorTo;
    const TPicture temp(fPicFrom);
    fPicFrom.Assign(fPicTo);
    fPicTo.Assign(temp);
}

void TVeskFade::Reset() {
    if (fSwapped) {
        // These copies notify, but the control ignores them while Swapped is set.
        ExchangePictures();
        fSwapped = false;
        fStretchToFit = fSavedStretchToFit;
    }

    // Without stretching, the control takes the natural size of PicFrom, or of PicTo when
    // PicFrom is empty, and the other picture is stretched to it. Each size change reacts with
    // a Reset of its own before this one goes on.
    const TPicture* natural = nullptr;
    if (!fStretchToFit)
        natural = !fPicFrom.Empty() ? &fPicFrom : !fPicTo.Empty() ? &fPicTo : nullptr;
    if (natural) {
        SetWidth(natural->Width());
        SetHeight(natural->Height());
    }
    const int W = width();
    const int H = height();
    SizeImage(fFrontImage, W, H);
    if (natural == &fPicFrom)
        DrawNatural(fPicFrom, fFrontImage, fFrontFill);
    else
        DrawStretched(fPicFrom, fFrontImage, fFrontFill, W, H);
    SizeImage(fTargetImage, W, H);
    if (natural == &fPicTo)
        DrawNatural(fPicTo, fTargetImage, fTargetFill);
    else
        DrawStretched(fPicTo, fTargetImage, fTargetFill, W, H);

    SizeImage(fStartImage, fFrontImage.width(), fFrontImage.height());
    update();
    if (OnReset)
        OnReset(this);
}

void TVeskFade::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // On a scaled screen the picture is enlarged; blended, not in blocks of uneven size.
    if (devicePixelRatio() != 1.0)
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(0, 0, fFrontImage);
    if (hasFocus()) {
        // Drawn over the picture and inverting it, so that it shows on any skin's colours.
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        QPen pen(Qt::white, 1, Qt::DotLine);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(1, 1, -2, -2));
    }
}

bool TVeskFade::HasPixels() const {
    return !fFrontImage.isNull() && SameSize(fFrontImage, fTargetImage) &&
           SameSize(fFrontImage, fStartImage);
}

void TVeskFade::ShowFrame() {
    repaint();
}

void TVeskFade::StartPacing() {
    fDeadline = fClock->NowMs();
}

void TVeskFade::PaceFrame() {
    // Frame k is due k frames after the start, whatever the earlier frames cost.
    fDeadline += fMsecPerFrame;
    if (!fProcessMsgs) {
        const double wait = std::round(fDeadline - fClock->NowMs());
        fClock->SleepMs(static_cast<int>(std::clamp(wait, 0.0, static_cast<double>(INT_MAX))));
        return;
    }
    do {
        fClock->ProcessEvents();
    } while (!(fClock->NowMs() > fDeadline));
}

void TVeskFade::CopyFrontToStart() {
    SizeImage(fStartImage, fFrontImage.width(), fFrontImage.height());
    if (!fFrontImage.isNull())
        std::memcpy(fStartImage.bits(), fFrontImage.constBits(),
                    static_cast<size_t>(fFrontImage.sizeInBytes()));
}

void TVeskFade::RunBlendFrames() {
    const int rate = fBlendRate;
    StartPacing();
    for (int k = 0; k <= rate; ++k) {
        // A handler run between frames may have resized the control; its Reset rebuilt all
        // three images, but a half-done blend across sizes would read past their ends.
        if (!HasPixels())
            return;
        const int w = static_cast<int>(static_cast<int64_t>(k) * 32 / rate);
        BlendPixels(fStartImage.constBits(), fTargetImage.constBits(), fFrontImage.bits(),
                    fFrontImage.width(), fFrontImage.height(), w);
        ShowFrame();
        PaceFrame();
    }
}

void TVeskFade::Fade() {
    Reset();
    if (fBlendRate < 1)
        throw EVeskFade("BlendRate must be between 0 and 256");
    if (OnBegin)
        OnBegin(this);
    // A control without pixels has nothing to show; its owner still sees begin and end.
    if (HasPixels()) {
        CopyFrontToStart();
        RunBlendFrames();
        if (fAutoReverse) {
            const int64_t delay = std::clamp<int64_t>(int64_t{fSwapDelay} * 1000, 0, INT_MAX);
            fClock->SleepMs(static_cast<int>(delay));
            if (fSwapOnReverse)
                DissolveBack();
            else
                BlendBack();
        }
    }
    if (OnEnd)
        OnEnd(this);
}

void TVeskFade::ReturnPreamble() {
    // A return cut short by an error left the pictures exchanged; exchanging them again
    // from there would leave the control on the wrong pictures for good.
    if (fSwapped)
        Reset();
    fSavedStretchToFit = fStretchToFit;
    fStretchToFit = true;
    ExchangePictures();
    Reset();
    fSwapped = true;
}

void TVeskFade::BlendBack() {
    ReturnPreamble();
    CopyFrontToStart();
    RunBlendFrames();
    Reset();
}

void TVeskFade::BuildDissolveOrder() {
    const int W = std::max(width(), 0);
    const int H = std::max(height(), 0);
    fPixelCount = W * H;
    fDissolveOrder.assign(static_cast<size_t>(fPixelCount), TDissolveEntry{0, 0});
    for (int r = 0; r < H; ++r)
        for (int q = 0; q < W; ++q)
            fDissolveOrder[static_cast<size_t>(r) * W + q] = {r, q};
    FadeRandSeed(fClock->MsOfUtcDay());
    // k is drawn from the whole array every time, not from j onwards.
    const auto count = static_cast<uint32_t>(fPixelCount);
    for (uint32_t j = 0; j < count; ++j)
        std::swap(fDissolveOrder[FadeRandom(count)], fDissolveOrder[j]);
}

void TVeskFade::CopyDissolvePixels(const std::vector<TDissolveEntry>& order, int from, int to) {
    if (!SameSize(fFrontImage, fTargetImage) || fFrontImage.isNull())
        return;
    const int W = fFrontImage.width();
    const int H = fFrontImage.height();
    const qsizetype stride = fFrontImage.bytesPerLine();
    uint8_t* front = fFrontImage.bits();
    const uint8_t* target = fTargetImage.constBits();
    for (int i = from; i < to; ++i) {
        const auto [row, column] = order[static_cast<size_t>(i)];
        if (row < 0 || row >= H || column < 0 || column >= W)
            continue;
        const qsizetype at = stride * row + qsizetype{column} * 3;
        std::memcpy(front + at, target + at, 3);
    }
}

void TVeskFade::DissolveBack() {
    ReturnPreamble();
    BuildDissolveOrder();
    // Owned here, so that it is released however the dissolve ends.
    const std::vector<TDissolveEntry> order = std::move(fDissolveOrder);
    fDissolveOrder = {};
    const int count = static_cast<int>(order.size());
    if (count > 0) {
        // The rate may have been set while the control was smaller or empty: at least one
        // pixel and at most all of them move each frame.
        const int rate = std::clamp(fDisolvRate, 1, count);
        const int perFrame = count / rate;
        const int frames = count / perFrame;
        StartPacing();
        for (int f = 0; f < frames; ++f) {
            CopyDissolvePixels(order, f * perFrame, f * perFrame + perFrame);
            ShowFrame();
            PaceFrame();
        }
        CopyDissolvePixels(order, frames * perFrame, count);
        ShowFrame();
    }
    Reset();
}

void TVeskFade::MouseLeft() {
    fMouseInside = false;
    if (OnMouseLeave)
        OnMouseLeave(this);
}

void TVeskFade::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (fMouseInside)
        return;
    fMouseInside = true;
    // Coming back while a button is held is not an entry the owner hears of.
    if (fHeldButtons == Qt::NoButton && OnMouseEnter)
        OnMouseEnter(this);
}

void TVeskFade::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    // A command that opens a dialog runs inside the click: the pointer still rests on the
    // button, which keeps its pressed picture until the pointer really leaves it.
    if (fMouseInside && ModalWindowOver(this)) {
        if (!fLeaveHeldByModal) {
            fLeaveHeldByModal = true;
            qApp->installEventFilter(this);
        }
        return;
    }
    // Already told when the pointer left during a held press.
    if (fMouseInside)
        MouseLeft();
}

bool TVeskFade::eventFilter(QObject* watched, QEvent* event) {
    if (fLeaveHeldByModal && !ModalWindowOver(this)) {
        const auto* pointer = dynamic_cast<const QSinglePointEvent*>(event);
        if (pointer && (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove)) {
            fLeaveHeldByModal = false;
            qApp->removeEventFilter(this);
            if (fMouseInside &&
                !rect().contains(mapFromGlobal(pointer->globalPosition()).toPoint()))
                MouseLeft();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TVeskFade::mousePressEvent(QMouseEvent* event) {
    // A press happens over the control, whether or not an enter was delivered before it.
    fMouseInside = true;
    fHeldButtons = event->buttons();
    if (event->button() == Qt::LeftButton)
        fLeftPressed = true;
    const QPoint at = event->position().toPoint();
    if (OnMouseDown)
        OnMouseDown(this, event->button(), event->modifiers(), at.x(), at.y());
}

void TVeskFade::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click is a press like any other for the owner.
    mousePressEvent(event);
}

void TVeskFade::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const bool click = event->button() == Qt::LeftButton && fLeftPressed && rect().contains(at);
    fHeldButtons = event->buttons();
    if (event->button() == Qt::LeftButton)
        fLeftPressed = false;
    // The click comes first, so the command runs while the pressed picture still shows.
    if (click && OnClick)
        OnClick(this);
    if (OnMouseUp)
        OnMouseUp(this, event->button(), event->modifiers(), at.x(), at.y());
}

namespace {
bool IsPressKey(const QKeyEvent* event) {
    return event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier
               ? event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
                     event->key() == Qt::Key_Enter
               : false;
}
} // namespace

void TVeskFade::keyPressEvent(QKeyEvent* event) {
    if (!IsPressKey(event))
        return QWidget::keyPressEvent(event);
    event->accept();
    // A held key repeats; the control is pressed once, as by a held mouse button.
    if (event->isAutoRepeat() || fHeldKey != 0)
        return;
    fHeldKey = event->key();
    if (OnKeyDown)
        OnKeyDown(this);
}

void TVeskFade::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() != fHeldKey || fHeldKey == 0)
        return QWidget::keyReleaseEvent(event);
    event->accept();
    if (event->isAutoRepeat())
        return;
    fHeldKey = 0;
    if (OnKeyUp)
        OnKeyUp(this);
}

void TVeskFade::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TVeskFade::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
    if (fHeldKey != 0) {
        fHeldKey = 0;
        if (OnMouseLeave)
            OnMouseLeave(this);
    }
}

void TVeskFade::mouseMoveEvent(QMouseEvent* event) {
    // Qt grabs the mouse while a button is held and sends no leave then, so the pointer is
    // followed here. Coming back while held raises no enter.
    if (event->buttons() == Qt::NoButton)
        return;
    const bool over = rect().contains(event->position().toPoint());
    if (!over && fMouseInside)
        MouseLeft();
    else if (over)
        fMouseInside = true;
}
