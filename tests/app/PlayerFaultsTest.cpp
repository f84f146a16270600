// The real player under faults: a full or read-only capture folder, stop signals, a lost sound device, --speed.
#include <gtest/gtest.h>

#include <png.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/PlayerProcess.h"
#include "support/TestImages.h"
#include "support/TestMedia.h"

namespace fs = std::filesystem;

namespace {

const std::map<std::string, std::string> kHeadlessEnv = {{"SDL_AUDIODRIVER", "dummy"}};

// A production that shows a red picture until END at endSeconds, with extra script lines.
fs::path MakeProduction(const std::string& name, double endSeconds, const std::string& header = "")
{
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "faults" / name;
    if (fs::exists(dir))
        fs::permissions(dir, fs::perms::all, fs::perm_options::add);
    fs::remove_all(dir);
    fs::create_directories(dir);
    WriteTestFile((dir / "font1.png").string(), MakeFontSheetPng());
    WriteTestFile((dir / "red.png").string(), EncodePng(32, 32, SolidRgb(32, 32, 255, 0, 0)));
    WriteTestFile((dir / "Script.txt").string(),
                  header + "TIME -1 {\r\nCREATE GFXLayer {\r\nTexture \"red.png\";\r\nStableTime 1000;\r\n};\r\n};\r\n"
                           "TIME " + std::to_string(endSeconds) + " {\r\nEND;\r\n};\r\n");
    return dir;
}

std::vector<std::string> CaptureArgs(const std::string& folder)
{
    return {"--headless", "--no-pak", "--fps", "25", "--mode", "64x48x32", "--seed", "1", "--capture", folder};
}

// Every frame of the folder is a whole PNG, numbered from 0 without a gap; their count. At
// most partialsAllowed temporary files may remain (a folder made read-only between a frame's
// write and its rename keeps the temporary file: it can no longer be deleted there).
int CheckFramesWhole(const fs::path& folder, int partialsAllowed = 0, unsigned width = 64)
{
    std::vector<std::string> names;
    int partials = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() == ".part")
            ++partials;
        else
            names.push_back(name);
    }
    EXPECT_LE(partials, partialsAllowed) << "temporary files left in " << folder;
    std::sort(names.begin(), names.end());
    for (size_t k = 0; k < names.size(); ++k) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "frame_%06zu.png", k);
        EXPECT_EQ(names[k], expected) << "a partial or stray file in " << folder;
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        const std::string path = (folder / names[k]).string();
        EXPECT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << path;
        image.format = PNG_FORMAT_RGB;
        std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
        EXPECT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) << path << " is cut";
        EXPECT_EQ(image.width, width);
    }
    return static_cast<int>(names.size());
}

bool WaitFor(const std::function<bool()>& condition, double seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// Whether the process has its own handler for the signal (the mask of caught signals in /proc).
bool CatchesSignal(int pid, int signalNumber)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (signalNumber - 1) & 1) != 0;
    return false;
}

struct SignalPlan {
    fs::path waitFor;  // empty: send as soon as the handler is installed
    int signalNumber = SIGINT;
    bool sent = false;
    std::chrono::steady_clock::time_point sentAt;
};

void SendSignalWhenReady(int pid, void* data)
{
    auto& plan = *static_cast<SignalPlan*>(data);
    if (!WaitFor([&] { return CatchesSignal(pid, plan.signalNumber); }, 60))
        return;
    if (!plan.waitFor.empty() && !WaitFor([&] { return fs::exists(plan.waitFor); }, 120))
        return;
    plan.sentAt = std::chrono::steady_clock::now();
    plan.sent = kill(pid, plan.signalNumber) == 0;
}

}  // namespace

TEST(PlayerFaults, StopSignalsDuringCaptureEndWith130Or143AndLeaveOnlyWholeFrames)
{
    for (int signalNumber : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signalNumber);
        const fs::path dir = MakeProduction("signal-" + std::to_string(signalNumber), 1000);
        SignalPlan plan;
        plan.waitFor = dir / "shots" / "frame_000005.png";
        plan.signalNumber = signalNumber;
        PlayerRun run = RunProcess(STARFALL_EXE, CaptureArgs("shots"), dir.string(), kHeadlessEnv, 300,
                                   &SendSignalWhenReady, &plan);
        const double afterSignal =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - plan.sentAt).count();
        ASSERT_TRUE(plan.sent);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 128 + signalNumber) << run.err;
        EXPECT_LT(afterSignal, 10.0) << "not prompt";
        EXPECT_EQ(run.err.find("Starfall Trailer, By Vireo! - "), std::string::npos) << "a stop is not an error: " << run.err;
        EXPECT_GE(CheckFramesWhole(dir / "shots"), 6);
    }
}

