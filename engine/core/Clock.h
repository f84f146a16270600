// Demo clock: process-wide time in 32-bit float seconds with a changeable playback rate.
#pragma once
#include <cstdint>

// A source of high-resolution ticks. Returns false when no counter is available.
struct ClockCounter {
    virtual ~ClockCounter() = default;
    virtual bool Frequency(int64_t& ticksPerSecond) = 0;
    virtual int64_t Count() = 0;
};

// Starts the clock on first call (seeds rand(), samples the counter); later calls do nothing.
void ClockStart();
// Seconds since start, scaled by the rate changes so far.
float ClockNow();
// Changes the rate without a jump in the reported time.
void ClockSetRate(float rate);
float ClockGetRate();

// Replaces the counter (tests, fixed-step playback). nullptr restores CLOCK_MONOTONIC.
// Before the clock starts it is simply used by ClockStart; on a running clock the
// reported time continues without a jump from where it was, counted by the new counter.
void ClockSetCounter(ClockCounter* counter);
// Fixes the random seed used by the first ClockStart instead of the calendar time;
// when the clock already runs, the generator is reseeded at once.
void ClockSetSeed(unsigned seed);
// Seeking: while pinned, ClockNow reads exactly `time` (the counter goes on counting
// underneath); ClockUnpin returns to the counter's time as if no pin had been set.
void ClockPin(float time);
void ClockUnpin();
bool ClockIsPinned();
// Restarts the time origin: from now on the clock reads 0 plus what it advances at the
// current rate (a looping run, so its seconds keep their resolution).
void ClockRestartOrigin();
// Forgets that the clock was started and any fixed seed (tests only).
void ClockResetForTesting();
