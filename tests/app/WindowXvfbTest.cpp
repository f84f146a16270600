// The player in a real X window (on a private Xvfb server): start without dialog, Escape, clean exit.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "support/PlayerProcess.h"
#include "support/TestImages.h"

namespace fs = std::filesystem;

namespace {

std::string FindInPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string paths = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= paths.size()) {
        size_t end = paths.find(':', start);
        if (end == std::string::npos)
            end = paths.size();
        const fs::path candidate = fs::path(paths.substr(start, end - start)) / program;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
        start = end + 1;
    }
    return {};
}

// A private X server for the duration of a test.
class XvfbServer {
public:
    bool Start(const std::string& xvfb)
    {
        for (int attempt = 0; attempt < 10 && pid_ <= 0; ++attempt) {
            display_ = 70 + (getpid() + attempt * 7) % 200;
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(display_);
            if (fs::exists(socket))
                continue;
            const std::string name = ":" + std::to_string(display_);
            pid_ = fork();
            if (pid_ == 0) {
                execl(xvfb.c_str(), xvfb.c_str(), name.c_str(), "-screen", "0", "1024x768x24",
                      "-nolisten", "tcp", static_cast<char*>(nullptr));
                _exit(127);
            }
            for (int i = 0; i < 100 && !fs::exists(socket); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (!fs::exists(socket))
                Stop();
        }
        return pid_ > 0;
    }
    void Stop()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }
    ~XvfbServer() { Stop(); }
    std::string Name() const { return ":" + std::to_string(display_); }

private:
    pid_t pid_ = -1;
    int display_ = 0;
};

// The few X calls needed to press a key, loaded at run time so the tests need no X headers.
struct XKeyboard {
    void* x11 = nullptr;
    void* xtst = nullptr;
    void* (*openDisplay)(const char*) = nullptr;
    int (*closeDisplay)(void*) = nullptr;
    int (*flush)(void*) = nullptr;
    unsigned char (*keysymToKeycode)(void*, unsigned long) = nullptr;
    int (*fakeKey)(void*, unsigned int, int, unsigned long) = nullptr;
    int (*fakeMotion)(void*, int, int, int, unsigned long) = nullptr;
    int (*setInputFocus)(void*, unsigned long, int, unsigned long) = nullptr;

    bool Load()
    {
        x11 = dlopen("libX11.so.6", RTLD_NOW);
        xtst = dlopen("libXtst.so.6", RTLD_NOW);
        if (!x11 || !xtst)
            return false;
        openDisplay = reinterpret_cast<decltype(openDisplay)>(dlsym(x11, "XOpenDisplay"));
        closeDisplay = reinterpret_cast<decltype(closeDisplay)>(dlsym(x11, "XCloseDisplay"));
        flush = reinterpret_cast<decltype(flush)>(dlsym(x11, "XFlush"));
        keysymToKeycode =
            reinterpret_cast<decltype(keysymToKeycode)>(dlsym(x11, "XKeysymToKeycode"));
        fakeKey = reinterpret_cast<decltype(fakeKey)>(dlsym(xtst, "XTestFakeKeyEvent"));
        fakeMotion = reinterpret_cast<decltype(fakeMotion)>(dlsym(xtst, "XTestFakeMotionEvent"));
        setInputFocus = reinterpret_cast<decltype(setInputFocus)>(dlsym(x11, "XSetInputFocus"));
        return openDisplay && closeDisplay && flush && keysymToKeycode && fakeKey && fakeMotion &&
               setInputFocus;
    }
};

struct PressContext {
    XKeyboard* keyboard;
    std::string display;
    std::string stderrPath;
    std::string readyLine;  // the log line after which the key is pressed
    bool focusFollowsPointer = false;  // for windows that do not take the focus themselves
    int presses = 0;
    bool waitedForTheKey = false;  // still running half a second after the ready line, before any key
};

bool Exited(int pid)
{
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid;
}

// Waits for the log line, then presses Escape in the screen's centre (where the window or
// dialog stands) until the player has gone (the first press can race the mapping).
void PressEscapeWhenPlaying(int pid, void* data)
{
    auto& context = *static_cast<PressContext*>(data);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline && !Exited(pid) &&
           ReadTestFile(context.stderrPath).find(context.readyLine) == std::string::npos)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    context.waitedForTheKey = !Exited(pid);
    void* display = context.keyboard->openDisplay(context.display.c_str());
    if (!display)
        return;
    const unsigned int escape = context.keyboard->keysymToKeycode(display, 0xFF1B);
    for (int i = 0; i < 20 && !Exited(pid); ++i) {
        context.keyboard->fakeMotion(display, 0, 512, 384, 0);
        // There is no window manager to focus a new dialog: let the keyboard follow the
        // pointer instead, as a window manager would give the focus to it.
        if (context.focusFollowsPointer)
            context.keyboard->setInputFocus(display, 1 /* PointerRoot */,
                                            1 /* RevertToPointerRoot */, 0 /* CurrentTime */);
        context.keyboard->fakeKey(display, escape, 1, 0);
        context.keyboard->fakeKey(display, escape, 0, 0);
        context.keyboard->flush(display);
        ++context.presses;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    context.keyboard->closeDisplay(display);
}

