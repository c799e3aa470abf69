// SPDX-License-Identifier: MIT
// TVeskFade: the blend arithmetic, the frames and their schedule (on a fake clock), the
// dissolve, Reset in both modes, the return transitions and the mouse events as the window
// needs them. The control is placed on a shown window, so every frame really paints.
#include "controls/VeskFade.h"
#include "support/Metafiles.h"

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <set>

namespace {

class TFakeClock : public TFadeClock {
public:
    double now = 5000;
    std::vector<int> sleeps;
    int processed = 0;
    int wallReads = 0;
    uint32_t msOfDay = 43'210'987;
    std::function<void()> onSleep;

    double NowMs() override { return now; }
    void SleepMs(int ms) override {
        sleeps.push_back(ms);
        now += ms;
        if (onSleep)
            onSleep();
    }
    void ProcessEvents() override {
        ++processed;
        now += 1;
    }
    uint32_t MsOfUtcDay() override {
        ++wallReads;
        return msOfDay;
    }
};

// Keeps a copy of every frame the control paints, and can charge the clock for painting.
class TFrameRecorder : public QObject {
public:
    TFrameRecorder(TVeskFade* fade, TFakeClock* clock) : fFade(fade), fClock(clock) {
        fade->installEventFilter(this);
    }
    std::vector<QImage> frames;
    std::function<double(int)> cost; // milliseconds spent painting frame n

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            if (cost)
                fClock->now += cost(static_cast<int>(frames.size()));
            frames.push_back(fFade->FrontImage().copy());
        }
        return false;
    }

private:
    TVeskFade* fFade;
    TFakeClock* fClock;
};

QImage Solid(int w, int h, QColor color, QImage::Format format = QImage::Format_RGB32) {
    QImage image(w, h, format);
    image.fill(color);
    return image;
}

TPicture Picture(const QTemporaryDir& dir, const QString& name, const QImage& image) {
    const QString path = dir.filePath(name);
    image.save(path);
    return TPicture::FromFile(path);
}

int CountColour(const QImage& image, QColor color) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y) == color;
    return n;
}

bool AllColour(const QImage& image, QColor color) {
    return !image.isNull() && CountColour(image, color) == image.width() * image.height();
}

bool SameBytes(const QImage& a, const QImage& b) {
    return a.size() == b.size() && a.sizeInBytes() == b.sizeInBytes() &&
           std::memcmp(a.constBits(), b.constBits(), static_cast<size_t>(a.sizeInBytes())) == 0;
}

class VeskFadeTest : public ::testing::Test {
protected:
    void SetUp() override {
        window.resize(300, 200);
        window.show();
        fade = new TVeskFade(&window);
        fade->SetClock(&clock);
        fade->show();
        recorder = std::make_unique<TFrameRecorder>(fade, &clock);
        fade->OnReset = [this](TVeskFade*) { log.push_back("reset"); };
        fade->OnBegin = [this](TVeskFade*) { log.push_back("begin"); };
        fade->OnEnd = [this](TVeskFade*) { log.push_back("end"); };
    }

    // Runs a fade and returns only the frames it painted.
    std::vector<QImage> FadeFrames() {
        QApplication::processEvents(); // paints queued by earlier Resets are not frames
        recorder->frames.clear();
        fade->Fade();
        return recorder->frames;
    }

    QWidget window;
    TVeskFade* fade = nullptr;
    TFakeClock clock;
    std::unique_ptr<TFrameRecorder> recorder;
    std::vector<std::string> log;
    QTemporaryDir dir;
};

TEST(BlendPixelsTest, EveryByteOfThePaddedBlockIsTheWeightedMean) {
    std::mt19937 random(7);
    for (int W = 0; W <= 32; ++W)
        for (int H : {1, 3}) {
            const size_t bytes = static_cast<size_t>(PaddedRowBytes(W)) * H;
            std::vector<uint8_t> start(bytes), target(bytes), output(bytes);
            for (size_t i = 0; i < bytes; ++i) {
                start[i] = static_cast<uint8_t>(random());
                target[i] = static_cast<uint8_t>(random());
            }
            for (int w = 0; w <= 32; ++w) {
                std::fill(output.begin(), output.end(), uint8_t{0xA5});
                BlendPixels(start.data(), target.data(), output.data(), W, H, w);
                for (size_t i = 0; i < bytes; ++i) {
                    const int expected = w == 0 ? 0xA5 : (start[i] * (32 - w) + target[i] * w) / 32;
                    ASSERT_EQ(output[i], expected)
                        << "W=" << W << " H=" << H << " w=" << w << " byte " << i;
                }
            }
        }
    const uint8_t s[4] = {200, 200, 200, 200}, t[4] = {100, 100, 100, 100};
    uint8_t o[4] = {};
    BlendPixels(s, t, o, 1, 1, 8);
    EXPECT_EQ(o[0], 175);
}

