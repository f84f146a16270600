// The player in a real X window (on a private Xvfb server): start without dialog, Escape, clean
// exit, full screen read back from the screen with and without a window manager, input floods.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

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
    bool Start(const std::string& xvfb, const std::string& screen = "1024x768x24")
    {
        for (int attempt = 0; attempt < 10 && pid_ <= 0; ++attempt) {
            display_ = 70 + (getpid() + attempt * 7) % 200;
            const std::string socket = "/tmp/.X11-unix/X" + std::to_string(display_);
            if (fs::exists(socket))
                continue;
            const std::string name = ":" + std::to_string(display_);
            pid_ = fork();
            if (pid_ == 0) {
                // No reset when the last client leaves: a client connecting then would fail.
                execl(xvfb.c_str(), xvfb.c_str(), name.c_str(), "-screen", "0", screen.c_str(),
                      "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
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
    unsigned long (*defaultRootWindow)(void*) = nullptr;
    unsigned long (*internAtom)(void*, const char*, int) = nullptr;
    int (*getWindowProperty)(void*, unsigned long, unsigned long, long, long, int, unsigned long, unsigned long*,
                             int*, unsigned long*, unsigned long*, unsigned char**) = nullptr;
    int (*free)(void*) = nullptr;

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
        defaultRootWindow = reinterpret_cast<decltype(defaultRootWindow)>(dlsym(x11, "XDefaultRootWindow"));
        internAtom = reinterpret_cast<decltype(internAtom)>(dlsym(x11, "XInternAtom"));
        getWindowProperty = reinterpret_cast<decltype(getWindowProperty)>(dlsym(x11, "XGetWindowProperty"));
        free = reinterpret_cast<decltype(free)>(dlsym(x11, "XFree"));
        return openDisplay && closeDisplay && flush && keysymToKeycode && fakeKey && fakeMotion &&
               setInputFocus && defaultRootWindow && internAtom && getWindowProperty && free;
    }

    // Whether a window manager announced itself on the root window.
    bool HasWindowManager(const std::string& name)
    {
        void* display = openDisplay(name.c_str());
        if (!display)
            return false;
        unsigned long type = 0, count = 0, after = 0;
        int format = 0;
        unsigned char* data = nullptr;
        const unsigned long check = internAtom(display, "_NET_SUPPORTING_WM_CHECK", 0);
        getWindowProperty(display, defaultRootWindow(display), check, 0, 1, 0, 0 /* AnyPropertyType */, &type,
                          &format, &count, &after, &data);
        if (data)
            free(data);
        closeDisplay(display);
        return count > 0;
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

// Waits until the player has logged line (true) or ended or the time is up (false).
bool WaitForLogLine(int pid, const std::string& stderrPath, const std::string& line, int seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline && !Exited(pid)) {
        if (ReadTestFile(stderrPath).find(line) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// A production in dir: the read-out font and one picture shown until endSeconds.
void WritePictureProduction(const fs::path& dir, const std::string& picture, const std::string& png,
                            int endSeconds)
{
    fs::remove_all(dir);
    int w = 0, h = 0;
    std::vector<std::vector<int>> rows(6, std::vector<int>(16, 3));
    std::vector<uint8_t> sheet = DrawFontSheet(5, rows, w, h);
    WriteTestFile((dir / "font1.png").string(), EncodePng(w, h, sheet));
    WriteTestFile((dir / picture).string(), png);
    WriteTestFile((dir / "Script.txt").string(),
                  "TIME -1 {\r\nCREATE GFXLayer {\r\nTexture \"" + picture + "\";\r\nStableTime 100;\r\n"
                  "};\r\n};\r\nTIME " + std::to_string(endSeconds) + " {\r\nEND;\r\n};\r\n");
}

// Waits for the log line, then presses Escape in the screen's centre (where the window or
// dialog stands) until the player has gone (the first press can race the mapping).
void PressEscapeWhenPlaying(int pid, void* data)
{
    auto& context = *static_cast<PressContext*>(data);
    WaitForLogLine(pid, context.stderrPath, context.readyLine, 60);
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

    struct SignalledRun {
        PlayerRun run;
        bool sent = false;
        double seconds = 0.0;
    };
    // Runs the player in dir on the private server and sends it signalNumber half a second
    // after readyLine is logged.
    SignalledRun Signal(const fs::path& dir, const std::vector<std::string>& args, const std::string& readyLine,
                        int signalNumber)
    {
        struct Plan {
            std::string stderrPath;
            std::string readyLine;
            int signalNumber;
            bool sent = false;
        } plan{(dir / ".stderr.txt").string(), readyLine, signalNumber};
        const auto started = std::chrono::steady_clock::now();
        SignalledRun result;
        result.run = RunProcess(
            STARFALL_EXE, args, dir.string(),
            {{"DISPLAY", server_.Name()}, {"WAYLAND_DISPLAY", ""}, {"SDL_VIDEODRIVER", "x11"},
             {"SDL_AUDIODRIVER", "dummy"}},
            90.0,
            [](int pid, void* data) {
                auto& p = *static_cast<Plan*>(data);
                WaitForLogLine(pid, p.stderrPath, p.readyLine, 60);
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                p.sent = kill(pid, p.signalNumber) == 0;
            },
            &plan);
        result.sent = plan.sent;
        result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        return result;
    }

    XKeyboard keyboard_;
    XvfbServer server_;
    PressContext context_{nullptr, "", "", "", false};
};

}  // namespace

TEST_F(WindowOnXvfb, EscapeInAWindowEndsThePlayerCleanly)
{
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "window";
    // Plays for a minute unless stopped.
    WritePictureProduction(dir, "red.png", EncodePng(8, 8, SolidRgb(8, 8, 255, 0, 0)), 60);

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

TEST_F(WindowOnXvfb, StopSignalsInFullScreenEndThePlayerPromptlyWithTheirStatus)
{
    for (int signalNumber : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signalNumber);
        const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / ("signal-" + std::to_string(signalNumber));
        WritePictureProduction(dir, "red.png", EncodePng(8, 8, SolidRgb(8, 8, 255, 0, 0)), 60);
        const SignalledRun run = Signal(dir, {"--no-dialog", "--no-pak", "--mode", "320x240x32", "LogWindow"},
                                        "Loaded [ red.png ]", signalNumber);
        EXPECT_TRUE(run.sent);
        EXPECT_FALSE(run.run.timedOut);
        EXPECT_EQ(run.run.exitCode, 128 + signalNumber) << run.run.err;
        EXPECT_LT(run.seconds, 55.0) << "ended by the script, not by the signal";
        EXPECT_EQ(run.run.err.find("Starfall Trailer, By Vireo! - "), std::string::npos) << run.run.err;
    }
}

TEST_F(WindowOnXvfb, StopSignalsInTheStartDialogCloseItAndEndThePlayerWithTheirStatus)
{
    for (int signalNumber : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signalNumber);
        const fs::path dir =
            fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / ("dialog-signal-" + std::to_string(signalNumber));
        WritePictureProduction(dir, "red.png", EncodePng(8, 8, SolidRgb(8, 8, 255, 0, 0)), 60);
        WriteTestFile((dir / "Vireointro.png").string(), EncodePng(256, 114, SolidRgb(256, 114, 20, 40, 200)));
        const SignalledRun run = Signal(dir, {"--no-pak", "LogWindow"}, "Finished enumerating devices.", signalNumber);
        EXPECT_TRUE(run.sent);
        EXPECT_FALSE(run.run.timedOut);
        EXPECT_EQ(run.run.exitCode, 128 + signalNumber) << run.run.err;
        EXPECT_LT(run.seconds, 30.0) << "the dialog stayed open after the signal";
        // Nothing was started: no script read, no error report.
        EXPECT_EQ(run.run.err.find("Loaded [ red.png ]"), std::string::npos) << run.run.err;
        EXPECT_EQ(run.run.err.find("Starfall Trailer, By Vireo! - "), std::string::npos) << run.run.err;
    }
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

TEST_F(WindowOnXvfb, AStopSignalClosesTheErrorDialogAndTheStatusStaysTheErrors)
{
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "error-dialog-signal";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const SignalledRun run = Signal(dir, {"--no-dialog", "--windowed", "--pak", "/nonexistent.pak"},
                                    "Starfall Trailer, By Vireo! - ", SIGTERM);
    EXPECT_TRUE(run.sent);
    EXPECT_FALSE(run.run.timedOut) << "the dialog stayed open after the signal";
    EXPECT_LT(run.seconds, 30.0);
    EXPECT_EQ(run.run.exitCode, 1) << run.run.err;
    // The archive that could not be opened is named, on stderr as in the dialog.
    EXPECT_NE(run.run.err.find("Cannot open the archive [/nonexistent.pak]."), std::string::npos) << run.run.err;
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

namespace {

// The root window's pixels, read with xwd (dump format: a header of big-endian 32-bit
// fields, the window name, the colour map, then the rows).
struct ScreenImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    uint32_t At(int x, int y) const
    {
        const size_t i = (static_cast<size_t>(y) * width + x) * 3;
        return (uint32_t{rgb[i]} << 16) | (uint32_t{rgb[i + 1]} << 8) | rgb[i + 2];
    }
};

uint32_t Big32At(const std::string& data, size_t offset)
{
    return (uint32_t{static_cast<uint8_t>(data[offset])} << 24) | (uint32_t{static_cast<uint8_t>(data[offset + 1])} << 16) |
           (uint32_t{static_cast<uint8_t>(data[offset + 2])} << 8) | static_cast<uint8_t>(data[offset + 3]);
}

// False with the reason in problem when the screen could not be read.
bool CaptureScreen(const std::string& xwd, const std::string& display, ScreenImage& image, std::string& problem)
{
    const std::string command = xwd + " -root -silent -display " + display;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return false;
    std::string dump;
    char chunk[65536];
    size_t got = 0;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        dump.append(chunk, got);
    const int status = pclose(pipe);
    if (status != 0 || dump.size() < 100) {
        problem = "xwd ended with status " + std::to_string(status) + " after " + std::to_string(dump.size()) + " bytes";
        return false;
    }
    auto field = [&](int i) { return Big32At(dump, 4 * static_cast<size_t>(i)); };
    const uint32_t headerSize = field(0), width = field(4), height = field(5), byteOrder = field(7),
                   bitsPerPixel = field(11), bytesPerLine = field(12), masks[3] = {field(14), field(15), field(16)},
                   colours = field(19);
    const size_t start = headerSize + static_cast<size_t>(colours) * 12;
    // xwd writes 4 bytes per pixel, or 3 when windows of other depths share the screen.
    const uint32_t bytesPerPixel = bitsPerPixel / 8;
    if (field(1) != 7 || field(2) != 2 /* ZPixmap */ || (bitsPerPixel != 32 && bitsPerPixel != 24) ||
        width == 0 || height == 0 || bytesPerLine < width * bytesPerPixel ||
        dump.size() < start + static_cast<size_t>(bytesPerLine) * height) {
        problem = "unexpected dump layout: version " + std::to_string(field(1)) + ", format " +
                  std::to_string(field(2)) + ", " + std::to_string(bitsPerPixel) + " bits, " + std::to_string(width) +
                  " x " + std::to_string(height) + ", " + std::to_string(dump.size()) + " bytes";
        return false;
    }
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.rgb.assign(static_cast<size_t>(width) * height * 3, 0);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const size_t at = start + static_cast<size_t>(y) * bytesPerLine + bytesPerPixel * static_cast<size_t>(x);
            uint32_t pixel = 0;
            for (uint32_t b = 0; b < bytesPerPixel; ++b) {
                const uint32_t byte = static_cast<uint8_t>(dump[at + b]);
                pixel |= byteOrder == 0 ? byte << (8 * b) : byte << (8 * (bytesPerPixel - 1 - b));
            }
            for (int c = 0; c < 3; ++c) {
                const uint32_t mask = masks[c];
                const int shift = mask ? __builtin_ctz(mask) : 0;
                image.rgb[(static_cast<size_t>(y) * width + x) * 3 + c] = static_cast<uint8_t>((pixel & mask) >> shift);
            }
        }
    }
    return true;
}

// A program run beside the tests (the window manager) until the end of the scope.
class Companion {
public:
    // Output goes to the log file.
    bool Start(const std::string& program, const std::vector<std::string>& args, const std::string& display,
               const std::string& log)
    {
        pid_ = fork();
        if (pid_ == 0) {
            setenv("DISPLAY", display.c_str(), 1);
            const int output = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (output >= 0) {
                dup2(output, 1);
                dup2(output, 2);
            }
            std::vector<std::string> strings{program};
            strings.insert(strings.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (std::string& s : strings)
                argv.push_back(s.data());
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        return pid_ > 0;
    }
    ~Companion()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }

private:
    pid_t pid_ = -1;
};

// Four quadrants, none black: red, green / blue, white.
const uint32_t kQuadrants[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

std::vector<uint8_t> QuadrantPicture(int size)
{
    std::vector<uint8_t> rgb(static_cast<size_t>(size) * size * 3);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const uint32_t colour = kQuadrants[(y >= size / 2 ? 2 : 0) + (x >= size / 2 ? 1 : 0)];
            uint8_t* p = &rgb[(static_cast<size_t>(y) * size + x) * 3];
            p[0] = static_cast<uint8_t>(colour >> 16);
            p[1] = static_cast<uint8_t>(colour >> 8);
            p[2] = static_cast<uint8_t>(colour);
        }
    }
    return rgb;
}

bool Near(uint32_t actual, uint32_t expected, int tolerance)
{
    for (int shift = 0; shift < 24; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xFF), e = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - e) > tolerance)
            return false;
    }
    return true;
}

// The strongest channel of a 0xRRGGBB colour (0 only for black).
int Strongest(uint32_t colour)
{
    return static_cast<int>(std::max({(colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF}));
}

struct ScreenshotContext {
    XKeyboard* keyboard;
    std::string display;
    std::string stderrPath;
    std::string xwd;
    ScreenImage screen;
    bool captured = false;
    std::string problem;
};

// Once the picture is loaded and a few frames are shown, reads the screen back, then
// presses Escape until the player has gone.
void CaptureThenEscape(int pid, void* data)
{
    auto& context = *static_cast<ScreenshotContext*>(data);
    WaitForLogLine(pid, context.stderrPath, "Loaded [ quadrants.png ]", 20);
    // Slow builds take a while to show their first frames: read the screen until the
    // picture's middle is lit, then once more for a settled frame.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool lit = false;
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(lit ? 1000 : 500));
        if (Exited(pid)) {
            context.problem = "the player ended before the screen was read";
            context.captured = false;
            break;
        }
        const bool wasLit = lit;
        context.captured = CaptureScreen(context.xwd, context.display, context.screen, context.problem);
        lit = context.captured &&
              context.screen.At(context.screen.width / 2, context.screen.height / 2) != 0;
        if (wasLit && lit)
            break;
    } while (std::chrono::steady_clock::now() < deadline);
    void* display = context.keyboard->openDisplay(context.display.c_str());
    if (!display)
        return;
    const unsigned int escape = context.keyboard->keysymToKeycode(display, 0xFF1B);
    for (int i = 0; i < 20 && !Exited(pid); ++i) {
        context.keyboard->fakeKey(display, escape, 1, 0);
        context.keyboard->fakeKey(display, escape, 0, 0);
        context.keyboard->flush(display);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    context.keyboard->closeDisplay(display);
}

}  // namespace

