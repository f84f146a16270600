// Interruption: a lock-free flag a signal handler may set and the main thread polls.
#include "engine/core/Interrupt.h"
#include <csignal>

namespace {
volatile std::sig_atomic_t g_requested = 0;
}

void RequestInterrupt(int signalNumber) noexcept
{
    if (g_requested == 0)
        g_requested = signalNumber;
}

int InterruptRequested() noexcept
{
    return g_requested;
}

void ThrowIfInterrupted()
{
    if (g_requested != 0)
        throw Interrupted(g_requested);
}

void ClearInterruptForTesting() noexcept
{
    g_requested = 0;
}
