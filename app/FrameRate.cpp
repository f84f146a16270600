// Frame-rate read-out: frames counted and averaged over windows of a little more than a second.
#include "app/FrameRate.h"

void FrameRateCounter::Reset(float nowSeconds)
{
    frames_ = 0;
    value_ = 0.0f;
    lastUpdate_ = nowSeconds;
}

bool FrameRateCounter::Tick(float nowSeconds)
{
    ++frames_;
    const float elapsed = nowSeconds - lastUpdate_;
    if (elapsed <= 1.0f)
        return false;
    value_ = static_cast<float>(frames_) / elapsed;
    frames_ = 0;
    lastUpdate_ = nowSeconds;
    return true;
}
