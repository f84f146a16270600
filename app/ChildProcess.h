// A helper program run without a shell, fed through pipes, with its error output kept.
#pragma once
#include <signal.h>

#include <cstddef>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// A file descriptor that is closed when its owner goes.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    ~UniqueFd() { Reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool IsOpen() const { return fd_ >= 0; }
    int Release();
    void Reset(int fd = -1);

private:
    int fd_ = -1;
};

// While it lives, writing to a pipe whose reader is gone fails with EPIPE instead of
// ending the process with a signal.
class BrokenPipeIgnored {
public:
    BrokenPipeIgnored();
    ~BrokenPipeIgnored();
    BrokenPipeIgnored(const BrokenPipeIgnored&) = delete;
    BrokenPipeIgnored& operator=(const BrokenPipeIgnored&) = delete;

private:
    struct sigaction previous_ = {};
};

// Writes every byte, going on after interruptions; false (errno set) when the reader is
// gone or the write fails, or with ETIMEDOUT when the reader took nothing for stallMs
// milliseconds (negative: waits for ever). The descriptor may be blocking or not.
bool WriteAll(int fd, const void* data, size_t length, int stallMs = -1);

class ChildProcess {
public:
    ChildProcess() = default;
    // A child still running is killed and reaped; its pipes are closed.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts args[0], searched in PATH, with args, in a process group of its own (a stop
    // meant for the player is the player's to pass on). Its standard input is a pipe; with
    // extraInput, descriptor 3 is a second input pipe (our ends do not block: see WriteAll). Standard output is discarded and
    // the error output kept. False with errno's reason on failure (ENOENT: not found).
    bool Start(const std::vector<std::string>& args, bool extraInput, std::string& error);

    int InputFd() const { return input_.Get(); }
    // Hands descriptor 3's pipe to the caller (for a thread of its own to feed).
    UniqueFd TakeExtraInput() { return std::move(extraInput_); }
    // End of data on standard input / on descriptor 3.
    void CloseInput() { input_.Reset(); }
    void CloseExtraInput() { extraInput_.Reset(); }

    struct Status {
        bool exited = false;   // ended by itself; otherwise killed by signal
        int code = 0;          // exit code, or the signal number
        bool timedOut = false; // still running after the time given to Wait: killed
        bool stopped = false;  // the stop condition given to Wait came true first: killed
        bool lost = false;     // its end could not be observed (no exit status): not a success
        bool Succeeded() const { return exited && code == 0 && !timedOut && !stopped && !lost; }
    };
    // Closes both inputs and waits for the end; a child still running after timeoutMs
    // milliseconds (negative: no limit), or when stop (polled, may be empty) says so, is killed.
    Status Wait(int timeoutMs = -1, const std::function<bool()>& stop = {});
    // Everything the program wrote to its error output (the last 64 KiB); after Wait.
    const std::string& GetErrorOutput() const { return errorOutput_; }

    void Kill();
    bool IsRunning() const { return pid_ > 0; }

    // From a signal handler, as the process ends at once: every running child's process
    // group is killed (the children run in groups of their own, away from the terminal's
    // Ctrl+C). Async-signal-safe.
    static void KillAllForExit() noexcept;

private:
    void CollectErrorOutput(UniqueFd fd);

    int pid_ = -1;
    UniqueFd input_;
    UniqueFd extraInput_;
    std::thread errorReader_;
    std::string errorOutput_;
};