TEST_F(VeskFadeTest, NewControlIs75SquareBlackWithItsDefaults) {
    EXPECT_EQ(fade->size(), QSize(75, 75));
    EXPECT_TRUE(AllColour(fade->FrontImage(), Qt::black));
    EXPECT_TRUE(AllColour(fade->TargetImage(), Qt::white));
    EXPECT_EQ(fade->FrontImage().bytesPerLine(), PaddedRowBytes(75));
    EXPECT_EQ(fade->FrontImage().depth(), 24);
    EXPECT_EQ(fade->StartImage().size(), QSize(75, 75));
    EXPECT_EQ(fade->ColorTo(), clWhite);
    EXPECT_EQ(fade->DisolvRate(), 125);
    EXPECT_EQ(fade->BlendRate(), 32);
    EXPECT_EQ(fade->MsecPerFrame(), 40);
    EXPECT_TRUE(fade->StretchToFit() && fade->SwapOnReverse());
    EXPECT_FALSE(fade->ProcessMsgs() || fade->AutoReverse() || fade->Swapped());
    EXPECT_EQ(fade->SwapDelay(), 1);
    EXPECT_TRUE(fade->testAttribute(Qt::WA_OpaquePaintEvent));
}

TEST_F(VeskFadeTest, SettersClampAndRedrawOnlyOnChange) {
    fade->SetColorFrom(clBlack);
    fade->SetColorTo(clWhite);
    fade->SetStretchToFit(true);
    EXPECT_TRUE(log.empty());
    fade->SetColorFrom(clRed);
    EXPECT_EQ(log.size(), 1u);
    EXPECT_TRUE(AllColour(fade->FrontImage(), Qt::red));
    const uint8_t* bgr = fade->FrontImage().constBits(); // blue, green, red in memory
    EXPECT_EQ((std::vector<int>{bgr[0], bgr[1], bgr[2]}), (std::vector<int>{0, 0, 255}));

    for (auto [set, read] : {std::pair{0, 1}, {-7, 1}, {300, 300}, {5625, 5625}, {9999, 5625}}) {
        fade->SetDisolvRate(set);
        EXPECT_EQ(fade->DisolvRate(), read) << set;
    }
    for (auto [set, read] : {std::pair{0, 1}, {-3, 1}, {1000, 1000}}) {
        fade->SetBlendRate(set);
        EXPECT_EQ(fade->BlendRate(), read) << set;
    }

    fade->SetBounds(0, 0, 0, 10);
    fade->SetDisolvRate(50);
    EXPECT_EQ(fade->DisolvRate(), 0);
    fade->SetBounds(0, 0, 10, 10); // not clamped again
    EXPECT_EQ(fade->DisolvRate(), 0);
    EXPECT_EQ(log.size(), 3u); // ColorFrom, then two bounds changes
}

TEST_F(VeskFadeTest, BlendFramesCarryTheWeightsInThirtySeconds) {
    fade->SetBounds(0, 0, 5, 3);
    for (int rate : {1, 3, 32, 64}) {
        fade->SetBlendRate(rate);
        log.clear();
        const auto frames = FadeFrames();
        ASSERT_EQ(frames.size(), static_cast<size_t>(rate) + 1) << rate;
        // Black to white: each byte of frame k is 255 * w div 32, with w = k * 32 div rate.
        for (int k = 0; k <= rate; ++k)
            EXPECT_EQ(frames[k].pixelColor(4, 2).red(), 255 * (k * 32 / rate) / 32)
                << "rate " << rate << " frame " << k;
        EXPECT_EQ(log, (std::vector<std::string>{"reset", "begin", "end"}));
    }
}

