// Fixed-step time: a counter for the demo clock that moves only when a frame is done.
#pragma once
#include <cstdint>
#include "engine/core/Clock.h"

class FixedStepCounter : public ClockCounter {
public:
    // framesPerSecond > 0: each Advance moves the clock by exactly 1/framesPerSecond s.
    explicit FixedStepCounter(double framesPerSecond);
    bool Frequency(int64_t& ticksPerSecond) override;
    int64_t Count() override;
    void Advance() { ++frames_; }

private:
    // The counter ticks in units of 1/(fps * kTicksPerFrame) s so that fractional rates work.
    static constexpr int64_t kTicksPerFrame = 1000;
    int64_t ticksPerSecond_;
    int64_t frames_ = 0;
};
