// A demo clock the test sets by hand: 1024 ticks per second, so whole and half seconds are exact.
#pragma once
#include <cstdint>
#include "engine/core/Clock.h"

class FakeClock : public ClockCounter {
public:
    FakeClock() {
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
        ticksPerSecond = 1024;
        return true;
    }
    int64_t Count() override { return ticks_; }

    // Sets the demo clock's now (seconds since the clock started).
    void Set(double seconds) { ticks_ = static_cast<int64_t>(seconds * 1024.0 + (seconds >= 0 ? 0.5 : -0.5)); }

private:
    int64_t ticks_ = 0;
};