TEST_F(VeskFadeTest, FadeEndsOnTheTargetByteForByteAndStaysThere) {
    fade->SetColorFrom(clMaroon);
    fade->SetColorTo(clLime);
    fade->SetBounds(3, 4, 13, 7); // 39 bytes a row: each row has a byte of padding
    fade->SetPicFrom(Picture(dir, "from.bmp", Solid(5, 5, QColor(10, 200, 30))));
    fade->SetPicTo(Picture(dir, "to.bmp", Solid(3, 2, QColor(250, 5, 60))));
    const QImage rest = fade->FrontImage().copy();
    const auto frames = FadeFrames();
    ASSERT_EQ(frames.size(), 33u);
    EXPECT_TRUE(SameBytes(frames.front(), rest));
    EXPECT_TRUE(SameBytes(fade->StartImage(), rest));
    EXPECT_TRUE(SameBytes(fade->FrontImage(), fade->TargetImage()));
    EXPECT_EQ(fade->FrontImage().pixelColor(6, 3), QColor(250, 5, 60));
    EXPECT_EQ(fade->size(), QSize(13, 7));
    QApplication::processEvents();
    EXPECT_TRUE(SameBytes(fade->FrontImage(), fade->TargetImage()));
}

TEST_F(VeskFadeTest, FramesFollowAnAbsoluteScheduleOnTheMonotonicClock) {
    fade->SetBounds(0, 0, 4, 4);
    // Frame 2 costs 100 ms: the next waits shrink until the schedule is met again.
    recorder->cost = [](int n) { return n == 2 ? 100.0 : 0.0; };
    const double start = clock.now;
    FadeFrames();
    ASSERT_EQ(clock.sleeps.size(), 33u);
    EXPECT_EQ(std::vector<int>(clock.sleeps.begin(), clock.sleeps.begin() + 6),
              (std::vector<int>{40, 40, 0, 0, 20, 40}));
    EXPECT_DOUBLE_EQ(clock.now - start, 33 * 40);
    EXPECT_EQ(clock.processed, 0);
    EXPECT_EQ(clock.wallReads, 0); // the time of day never paces a frame

    // Frames of no length never wait; pumping events still happens once a frame.
    recorder->cost = nullptr;
    clock.sleeps.clear();
    fade->SetMsecPerFrame(-5);
    FadeFrames();
    EXPECT_EQ(clock.sleeps, std::vector<int>(33, 0));
    clock.sleeps.clear();
    fade->SetProcessMsgs(true);
    fade->SetMsecPerFrame(0);
    FadeFrames();
    EXPECT_EQ(clock.processed, 33);
    EXPECT_TRUE(clock.sleeps.empty());

    // Pumping goes on until the deadline has passed: 6 ms for the first frame, then 5 a frame.
    clock.processed = 0;
    fade->SetMsecPerFrame(5);
    FadeFrames();
    EXPECT_EQ(clock.processed, 6 + 5 * 32);
}

TEST_F(VeskFadeTest, SwapDelayIsAPlainSleepAndNeverNegative) {
    fade->SetBounds(0, 0, 4, 4);
    fade->SetAutoReverse(true);
    fade->SetSwapOnReverse(false);
    fade->SetProcessMsgs(true); // the pause sleeps all the same
    for (auto [delay, slept] : {std::pair{2, 2000}, {0, 0}, {-3, 0}}) {
        clock.sleeps.clear();
        fade->SetSwapDelay(delay);
        fade->Fade();
        EXPECT_EQ(clock.sleeps, std::vector<int>{slept}) << delay;
    }
}

TEST_F(VeskFadeTest, ReturnsEndAtRestOnTheControlsOwnPicturesAndColours) {
    fade->SetStretchToFit(false);
    fade->SetColorFrom(clMaroon);
    fade->SetColorTo(clLime);
    fade->SetPicFrom(Picture(dir, "from.bmp", Solid(12, 7, Qt::blue)));
    fade->SetPicTo(Picture(dir, "to.bmp", Solid(20, 10, Qt::yellow)));
    fade->SetAutoReverse(true);
    fade->SetSwapDelay(0);
    fade->SetDisolvRate(28);
    const QImage rest = fade->FrontImage().copy();
    for (bool dissolve : {false, true}) {
        SCOPED_TRACE(dissolve ? "dissolve" : "blend");
        fade->SetSwapOnReverse(dissolve);
        log.clear();
        const auto frames = FadeFrames();
        // 33 frames out; back 33 blend frames, or 28 dissolve frames of 3 pixels and the
        // last step. The return starts on PicTo, scaled to the control.
        EXPECT_EQ(frames.size(), dissolve ? 33u + 29u : 66u);
        EXPECT_EQ(CountColour(frames[33], Qt::yellow), dissolve ? 84 - 3 : 84);
        EXPECT_EQ(log, (std::vector<std::string>{"reset", "begin", "reset", "reset", "reset",
                                                 "reset", "end"}));
        EXPECT_FALSE(fade->Swapped());
        EXPECT_FALSE(fade->StretchToFit());
        EXPECT_EQ(fade->ColorFrom(), clMaroon);
        EXPECT_EQ(fade->ColorTo(), clLime);
        EXPECT_EQ(fade->PicFrom().Width(), 12);
        EXPECT_EQ(fade->PicTo().Width(), 20);
        EXPECT_EQ(fade->size(), QSize(12, 7));
        EXPECT_TRUE(SameBytes(fade->FrontImage(), rest));
        EXPECT_TRUE(fade->DissolveOrder().empty());
    }
}

