// Demo clock: process-wide float seconds from a replaceable high-resolution counter.
#include "engine/core/Clock.h"
#include <cstdlib>
#include <ctime>

// CLOCK_MONOTONIC in nanosecond ticks.
struct MonotonicCounter final : ClockCounter {
    bool Frequency(int64_t& ticksPerSecond) override
    {
        timespec resolution{};
        if (clock_getres(CLOCK_MONOTONIC, &resolution) != 0)
            return false;
        ticksPerSecond = 1000000000;
        return true;
    }
    int64_t Count() override
    {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
    }
};

static MonotonicCounter g_monotonic;
static ClockCounter* g_counter = &g_monotonic;
static bool g_seedFixed = false;
static unsigned g_seed = 0;

static bool g_initialised = false;
static float g_secondsPerTick = 0.0f;
static int64_t g_baseCount = 0;
static float g_offset = 0.0f;
static float g_rate = 1.0f;
static float g_carried = 0.0f;
static bool g_pinned = false;
static float g_pinnedTime = 0.0f;

// Raw elapsed seconds since start, unscaled; 0 without a counter.
static double RawSeconds()
{
    if (g_secondsPerTick == 0.0f)
        return 0.0;
    int64_t ticks = g_counter->Count() - g_baseCount;
    return static_cast<double>(ticks) * static_cast<double>(g_secondsPerTick);
}

// Samples the frequency and base count of the current counter; no counter leaves 0 s/tick.
static void TakeCounter()
{
    int64_t frequency = 0;
    g_secondsPerTick = 0.0f;
    if (g_counter->Frequency(frequency) && frequency != 0) {
        g_secondsPerTick = static_cast<float>(1.0 / static_cast<double>(frequency));
        g_baseCount = g_counter->Count();
    }
}

void ClockStart()
{
    if (g_initialised)
        return;
    std::srand(g_seedFixed ? g_seed : static_cast<unsigned>(std::time(nullptr)));
    TakeCounter();
    // Set even without a counter so that later objects do not retry.
    g_initialised = true;
}

float ClockNow()
{
    if (g_pinned)
        return g_pinnedTime;
    if (g_secondsPerTick == 0.0f)
        return g_carried;
    double raw = RawSeconds();
    return static_cast<float>((raw - static_cast<double>(g_offset)) * static_cast<double>(g_rate) +
                              static_cast<double>(g_carried));
}

void ClockSetRate(float rate)
{
    // The counter's time, not a pin: a rate change must not carry a seek's time over.
    const bool pinned = g_pinned;
    g_pinned = false;
    g_carried = ClockNow();
    g_pinned = pinned;
    g_offset = static_cast<float>(RawSeconds());
    g_rate = rate;
}

float ClockGetRate()
{
    return g_rate;
}

void ClockPin(float time)
{
    g_pinned = true;
    g_pinnedTime = time;
}

void ClockUnpin()
{
    g_pinned = false;
}

bool ClockIsPinned()
{
    return g_pinned;
}

void ClockRestartOrigin()
{
    TakeCounter();
    g_offset = 0.0f;
    g_carried = 0.0f;
}

void ClockSetCounter(ClockCounter* counter)
{
    ClockCounter* next = counter != nullptr ? counter : &g_monotonic;
    if (!g_initialised || next == g_counter) {
        g_counter = next;
        return;
    }
    // A running clock continues from the time it reached, now counted by the new counter.
    const bool pinned = g_pinned;
    g_pinned = false;
    float reached = ClockNow();
    g_pinned = pinned;
    g_counter = next;
    TakeCounter();
    g_offset = 0.0f;
    g_carried = reached;
}

void ClockSetSeed(unsigned seed)
{
    g_seedFixed = true;
    g_seed = seed;
    // Objects built before the application fixed the seed already started the clock.
    if (g_initialised)
        std::srand(seed);
}

void ClockResetForTesting()
{
    g_initialised = false;
    g_secondsPerTick = 0.0f;
    g_baseCount = 0;
    g_offset = 0.0f;
    g_rate = 1.0f;
    g_carried = 0.0f;
    g_pinned = false;
    // A seed one test fixed must not carry into the next.
    g_seedFixed = false;
    g_seed = 0;
}