// Each test gets its own X server and a keyboard to press keys on it.
class WindowOnXvfb : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string xvfb = FindInPath("Xvfb");
        if (xvfb.empty())
            GTEST_SKIP() << "Xvfb is not installed; the window tests need it";
        if (!keyboard_.Load())
            GTEST_SKIP() << "libX11/libXtst not available to press keys";
        ASSERT_TRUE(server_.Start(xvfb)) << "Xvfb did not start";
    }

    // Runs the player in dir on the private server, pressing Escape once readyLine is logged.
    PlayerRun Play(const fs::path& dir, const std::vector<std::string>& args,
                   const std::string& readyLine, bool focusFollowsPointer = false)
    {
        context_ = PressContext{&keyboard_, server_.Name(), (dir / ".stderr.txt").string(),
                                readyLine, focusFollowsPointer};
        return RunProcess(STARFALL_EXE, args, dir.string(),
                          {{"DISPLAY", server_.Name()}, {"WAYLAND_DISPLAY", ""},
                           {"SDL_VIDEODRIVER", "x11"}, {"SDL_AUDIODRIVER", "dummy"}},
                          90.0, &PressEscapeWhenPlaying, &context_);
    }

    XKeyboard keyboard_;
    XvfbServer server_;
    PressContext context_{nullptr, "", "", "", false};
};

}  // namespace

TEST_F(WindowOnXvfb, EscapeInAWindowEndsThePlayerCleanly)
{
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "window";
    fs::remove_all(dir);
    int w = 0, h = 0;
    std::vector<std::vector<int>> rows(6, std::vector<int>(16, 3));
    std::vector<uint8_t> sheet = DrawFontSheet(5, rows, w, h);
    WriteTestFile((dir / "font1.png").string(), EncodePng(w, h, sheet));
    WriteTestFile((dir / "red.png").string(), EncodePng(8, 8, SolidRgb(8, 8, 255, 0, 0)));
    // Plays for a minute unless stopped.
    WriteTestFile((dir / "Script.txt").string(),
                  "TIME -1 {\r\nCREATE GFXLayer {\r\nTexture \"red.png\";\r\nStableTime 100;\r\n"
                  "};\r\n};\r\nTIME 60 {\r\nEND;\r\n};\r\n");

    const auto started = std::chrono::steady_clock::now();
    PlayerRun run = Play(dir, {"--no-dialog", "--windowed", "--no-pak", "--mode", "320x240x32",
                               "LogWindow"},
                         "Loaded [ red.png ]");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_GE(context_.presses, 1);
    EXPECT_LT(seconds, 55.0) << "ended by the script, not by Escape";
    EXPECT_EQ(run.err.find("Starfall Trailer, By Vireo! - "), std::string::npos) << run.err;
}

TEST_F(WindowOnXvfb, EscapeInTheStartDialogQuitsWithoutWindowOrError)
{
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "dialog";
    fs::remove_all(dir);
    WriteTestFile((dir / "Vireointro.png").string(),
                  EncodePng(256, 114, SolidRgb(256, 114, 20, 40, 200)));
    WriteTestFile((dir / "Script.txt").string(), "TIME 60 {\r\nEND;\r\n};\r\n");

    PlayerRun run = Play(dir, {"--no-pak", "LogWindow", "gfl"}, "Finished enumerating devices.");
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_GE(context_.presses, 1);
    // No device was opened and no script read; the dialog's picture went through the file
    // access like every data file.
    EXPECT_EQ(run.err.find("video mode"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("Starfall Trailer, By Vireo! - "), std::string::npos) << run.err;
    EXPECT_EQ(ReadTestFile((dir / "FileList.txt").string()), "Vireointro.png\n");
}

TEST_F(WindowOnXvfb, ErrorDialogWaitsForTheUserThenThePlayerFails)
{
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "error-dialog";
    fs::remove_all(dir);
    int w = 0, h = 0;
    std::vector<std::vector<int>> rows(6, std::vector<int>(16, 3));
    std::vector<uint8_t> sheet = DrawFontSheet(5, rows, w, h);
    WriteTestFile((dir / "font1.png").string(), EncodePng(w, h, sheet));  // but no Script.txt

    PlayerRun run = Play(dir, {"--no-dialog", "--windowed", "--no-pak", "--mode", "320x240x32"},
                         "Starfall Trailer, By Vireo! - Error", true);
    EXPECT_FALSE(run.timedOut);
    EXPECT_NE(run.exitCode, 0);
    // The player stayed with its dialog shown until the key closed it.
    EXPECT_TRUE(context_.waitedForTheKey);
    EXPECT_GE(context_.presses, 1);
    EXPECT_NE(run.err.find("Cannot open file [Script.txt]."), std::string::npos) << run.err;
}

TEST_F(WindowOnXvfb, StartDialogWithoutItsPictureStopsWithTheReadersError)
{
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "dialog-no-picture";
    fs::remove_all(dir);
    WriteTestFile((dir / "Script.txt").string(), "TIME 60 {\r\nEND;\r\n};\r\n");  // no picture

    PlayerRun run = Play(dir, {"--no-pak", "gfl"}, "Starfall Trailer, By Vireo! - Error", true);
    EXPECT_FALSE(run.timedOut);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find("PngLoad : Cannot open File [Vireointro.png]."), std::string::npos)
        << run.err;
    // No window or device was opened, and an error leaves no file list behind.
    EXPECT_EQ(run.err.find("video mode"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir / "FileList.txt"));
}