TEST_F(VeskFadeTest, DissolveCopiesEveryPixelOnceInASeededOrder) {
    fade->SetBounds(0, 0, 33, 17);
    fade->SetColorFrom(clRed);
    fade->SetColorTo(clLime);
    fade->SetAutoReverse(true);
    fade->SetSwapDelay(0);
    const auto frames = FadeFrames();
    // 561 pixels at rate 125: 4 a frame, 140 frames, one pixel left for the last step.
    ASSERT_EQ(frames.size(), 33u + 141u);
    for (int f = 0; f < 141; ++f)
        ASSERT_EQ(CountColour(frames[33 + f], Qt::red), std::min(4 * (f + 1), 561)) << f;
    EXPECT_EQ(clock.sleeps.size(), 1u + 33u + 140u);
    EXPECT_EQ(clock.wallReads, 1);

    fade->BuildDissolveOrder();
    const auto first = fade->DissolveOrder();
    EXPECT_EQ(fade->PixelCount(), 561);
    std::set<std::pair<int, int>> seen(first.begin(), first.end());
    EXPECT_EQ(seen.size(), 561u);
    EXPECT_EQ(*seen.begin(), std::make_pair(0, 0));
    EXPECT_EQ(*seen.rbegin(), std::make_pair(16, 32));
    fade->BuildDissolveOrder();
    EXPECT_EQ(fade->DissolveOrder(), first);
    clock.msOfDay += 1;
    fade->BuildDissolveOrder();
    EXPECT_NE(fade->DissolveOrder(), first);
}

TEST_F(VeskFadeTest, DissolveRateOutsideThePixelCountStillMovesEveryPixel) {
    fade->SetAutoReverse(true);
    fade->SetSwapDelay(0);
    fade->SetColorFrom(clRed);
    fade->SetColorTo(clLime);
    // Rate set on an empty control reads 0; rate set on a large one exceeds a smaller one.
    struct Case {
        int setAtW, setAtH, runW, runH;
        size_t frames;
    };
    for (const Case& c : {Case{0, 5, 5, 4, 1}, Case{10, 10, 3, 3, 9}}) {
        fade->SetBounds(0, 0, c.setAtW, c.setAtH);
        fade->SetDisolvRate(1000);
        fade->SetBounds(0, 0, c.runW, c.runH);
        const auto frames = FadeFrames();
        ASSERT_EQ(frames.size(), 33u + c.frames + 1u);
        EXPECT_TRUE(AllColour(frames.back(), Qt::red));
        EXPECT_EQ(CountColour(frames[33], Qt::red), c.frames == 1 ? 20 : 1);
    }
}

TEST_F(VeskFadeTest, ControlWithoutPixelsFadesToNothingQuietly) {
    fade->SetBounds(0, 0, 0, 12);
    fade->SetAutoReverse(true);
    log.clear();
    EXPECT_NO_THROW(FadeFrames());
    EXPECT_TRUE(recorder->frames.empty());
    EXPECT_TRUE(clock.sleeps.empty());
    EXPECT_EQ(log, (std::vector<std::string>{"reset", "begin", "end"}));
}

