// The player under a Wayland compositor (weston's headless backend, on a private socket): through
// SDL's Wayland driver, which must never leave the player hanging, and through XWayland.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/PlayerProcess.h"
#include "support/TestImages.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kWeston = "/usr/bin/weston";

// A private weston, with XWayland when asked; stopped when the test ends.
class WestonServer {
public:
    bool Start(const fs::path& runtime, bool xwayland)
    {
        runtime_ = runtime;
        fs::remove_all(runtime_);
        fs::create_directories(runtime_);
        chmod(runtime_.c_str(), 0700);
        socket_ = "starfall-test-" + std::to_string(getpid());
        const std::string log = (runtime_ / "weston.log").string();
        pid_ = fork();
        if (pid_ == 0) {
            setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            const std::string socketArg = "--socket=" + socket_;
            const std::string logArg = "--log=" + log;
            std::vector<const char*> argv = {kWeston, "--backend=headless-backend.so", socketArg.c_str(),
                                             "--idle-time=0", logArg.c_str()};
            if (xwayland)
                argv.push_back("--xwayland");
            argv.push_back(nullptr);
            execv(kWeston, const_cast<char* const*>(argv.data()));
            _exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline) {
            if (fs::exists(runtime_ / socket_) && (!xwayland || !XDisplay().empty()))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    ~WestonServer()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    // The environment of a client: this compositor and, with XWayland, its X display.
    std::map<std::string, std::string> Environment(const std::string& videoDriver, bool withX) const
    {
        return {{"XDG_RUNTIME_DIR", runtime_.string()},
                {"WAYLAND_DISPLAY", socket_},
                {"DISPLAY", withX ? XDisplay() : ""},
                {"SDL_VIDEODRIVER", videoDriver},
                {"SDL_AUDIODRIVER", "dummy"}};
    }

private:
    // ":N" once weston's log says its X server listens, else empty.
    std::string XDisplay() const
    {
        const std::string log = ReadTestFile((runtime_ / "weston.log").string());
        const std::string mark = "xserver listening on display ";
        const size_t at = log.find(mark);
        if (at == std::string::npos)
            return {};
        const size_t end = log.find_first_of(" \n", at + mark.size());
        return log.substr(at + mark.size(), end - at - mark.size());
    }

    fs::path runtime_;
    std::string socket_;
    pid_t pid_ = -1;
};

fs::path MakeProduction(const std::string& name)
{
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "weston" / name;
    fs::remove_all(dir);
    int w = 0, h = 0;
    std::vector<std::vector<int>> rows(6, std::vector<int>(16, 3));
    WriteTestFile((dir / "font1.png").string(), EncodePng(w, h, DrawFontSheet(5, rows, w, h)));
    WriteTestFile((dir / "red.png").string(), EncodePng(8, 8, SolidRgb(8, 8, 255, 0, 0)));
    WriteTestFile((dir / "Script.txt").string(),
                  "TIME -1 {\r\nCREATE GFXLayer {\r\nTexture \"red.png\";\r\nStableTime 100;\r\n};\r\n};\r\n"
                  "TIME 60 {\r\nEND;\r\n};\r\n");
    return dir;
}

const std::vector<std::string> kArgs = {"--no-dialog", "--windowed", "--no-pak", "--mode", "320x240x32",
                                        "--fps", "25", "--frames", "25"};

}  // namespace

// Without an X server to fall back on, a Wayland driver that cannot start is a clear message
// and an exit, not a fault and a dialog nobody can answer; one that starts plays.
TEST(WindowOnWeston, SdlsWaylandDriverPlaysOrEndsWithAClearMessageNeverAHang)
{
    if (access(kWeston, X_OK) != 0)
        GTEST_SKIP() << "weston is not installed";
    WestonServer weston;
    ASSERT_TRUE(weston.Start(fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "weston" / "run-wayland", false));
    // Named, or the only display there is.
    for (const char* driver : {"wayland", ""}) {
        SCOPED_TRACE(driver);
        const fs::path dir = MakeProduction(std::string("wayland-") + driver);
        PlayerRun run = RunProcess(STARFALL_EXE, kArgs, dir.string(), weston.Environment(driver, false), 60.0);
        EXPECT_FALSE(run.timedOut) << run.err;
        if (run.exitCode != 0) {
            EXPECT_EQ(run.exitCode, 1) << run.err;
            EXPECT_NE(run.err.find("starfall: SDL's Wayland video driver cannot serve here: "), std::string::npos)
                << run.err;
            EXPECT_NE(run.err.find("set DISPLAY to play through X11 (XWayland), or use --headless"),
                      std::string::npos);
            EXPECT_EQ(run.err.find("Access Violation"), std::string::npos) << run.err;
        }
    }
}

// Through the compositor's X server: directly, and when SDL's Wayland driver was asked for
// but cannot serve.
TEST(WindowOnWeston, XWaylandPlaysTheProductionAlsoWhenTheWaylandDriverFails)
{
    if (access(kWeston, X_OK) != 0 || access("/usr/bin/Xwayland", X_OK) != 0)
        GTEST_SKIP() << "weston or Xwayland is not installed";
    WestonServer weston;
    ASSERT_TRUE(weston.Start(fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "weston" / "run-xwayland", true));
    for (const char* driver : {"x11", "wayland"}) {
        SCOPED_TRACE(driver);
        const fs::path dir = MakeProduction(std::string("xwayland-") + driver);
        PlayerRun run = RunProcess(STARFALL_EXE, kArgs, dir.string(), weston.Environment(driver, true), 60.0);
        EXPECT_FALSE(run.timedOut) << run.err;
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err.find("Access Violation"), std::string::npos) << run.err;
    }
}
