// A demo clock the test sets by hand: 1024 ticks per second by default, so whole and half seconds are exact.
#pragma once
#include <cstdint>
#include "engine/core/Clock.h"

class FakeClock : public ClockCounter {
public:
    // Tests that set times such as 1.6 s give 1000000 ticks per second: the clock then
    // reads them to the microsecond instead of the nearest 1/1024 s.
    explicit FakeClock(int64_t ticksPerSecond = 1024) : ticksPerSecond_(ticksPerSecond) {
        ClockResetForTesting();
        ClockSetSeed(1);
        ClockSetCounter(this);
        ClockStart();
    }
    ~FakeClock() override {
        ClockSetCounter(nullptr);
        ClockResetForTesting();
    }
    bool Frequency(int64_t& ticksPerSecond) override {
        ticksPerSecond = ticksPerSecond_;
        return true;
    }
    int64_t Count() override { return ticks_; }

    // Sets the demo clock's now (seconds since the clock started), to the nearest tick.
    void Set(double seconds) {
        const double ticks = seconds * static_cast<double>(ticksPerSecond_);
        ticks_ = static_cast<int64_t>(ticks + (ticks >= 0 ? 0.5 : -0.5));
    }

private:
    int64_t ticksPerSecond_;
    int64_t ticks_ = 0;
};
