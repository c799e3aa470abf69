// SPDX-License-Identifier: MIT
#pragma once
// Time as the fade control's transitions see it. Frame pacing runs on the monotonic clock, so
// that setting the wall clock can neither stall nor skip a transition; only the dissolve's seed
// comes from the time of day. Tests replace it to check pacing without sleeping.

#include <cstdint>

class TFadeClock {
public:
    virtual ~TFadeClock() = default;
    // Milliseconds on a clock that never goes back (its zero is arbitrary).
    [[nodiscard]] virtual double NowMs() = 0;
    // Sleeps; 0 only yields the processor.
    virtual void SleepMs(int ms) = 0;
    // Handles every pending event of the thread.
    virtual void ProcessEvents() = 0;
    // The millisecond of the current UTC day, 0 to 86,399,999.
    [[nodiscard]] virtual uint32_t MsOfUtcDay() = 0;
};

// The real clock: steady_clock, the thread's sleep, the application's event queue.
[[nodiscard]] TFadeClock& SystemFadeClock();
