// A helper program run with posix_spawn: pipes in, its error output collected by a thread.
#include "app/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace {

constexpr size_t kErrorOutputKept = 64 * 1024;

// The running children, for a signal handler to end with the process.
constexpr int kChildSlots = 8;
std::atomic<int> g_children[kChildSlots];

void RememberChild(int pid)
{
    for (std::atomic<int>& slot : g_children) {
        int empty = 0;
        if (slot.compare_exchange_strong(empty, pid))
            return;
    }
}

void ForgetChild(int pid)
{
    for (std::atomic<int>& slot : g_children) {
        int known = pid;
        if (slot.compare_exchange_strong(known, 0))
            return;
    }
}

// A pipe whose ends sit above descriptor 3, so that moving one end onto 0 or 3 in the
// child never lands on itself (which would keep its close-on-exec flag).
bool MakePipe(UniqueFd& readEnd, UniqueFd& writeEnd)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    UniqueFd low[2] = {UniqueFd(fds[0]), UniqueFd(fds[1])};
    readEnd.Reset(fcntl(fds[0], F_DUPFD_CLOEXEC, 10));
    writeEnd.Reset(fcntl(fds[1], F_DUPFD_CLOEXEC, 10));
    return readEnd.IsOpen() && writeEnd.IsOpen();
}

// posix_spawn's helper objects, released on every path.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
};

}  // namespace

BrokenPipeIgnored::BrokenPipeIgnored()
{
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &previous_);
}

BrokenPipeIgnored::~BrokenPipeIgnored()
{
    sigaction(SIGPIPE, &previous_, nullptr);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept
{
    if (this != &other)
        Reset(other.Release());
    return *this;
}

int UniqueFd::Release()
{
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::Reset(int fd)
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = fd;
}

bool WriteAll(int fd, const void* data, size_t length, int stallMs)
{
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t written = write(fd, bytes, length);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                return false;
            // Full: wait for the reader to take some, but not for ever when it hangs.
            pollfd ready{fd, POLLOUT, 0};
            const int polled = poll(&ready, 1, stallMs);
            if (polled == 0) {
                errno = ETIMEDOUT;
                return false;
            }
            if (polled < 0 && errno != EINTR)
                return false;
            continue;
        }
        bytes += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

ChildProcess::~ChildProcess()
{
    Kill();
}

bool ChildProcess::Start(const std::vector<std::string>& args, bool extraInput, std::string& error)
{
    if (args.empty() || IsRunning()) {
        error = "nothing to run";
        return false;
    }
    UniqueFd inputRead, inputWrite, extraRead, extraWrite, errorRead, errorWrite;
    if (!MakePipe(inputRead, inputWrite) || !MakePipe(errorRead, errorWrite) ||
        (extraInput && !MakePipe(extraRead, extraWrite))) {
        error = std::strerror(errno);
        return false;
    }

    SpawnSetup setup;
    posix_spawn_file_actions_adddup2(&setup.actions, inputRead.Get(), 0);
    posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&setup.actions, errorWrite.Get(), 2);
    if (extraInput)
        posix_spawn_file_actions_adddup2(&setup.actions, extraRead.Get(), 3);
    // The player ignores broken pipes while it feeds the child; the child must not inherit that.
    sigset_t defaults, none;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    // Its own process group: Ctrl+C in the terminal reaches the player only, which then ends
    // the child itself, instead of the child failing on its own first.
    posix_spawnattr_setpgroup(&setup.attributes, 0);
    posix_spawnattr_setflags(&setup.attributes,
                             POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int result = posix_spawnp(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(),
                                    environ);
    if (result != 0) {
        error = std::strerror(result);
        errno = result;
        return false;
    }
    pid_ = pid;
    RememberChild(pid);
    input_ = std::move(inputWrite);
    extraInput_ = std::move(extraWrite);
    for (const UniqueFd* end : {&input_, &extraInput_})
        if (end->IsOpen())
            fcntl(end->Get(), F_SETFL, fcntl(end->Get(), F_GETFL) | O_NONBLOCK);
    errorWrite.Reset();  // the child holds its own copy: end of file arrives when it ends
    errorReader_ = std::thread(&ChildProcess::CollectErrorOutput, this, std::move(errorRead));
    return true;
}

void ChildProcess::CollectErrorOutput(UniqueFd fd)
{
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(fd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        errorOutput_.append(buffer, static_cast<size_t>(got));
        if (errorOutput_.size() > 2 * kErrorOutputKept)
            errorOutput_.erase(0, errorOutput_.size() - kErrorOutputKept);
    }
}

ChildProcess::Status ChildProcess::Wait(int timeoutMs, const std::function<bool()>& stop)
{
    Status status;
    CloseInput();
    CloseExtraInput();
    if (pid_ > 0) {
        int raw = 0;
        bool reaped = false;
        bool gone = false;  // waitpid failed: nothing more to wait for
        if (timeoutMs >= 0 || stop) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
            for (;;) {
                const pid_t done = waitpid(pid_, &raw, WNOHANG);
                if (done == pid_ || (done < 0 && errno != EINTR)) {
                    reaped = done == pid_;
                    gone = !reaped;
                    break;
                }
                if (stop && stop()) {
                    kill(pid_, SIGKILL);
                    status.stopped = true;
                    break;
                }
                if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline) {
                    kill(pid_, SIGKILL);
                    status.timedOut = true;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        while (!reaped && !gone) {
            if (waitpid(pid_, &raw, 0) == pid_)
                reaped = true;
            else if (errno != EINTR)
                gone = true;
        }
        ForgetChild(pid_);
        pid_ = -1;
        if (reaped) {
            status.exited = WIFEXITED(raw);
            status.code = WIFEXITED(raw) ? WEXITSTATUS(raw) : WTERMSIG(raw);
        } else {
            // ECHILD: the end was reaped elsewhere (SIGCHLD ignored) and its status is lost.
            status.lost = true;
            status.code = -1;
        }
    }
    if (errorReader_.joinable())
        errorReader_.join();
    return status;
}

void ChildProcess::Kill()
{
    if (pid_ > 0)
        kill(pid_, SIGKILL);
    Wait();
}

void ChildProcess::KillAllForExit() noexcept
{
    for (std::atomic<int>& slot : g_children) {
        const int pid = slot.load();
        if (pid > 0)
            kill(-pid, SIGKILL);
    }
}
