// Fixed-step time: a counter for the demo clock that moves only when a frame is done.
#include "app/FixedStepClock.h"

#include <cmath>

FixedStepCounter::FixedStepCounter(double framesPerSecond)
    : ticksPerSecond_(static_cast<int64_t>(std::llround(framesPerSecond * kTicksPerFrame)))
{
    if (ticksPerSecond_ < 1)
        ticksPerSecond_ = 1;
}

bool FixedStepCounter::Frequency(int64_t& ticksPerSecond)
{
    ticksPerSecond = ticksPerSecond_;
    return true;
}

int64_t FixedStepCounter::Count()
{
    return frames_ * kTicksPerFrame;
}
