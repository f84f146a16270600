// Interruption: a request from outside (a signal) to stop, honoured at the next frame or file opened.
#pragma once
#include <exception>

// Thrown where loading notices a pending request; never caught by the engine.
class Interrupted : public std::exception {
public:
    explicit Interrupted(int signalNumber) : signal_(signalNumber) {}
    const char* what() const noexcept override { return "Interrupted"; }
    int GetSignal() const { return signal_; }

private:
    int signal_;
};

// Records the request; safe to call from a signal handler. The first request wins.
void RequestInterrupt(int signalNumber) noexcept;
// The signal of the pending request, 0 when none.
int InterruptRequested() noexcept;
// Throws Interrupted when a request is pending (the check points of long loading).
void ThrowIfInterrupted();
void ClearInterruptForTesting() noexcept;