TEST(PlayerFaults, AStopSignalDuringLoadingEndsBeforeTheFirstFrame)
{
    // Many pictures to load before playback starts.
    const fs::path dir = MakeProduction("signal-loading", 1000);
    std::string preload = "TIME -1 {\r\n";
    for (int k = 0; k < 60; ++k) {
        const std::string name = "big" + std::to_string(k) + ".png";
        WriteTestFile((dir / name).string(), EncodePng(512, 512, SolidRgb(512, 512, 0, static_cast<uint8_t>(k), 0)));
        preload += "CREATE GFXLayer {\r\nTexture \"" + name + "\";\r\n};\r\n";
    }
    WriteTestFile((dir / "Script.txt").string(), preload + "};\r\nTIME 1000 {\r\nEND;\r\n};\r\n");
    SignalPlan plan;
    plan.signalNumber = SIGTERM;
    PlayerRun run = RunProcess(STARFALL_EXE, CaptureArgs("shots"), dir.string(), kHeadlessEnv, 300,
                               &SendSignalWhenReady, &plan);
    ASSERT_TRUE(plan.sent);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 143) << run.err;
    EXPECT_EQ(run.err.find("Starfall Trailer, By Vireo! - "), std::string::npos) << run.err;
    EXPECT_EQ(CheckFramesWhole(dir / "shots"), 0);
}

TEST(PlayerFaults, ACaptureFolderOnAFullDiskIsAFatalErrorNamingTheFrame)
{
    // The third frame's temporary file leads to /dev/full, as if the disk filled up there.
    const fs::path dir = MakeProduction("full-disk", 1000);
    fs::create_directories(dir / "shots");
    fs::create_symlink("/dev/full", dir / "shots" / "frame_000002.png.part");
    PlayerRun run = RunProcess(STARFALL_EXE, CaptureArgs("shots"), dir.string(), kHeadlessEnv, 300);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("frame_000002.png] : No space left on device"), std::string::npos) << run.err;
    EXPECT_EQ(CheckFramesWhole(dir / "shots"), 2);

    // /dev/full itself as the folder: refused at the start, named.
    PlayerRun device = RunProcess(STARFALL_EXE, CaptureArgs("/dev/full"), dir.string(), kHeadlessEnv, 300);
    EXPECT_EQ(device.exitCode, 1) << device.err;
    EXPECT_NE(device.err.find("[/dev/full]"), std::string::npos) << device.err;
}