TEST_F(VeskFadeTest, AnErrorInADissolveReleasesTheOrderAndTheNextResetRestores) {
    fade->SetBounds(0, 0, 6, 6);
    fade->SetPicFrom(Picture(dir, "a.bmp", Solid(3, 3, Qt::blue)));
    fade->SetAutoReverse(true);
    fade->SetSwapDelay(0);
    int sleeps = 0;
    clock.onSleep = [&] {
        if (++sleeps == 40)
            throw EVeskFade("stop");
    };
    EXPECT_THROW(fade->Fade(), EVeskFade);
    EXPECT_TRUE(fade->DissolveOrder().empty());
    EXPECT_TRUE(fade->Swapped());
    EXPECT_TRUE(fade->PicFrom().Empty()); // still exchanged
    clock.onSleep = nullptr;
    fade->Reset();
    EXPECT_FALSE(fade->Swapped());
    EXPECT_EQ(fade->PicFrom().Width(), 3);
    EXPECT_TRUE(AllColour(fade->FrontImage(), Qt::blue));
    // A return started from there works on the right pictures.
    fade->BlendBack();
    EXPECT_EQ(fade->PicFrom().Width(), 3);
    EXPECT_TRUE(AllColour(fade->FrontImage(), Qt::blue));
}

TEST_F(VeskFadeTest, NaturalSizeResetTakesItsSizeFromThePictures) {
    fade->SetColorFrom(clRed);
    fade->SetColorTo(clLime);
    fade->SetStretchToFit(false);
    fade->SetBounds(0, 0, 30, 20);

    // Both empty: the control keeps its size.
    EXPECT_EQ(fade->size(), QSize(30, 20));
    EXPECT_TRUE(AllColour(fade->FrontImage(), Qt::red));
    EXPECT_TRUE(AllColour(fade->TargetImage(), Qt::green));

    // Only PicTo: its size, plain ColorFrom at rest; the size change resets more than once.
    log.clear();
    fade->SetPicTo(Picture(dir, "to.bmp", Solid(9, 4, Qt::blue)));
    EXPECT_EQ(fade->size(), QSize(9, 4));
    EXPECT_GT(log.size(), 1u);
    EXPECT_TRUE(AllColour(fade->FrontImage(), Qt::red));
    EXPECT_TRUE(AllColour(fade->TargetImage(), Qt::blue));

    // Both: the size of PicFrom, PicTo scaled to it, and resizing snaps back.
    fade->SetPicFrom(Picture(dir, "from.bmp", Solid(6, 8, Qt::yellow)));
    EXPECT_EQ(fade->size(), QSize(6, 8));
    EXPECT_TRUE(AllColour(fade->FrontImage(), Qt::yellow));
    EXPECT_TRUE(AllColour(fade->TargetImage(), Qt::blue));
    fade->SetWidth(50);
    EXPECT_EQ(fade->size(), QSize(6, 8));
    EXPECT_EQ(fade->StartImage().size(), QSize(6, 8));

    // An icon PicTo is laid on ColorTo before it is scaled.
    QImage icon = Solid(16, 16, Qt::transparent, QImage::Format_ARGB32);
    QPainter(&icon).fillRect(0, 0, 8, 16, Qt::blue);
    fade->SetPicTo(Picture(dir, "to.ico", icon));
    EXPECT_EQ(fade->TargetImage().pixelColor(1, 4), QColor(Qt::blue));
    EXPECT_EQ(fade->TargetImage().pixelColor(4, 4), QColor(Qt::green));

    // Only PicFrom: its size, plain ColorTo as the target.
    fade->PicTo().Clear();
    fade->PicFrom().LoadFromFile(dir.filePath("to.bmp"));
    EXPECT_EQ(fade->size(), QSize(9, 4));
    EXPECT_TRUE(AllColour(fade->FrontImage(), Qt::blue));
    EXPECT_TRUE(AllColour(fade->TargetImage(), Qt::green));
}

TEST_F(VeskFadeTest, StretchResetFillsMetafilesAndScalesEverythingToTheControl) {
    fade->SetColorFrom(clLime);
    fade->SetBounds(0, 0, 20, 10);
    QImage quarters = Solid(2, 2, Qt::blue);
    quarters.setPixelColor(1, 1, Qt::yellow);
    fade->SetPicTo(Picture(dir, "q.bmp", quarters));
    EXPECT_EQ(fade->TargetImage().pixelColor(2, 2), QColor(Qt::blue));
    EXPECT_EQ(fade->TargetImage().pixelColor(17, 8), QColor(Qt::yellow));

    const QString wmf = dir.filePath("m.wmf");
    QFile file(wmf);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(testpictures::MakeWmf());
    file.close();
    fade->PicFrom().LoadFromFile(wmf);
    EXPECT_EQ(fade->size(), QSize(20, 10));
    EXPECT_EQ(fade->FrontImage().pixelColor(1, 1), QColor(Qt::green)); // filled first
    EXPECT_EQ(fade->FrontImage().pixelColor(10, 5), QColor(Qt::red));
}