TEST(WindowOnXvfbFullScreen, PictureFillsTheDisplayWithItsAspectKeptWithAndWithoutAWindowManager)
{
    const std::string xvfb = FindInPath("Xvfb");
    const std::string xwd = FindInPath("xwd");
    const std::string openbox = FindInPath("openbox");
    if (xvfb.empty() || xwd.empty() || openbox.empty())
        GTEST_SKIP() << "Xvfb, xwd and openbox are needed (tools/install-deps.sh)";
    XKeyboard keyboard;
    if (!keyboard.Load())
        GTEST_SKIP() << "libX11/libXtst not available";

    struct Case {
        const char* display;  // the X screen
        bool windowManager;
        const char* mode;     // chosen in the dialog
    } cases[] = {
        {"1024x768x24", false, "640x480x32"},  {"1024x768x24", false, "1024x768x32"},
        {"1280x720x24", false, "800x600x16"},  {"1024x768x24", true, "640x480x32"},
        {"1280x720x24", true, "1024x768x32"},  {"1024x768x24", true, "800x600x16"},
    };
    for (const Case& c : cases) {
        const std::string name = std::string(c.windowManager ? "wm-" : "bare-") + c.display + "-" + c.mode;
        SCOPED_TRACE(name);
        XvfbServer server;
        ASSERT_TRUE(server.Start(xvfb, c.display)) << "Xvfb did not start";
        const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "fullscreen" / name;
        WritePictureProduction(dir, "quadrants.png", EncodePng(64, 64, QuadrantPicture(64)), 60);
        // The socket can appear before the server takes connections.
        bool accepting = false;
        for (int i = 0; i < 100 && !accepting; ++i) {
            if (void* connection = keyboard.openDisplay(server.Name().c_str())) {
                keyboard.closeDisplay(connection);
                accepting = true;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        ASSERT_TRUE(accepting) << "Xvfb takes no connections";
        Companion manager;
        if (c.windowManager) {
            ASSERT_TRUE(manager.Start(openbox, {"--sm-disable"}, server.Name(), (dir / "openbox.log").string()));
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (std::chrono::steady_clock::now() < deadline && !keyboard.HasWindowManager(server.Name()))
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ASSERT_TRUE(keyboard.HasWindowManager(server.Name()))
                << "openbox did not start: " << ReadTestFile((dir / "openbox.log").string());
        }

        ScreenshotContext context{&keyboard, server.Name(), (dir / ".stderr.txt").string(), xwd, {}, false, {}};
        PlayerRun run = RunProcess(STARFALL_EXE, {"--no-dialog", "--no-pak", "--mode", c.mode, "LogWindow"},
                                   dir.string(),
                                   {{"DISPLAY", server.Name()}, {"WAYLAND_DISPLAY", ""}, {"SDL_VIDEODRIVER", "x11"},
                                    {"SDL_AUDIODRIVER", "dummy"}},
                                   90.0, &CaptureThenEscape, &context);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        ASSERT_TRUE(context.captured) << context.problem << "\n" << run.err;
        const ScreenImage& screen = context.screen;
        WriteTestFile((dir / "screen.png").string(), EncodePng(screen.width, screen.height, screen.rgb));

        // Where the picture must stand: the largest rectangle of the mode's aspect, centred.
        int modeWidth = 0, modeHeight = 0, modeBits = 0;
        ASSERT_EQ(std::sscanf(c.mode, "%dx%dx%d", &modeWidth, &modeHeight, &modeBits), 3);
        int outWidth = screen.width;
        int outHeight = screen.width * modeHeight / modeWidth;
        if (outHeight > screen.height) {
            outHeight = screen.height;
            outWidth = screen.height * modeWidth / modeHeight;
        }
        const int left = (screen.width - outWidth) / 2, top = (screen.height - outHeight) / 2;
        const int right = left + outWidth, bottom = top + outHeight;
        // Each quadrant near its corner of the picture (away from the filtered seams).
        const int insetX = outWidth / 16, insetY = outHeight / 16;
        EXPECT_TRUE(Near(screen.At(left + insetX, top + insetY), kQuadrants[0], 48)) << std::hex << screen.At(left + insetX, top + insetY);
        EXPECT_TRUE(Near(screen.At(right - 1 - insetX, top + insetY), kQuadrants[1], 48)) << std::hex << screen.At(right - 1 - insetX, top + insetY);
        EXPECT_TRUE(Near(screen.At(left + insetX, bottom - 1 - insetY), kQuadrants[2], 48)) << std::hex << screen.At(left + insetX, bottom - 1 - insetY);
        EXPECT_TRUE(Near(screen.At(right - 1 - insetX, bottom - 1 - insetY), kQuadrants[3], 48)) << std::hex << screen.At(right - 1 - insetX, bottom - 1 - insetY);
        // Nothing cut: the picture reaches each of its edges (no quadrant colour is black),
        // and beyond an edge inside the display there is only the black bar.
        for (int along : {1, 3}) {
            const int x = left + outWidth * along / 4, y = top + outHeight * along / 4;
            EXPECT_GT(Strongest(screen.At(left + 2, y)), 64) << "left edge at y " << y;
            EXPECT_GT(Strongest(screen.At(right - 3, y)), 64) << "right edge at y " << y;
            EXPECT_GT(Strongest(screen.At(x, top + 2)), 64) << "top edge at x " << x;
            EXPECT_GT(Strongest(screen.At(x, bottom - 3)), 64) << "bottom edge at x " << x;
            if (left >= 3) {
                EXPECT_EQ(screen.At(left - 3, y), 0u) << "left bar at y " << y;
                EXPECT_EQ(screen.At(right + 2, y), 0u) << "right bar at y " << y;
            }
            if (top >= 3) {
                EXPECT_EQ(screen.At(x, top - 3), 0u) << "top bar at x " << x;
                EXPECT_EQ(screen.At(x, bottom + 2), 0u) << "bottom bar at x " << x;
            }
        }
    }
}

namespace {

struct FloodContext {
    XKeyboard* keyboard;
    std::string display;
    std::string stderrPath;
    int motions = 0;
    double secondsToQuit = -1.0;  // from Escape to the player's end
};

// Once playing, moves the pointer over the window thousands of times, then presses Escape
// once and measures how long the player takes to end.
void FloodThenEscape(int pid, void* data)
{
    auto& context = *static_cast<FloodContext*>(data);
    WaitForLogLine(pid, context.stderrPath, "Loaded [ red.png ]", 60);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    void* display = context.keyboard->openDisplay(context.display.c_str());
    if (!display)
        return;
    // The window (800 x 600) stands in the middle of the 1024 x 768 screen.
    for (int i = 0; i < context.motions; ++i)
        context.keyboard->fakeMotion(display, 0, 450 + i % 120, 340 + (i / 120) % 80, 0);
    const unsigned int escape = context.keyboard->keysymToKeycode(display, 0xFF1B);
    context.keyboard->fakeKey(display, escape, 1, 0);
    context.keyboard->fakeKey(display, escape, 0, 0);
    context.keyboard->flush(display);
    const auto pressed = std::chrono::steady_clock::now();
    while (!Exited(pid) && std::chrono::steady_clock::now() - pressed < std::chrono::seconds(60))
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    context.secondsToQuit = std::chrono::duration<double>(std::chrono::steady_clock::now() - pressed).count();
    context.keyboard->closeDisplay(display);
}

}  // namespace

TEST_F(WindowOnXvfb, EscapeAfterAFloodOfMouseMotionQuitsAtOnce)
{
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "flood";
    WritePictureProduction(dir, "red.png", EncodePng(8, 8, SolidRgb(8, 8, 255, 0, 0)), 90);
    // A large window makes every frame cost what it does on a real display.
    FloodContext context{&keyboard_, server_.Name(), (dir / ".stderr.txt").string(), 10000, -1.0};
    PlayerRun run = RunProcess(STARFALL_EXE,
                               {"--no-dialog", "--windowed", "--no-pak", "--mode", "800x600x32", "LogWindow"},
                               dir.string(),
                               {{"DISPLAY", server_.Name()}, {"WAYLAND_DISPLAY", ""}, {"SDL_VIDEODRIVER", "x11"},
                                {"SDL_AUDIODRIVER", "dummy"}},
                               120.0, &FloodThenEscape, &context);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    ASSERT_GE(context.secondsToQuit, 0.0) << run.err;
    // One frame and the shut-down; a backlog handled one event per frame took many seconds.
    EXPECT_LT(context.secondsToQuit, 3.0);
}