TEST(PlayerFaults, ACaptureFolderMadeReadOnlyMidRunIsAFatalErrorNamingTheFrame)
{
    const fs::path dir = MakeProduction("read-only", 1000);
    fs::create_directories(dir / "shots");
    // The superuser writes anywhere: play as an ordinary user then.
    std::string program = STARFALL_EXE;
    std::vector<std::string> args = CaptureArgs("shots");
    if (geteuid() == 0) {
        if (!fs::exists("/usr/bin/setpriv"))
            GTEST_SKIP() << "running as root without setpriv: a read-only folder cannot stop root";
        ASSERT_EQ(chown((dir / "shots").c_str(), 65534, 65534), 0);
        args.insert(args.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups", STARFALL_EXE});
        program = "/usr/bin/setpriv";
    }
    struct Plan {
        fs::path folder;
        bool madeReadOnly = false;
    } plan{dir / "shots"};
    PlayerRun run = RunProcess(
        program, args, dir.string(), kHeadlessEnv, 300,
        [](int, void* data) {
            auto& p = *static_cast<Plan*>(data);
            if (WaitFor([&] { return fs::exists(p.folder / "frame_000003.png"); }, 120))
                p.madeReadOnly = chmod(p.folder.c_str(), 0555) == 0;
        },
        &plan);
    chmod(plan.folder.c_str(), 0755);
    ASSERT_TRUE(plan.madeReadOnly);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    // Refused when the frame's file is created, or (a later instant) when it is renamed.
    EXPECT_NE(run.err.find("Cannot write [shots/frame_"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Permission denied"), std::string::npos) << run.err;
    // Each encoder thread may have created its frame's temporary file before the folder
    // turned read-only; such a file can no longer be removed there.
    const int encoders = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    EXPECT_GE(CheckFramesWhole(dir / "shots", encoders), 4);
}

TEST(PlayerFaults, ASoundDeviceThatDisappearsDoesNotStopThePicture)
{
    // SDL's file-writing output loses its device at the first write to a full disk.
    const fs::path dir = MakeProduction("lost-sound", 1.98, "MUSICSTREAM \"tone.wav\";\r\n");
    WriteTestFile((dir / "tone.wav").string(), MakeSineWav(10.0));
    PlayerRun run = RunProcess(STARFALL_EXE, CaptureArgs("shots"), dir.string(),
                               {{"SDL_AUDIODRIVER", "disk"}, {"SDL_DISKAUDIOFILE", "/dev/full"}}, 300);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // END at 1.98 s fires in frame 50 (2 s at 25 frames per second): frames 0 to 50.
    EXPECT_EQ(CheckFramesWhole(dir / "shots"), 51);
}

TEST(PlayerFaults, SpeedPlaysFasterOnlyWhenTheScriptAllowsTimeStretching)
{
    const fs::path allowed = MakeProduction("speed", 2.3, "TIMESTRETCH \"Yes\";\r\n");
    std::vector<std::string> args = CaptureArgs("shots");
    args.insert(args.end(), {"--speed", "5"});
    PlayerRun fast = RunProcess(STARFALL_EXE, args, allowed.string(), kHeadlessEnv, 300);
    EXPECT_EQ(fast.exitCode, 0) << fast.err;
    // Frame k shows 5 k / 25 s: END at 2.3 s fires in frame 12 (frames 0 to 12), not 58.
    EXPECT_EQ(CheckFramesWhole(allowed / "shots"), 13);

    const fs::path refused = MakeProduction("speed-refused", 2.3);
    PlayerRun run = RunProcess(STARFALL_EXE, args, refused.string(), kHeadlessEnv, 300);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("--speed 5 is refused: the script does not allow time stretching."), std::string::npos)
        << run.err;
}

// A stop signal or an error that arrives inside a frame (here while a layer created at run
// time opens its files) still leaves every frame presented before it written whole.
TEST(PlayerFaults, AStopOrAnErrorInsideAFrameKeepsEveryPresentedFrameOfTheCapture)
{
    const struct {
        const char* what;
        const char* variable;  // of the fault injector
        int exitCode;
    } cases[] = {
        {"stop", "STARFALL_SIGNAL_ON_OPEN", 143},
        {"fault", "STARFALL_FAULT_ON_OPEN", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path dir = MakeProduction(std::string("in-frame-") + c.what, 1000);
        WriteTestFile((dir / "late.png").string(), EncodePng(8, 8, SolidRgb(8, 8, 0, 255, 0)));
        WriteTestFile((dir / "later.png").string(), EncodePng(8, 8, SolidRgb(8, 8, 0, 0, 255)));
        // Fires in frame 25 (1.00 s at 25 frames per second): frames 0 to 24 were presented.
        WriteTestFile((dir / "Script.txt").string(),
                      "TIME -1 {\r\nCREATE GFXLayer {\r\nTexture \"red.png\";\r\nStableTime 1000;\r\n};\r\n};\r\n"
                      "TIME 0.98 {\r\nCREATE GFXLayer {\r\nTexture \"late.png\";\r\n};\r\n"
                      "CREATE GFXLayer {\r\nTexture \"later.png\";\r\n};\r\n};\r\n"
                      "TIME 1000 {\r\nEND;\r\n};\r\n");
        // Frames large enough that the last ones are still being encoded when the stop comes.
        std::vector<std::string> args = CaptureArgs("shots");
        args[5] = "1280x720x32";
        PlayerRun run = RunProcess(STARFALL_EXE, args, dir.string(),
                                   {{"SDL_AUDIODRIVER", "dummy"}, {"LD_PRELOAD", FAULT_INJECTOR_LIB},
                                    {"ASAN_OPTIONS", "detect_leaks=0:allow_user_segv_handler=1:use_sigaltstack=0:"
                                                     "verify_asan_link_order=0"},
                                    {c.variable, "late.png"}},
                                   300);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(CheckFramesWhole(dir / "shots", 0, 1280), 25);
    }
}

// What the command line asks for but the production cannot give is refused with status 2,
// and an archive named on it that cannot be opened is named in the error.
TEST(PlayerFaults, UnplayableRequestsAreRefusedNamingTheCause)
{
    const fs::path dir = MakeProduction("unplayable", 2.0);
    std::vector<std::string> late = CaptureArgs("shots");
    late.insert(late.end(), {"--start", "5"});
    PlayerRun past = RunProcess(STARFALL_EXE, late, dir.string(), kHeadlessEnv, 120);
    EXPECT_EQ(past.exitCode, 2) << past.err;
    EXPECT_NE(past.err.find("the production ends before 5.00 s"), std::string::npos) << past.err;

    PlayerRun missing = RunProcess(STARFALL_EXE, {"--headless", "--pak", "/nonexistent.pak"}, dir.string(),
                                   kHeadlessEnv, 120);
    EXPECT_EQ(missing.exitCode, 1) << missing.err;
    EXPECT_NE(missing.err.find("Cannot open the archive [/nonexistent.pak]."), std::string::npos) << missing.err;
    EXPECT_EQ(missing.err.find("font1.png"), std::string::npos) << missing.err;
}