TEST_F(VeskFadeTest, MovingOrChangingAPictureReturnsTheControlToRest) {
    fade->SetBounds(0, 0, 8, 8);
    FadeFrames();
    ASSERT_TRUE(AllColour(fade->FrontImage(), Qt::white));
    log.clear();
    fade->SetLeft(20);
    EXPECT_EQ(log, std::vector<std::string>{"reset"});
    EXPECT_TRUE(AllColour(fade->FrontImage(), Qt::black));

    FadeFrames();
    Solid(2, 2, Qt::blue).save(dir.filePath("p.bmp"));
    fade->PicFrom().LoadFromFile(dir.filePath("p.bmp"));
    EXPECT_TRUE(AllColour(fade->FrontImage(), Qt::blue));

    // Hidden, the control reacts all the same.
    fade->hide();
    log.clear();
    fade->SetTop(30);
    EXPECT_EQ(log, std::vector<std::string>{"reset"});
    fade->show();
    EXPECT_EQ(log, std::vector<std::string>{"reset"});
}

class MouseTest : public VeskFadeTest {
protected:
    void SetUp() override {
        VeskFadeTest::SetUp();
        fade->SetBounds(10, 10, 40, 30);
        fade->OnMouseDown = [this](TVeskFade*, Qt::MouseButton b, Qt::KeyboardModifiers, int x,
                                   int y) {
            events.push_back("down " + std::to_string(static_cast<int>(b)) + " " +
                             std::to_string(x) + "," + std::to_string(y));
        };
        fade->OnMouseUp = [this](TVeskFade*, Qt::MouseButton b, Qt::KeyboardModifiers, int, int) {
            events.push_back("up " + std::to_string(static_cast<int>(b)));
        };
        fade->OnClick = [this](TVeskFade*) { events.push_back("click"); };
        fade->OnMouseEnter = [this](TVeskFade*) { events.push_back("enter"); };
        fade->OnMouseLeave = [this](TVeskFade*) { events.push_back("leave"); };
    }
    void Send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, at, fade->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(fade, &event);
    }
    void Press(QPoint at, Qt::MouseButton b = Qt::LeftButton) {
        Send(QEvent::MouseButtonPress, at, b, b);
    }
    void Release(QPoint at, Qt::MouseButton b = Qt::LeftButton) {
        Send(QEvent::MouseButtonRelease, at, b, Qt::NoButton);
    }
    void Move(QPoint at, Qt::MouseButtons held) { Send(QEvent::MouseMove, at, Qt::NoButton, held); }
    std::vector<std::string> events;
};

TEST_F(MouseTest, ALeftClickRunsTheClickBeforeTheRelease) {
    Press({5, 6});
    Release({7, 8});
    EXPECT_EQ(events, (std::vector<std::string>{"down 1 5,6", "click", "up 1"}));

    events.clear();
    Press({5, 6}, Qt::RightButton);
    Release({5, 6}, Qt::RightButton);
    Press({5, 6});
    Release({50, 6}); // released outside
    EXPECT_EQ(events, (std::vector<std::string>{"down 2 5,6", "up 2", "down 1 5,6", "up 1"}));
}

TEST_F(MouseTest, LeavingWhileHeldIsReportedOnceAndComingBackIsNot) {
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(fade->mapToGlobal(QPoint(1, 1))));
    QApplication::sendEvent(fade, &enter);
    Press({5, 5});
    Move({20, 20}, Qt::LeftButton);
    Move({-3, 20}, Qt::LeftButton);
    Move({-9, 20}, Qt::LeftButton);
    QApplication::sendEvent(fade, &enter); // should Qt report the way back, it stays unheard
    Move({5, 5}, Qt::LeftButton);
    Move({45, 5}, Qt::LeftButton);
    Release({45, 5});
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(fade, &leave);
    EXPECT_EQ(events, (std::vector<std::string>{"enter", "down 1 5,5", "leave", "leave", "up 1"}));

    // Without a press, Qt's own enter and leave are passed on one for one.
    events.clear();
    QApplication::sendEvent(fade, &enter);
    QApplication::sendEvent(fade, &leave);
    QApplication::sendEvent(fade, &leave);
    EXPECT_EQ(events, (std::vector<std::string>{"enter", "leave"}));
}

} // namespace
