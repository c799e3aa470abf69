// SPDX-License-Identifier: MIT
#include "controls/FadeClock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <chrono>
#include <thread>

namespace {

class TSystemFadeClock final : public TFadeClock {
public:
    double NowMs() override {
        using Clock = std::chrono::steady_clock;
        static_assert(Clock::is_steady, "frame pacing needs a clock that never goes back");
        return std::chrono::duration<double, std::milli>(Clock::now().time_since_epoch()).count();
    }
    void SleepMs(int ms) override {
        if (ms <= 0)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    void ProcessEvents() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }
    uint32_t MsOfUtcDay() override {
        return static_cast<uint32_t>(QDateTime::currentDateTimeUtc().time().msecsSinceStartOfDay());
    }
};

} // namespace

TFadeClock& SystemFadeClock() {
    static TSystemFadeClock clock;
    return clock;
}
