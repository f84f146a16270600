// The Wayland probe: SDL's video start-up in a forked child, watched for a fault or a hang.
#include "app/VideoDriverProbe.h"

#include <SDL.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <thread>

namespace {

// A driver that has not started by then is taken for hung.
constexpr auto kProbeTime = std::chrono::seconds(10);

bool EnvironmentNames(const char* name, const char* value)
{
    const char* set = std::getenv(name);
    return set != nullptr && strcasecmp(set, value) == 0;
}

// The child's verdict on the driver: "" when it started, else why not.
std::string ProbeDriver()
{
    const pid_t pid = fork();
    if (pid < 0)
        return std::string("cannot start the probe (") + std::strerror(errno) + ")";
    if (pid == 0) {
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        _exit(SDL_InitSubSystem(SDL_INIT_VIDEO) == 0 ? 0 : 2);
    }
    const auto deadline = std::chrono::steady_clock::now() + kProbeTime;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return "its probe was lost";
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return "it did not start within 10 s";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (WIFSIGNALED(status))
        return std::string("it faulted while starting (") + strsignal(WTERMSIG(status)) + ")";
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "it could not start";
    return {};
}

}  // namespace

bool ChooseWorkingVideoDriver(std::string& note)
{
    note.clear();
    // Without a driver named, SDL comes to Wayland when there is no X11 to use.
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    const char* display = std::getenv("DISPLAY");
    const bool x11 = display != nullptr && *display != '\0';
    const bool unnamed = driver == nullptr || *driver == '\0';
    if (!EnvironmentNames("SDL_VIDEODRIVER", "wayland") && !(unnamed && !x11 && std::getenv("WAYLAND_DISPLAY")))
        return true;
    const std::string failure = ProbeDriver();
    if (failure.empty())
        return true;
    if (x11) {
        setenv("SDL_VIDEODRIVER", "x11", 1);
        note = "SDL's Wayland video driver cannot serve here: " + failure + "; playing through X11 (DISPLAY " +
               display + ") instead";
        return true;
    }
    note = "SDL's Wayland video driver cannot serve here: " + failure +
           "; set DISPLAY to play through X11 (XWayland), or use --headless";
    return false;
}
