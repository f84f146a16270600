// Frame-rate read-out: frames counted and averaged over windows of a little more than a second.
#pragma once
#include <cstdint>

class FrameRateCounter {
public:
    // Counts one frame at the given system time (seconds); recomputes the value when
    // more than one second passed since the last update. Returns true when it did.
    bool Tick(float nowSeconds);
    float GetValue() const { return value_; }
    // Starts the first window at the given time.
    void Reset(float nowSeconds);

private:
    int32_t frames_ = 0;
    float value_ = 0.0f;
    float lastUpdate_ = 0.0f;
};
