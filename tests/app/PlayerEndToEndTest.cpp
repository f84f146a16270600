// The real player binary, headless, on small productions made here.
#include <gtest/gtest.h>

#include <png.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/PlayerProcess.h"
#include "support/TestImages.h"

namespace fs = std::filesystem;

namespace {

const std::map<std::string, std::string> kHeadlessEnv = {{"SDL_AUDIODRIVER", "dummy"}};

std::string FontSheet()
{
    int w = 0, h = 0;
    std::vector<std::vector<int>> rows(6, std::vector<int>(16, 3));
    std::vector<uint8_t> rgb = DrawFontSheet(5, rows, w, h);
    return EncodePng(w, h, rgb);
}

std::string Crlf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// A production folder: font, a loading image, a red picture and the given script.
fs::path MakeProduction(const std::string& name, const std::string& script)
{
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "e2e" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    WriteTestFile((dir / "font1.png").string(), FontSheet());
    WriteTestFile((dir / "loading.png").string(), EncodePng(16, 16, SolidRgb(16, 16, 0, 0, 255)));
    WriteTestFile((dir / "red.png").string(), EncodePng(32, 32, SolidRgb(32, 32, 255, 0, 0)));
    if (!script.empty())
        WriteTestFile((dir / "Script.txt").string(), Crlf(script));
    return dir;
}

PlayerRun Play(const fs::path& dir, std::vector<std::string> args, double timeout = 120.0)
{
    return RunProcess(STARFALL_EXE, args, dir.string(), kHeadlessEnv, timeout);
}

bool PngSize(const fs::path& path, int& width, int& height, std::vector<uint8_t>& rgb)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.string().c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    rgb.assign(PNG_IMAGE_SIZE(image), 0);
    return png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
}

const char* const kShortScript =
    "LOADINGIMG \"loading.png\";\n"
    "TIME -1 {\n"
    "CREATE GFXLayer {\n"
    "Texture \"red.png\";\n"
    "RisingTime 0.1;\n"
    "StableTime 100;\n"
    "};\n"
    "};\n"
    "TIME 0.5 {\n"
    "END;\n"
    "};\n";

}  // namespace

TEST(PlayerEndToEnd, FixedStepCaptureEndsAtEndWithEveryFrameWritten)
{
    const fs::path dir = MakeProduction("capture", kShortScript);
    PlayerRun run = Play(dir, {"--headless", "--no-pak", "--fps", "10", "--frames", "100",
                               "--capture", "shots", "--mode", "160x120x32", "--seed", "7"});
    ASSERT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // Frame k shows time k / 10 s; END at 0.5 fires in the first frame past it (k = 6),
    // and that frame is still presented: frames 0 to 6.
    int count = 0;
    for (const auto& entry : fs::directory_iterator(dir / "shots")) {
        (void)entry;
        ++count;
    }
    EXPECT_EQ(count, 7);
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(PngSize(dir / "shots" / "frame_000003.png", w, h, rgb));
    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 120);
    // The red picture is on screen once faded in.
    const size_t centre = (static_cast<size_t>(h / 2) * w + w / 2) * 3;
    EXPECT_GT(rgb[centre], 128) << "centre " << int(rgb[centre]) << "," << int(rgb[centre + 1])
                                << "," << int(rgb[centre + 2]);
    EXPECT_LT(rgb[centre + 2], 64);
    // The frame in which END ran draws no layer but is still presented.
    ASSERT_TRUE(PngSize(dir / "shots" / "frame_000006.png", w, h, rgb));
    EXPECT_LT(rgb[centre], 32);

    // The same run again gives the same pictures: time does not follow the wall clock.
    PlayerRun again = Play(dir, {"--headless", "--no-pak", "--fps", "10", "--capture", "shots2",
                                 "--mode", "160x120x32", "--seed", "7"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    for (int k = 0; k < 7; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%06d.png", k);
        EXPECT_EQ(ReadTestFile((dir / "shots" / name).string()),
                  ReadTestFile((dir / "shots2" / name).string()))
            << name;
    }
    EXPECT_FALSE(fs::exists(dir / "shots2" / "frame_000007.png"));
}

TEST(PlayerEndToEnd, FrameLimitQuitsNormallyAndLogWindowPrintsTheStartUp)
{
    const fs::path dir = MakeProduction("frames", "TIME 100 {\nEND;\n};\n");
    PlayerRun run = Play(dir, {"--headless", "--no-pak", "--frames", "3", "--mode", "160x120x32",
                               "xLogWindowx"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string& log = run.err;
    const size_t banner = log.find("Build date : ");
    const size_t detect = log.find("Detecting 3D modules...");
    const size_t search = log.find("Search path : [");
    const size_t pak = log.find("Loaded PakFile [Starfall.pak] (0 packed files).");
    const size_t wait = log.find("Please wait during devices enumeration...");
    const size_t found = log.find("Found Module [Internal module]");
    const size_t finished = log.find("Finished enumerating devices.");
    for (size_t at : {banner, detect, search, pak, wait, found, finished})
        ASSERT_NE(at, std::string::npos) << log;
    EXPECT_LT(banner, detect);
    EXPECT_LT(detect, search);
    EXPECT_LT(search, pak);
    EXPECT_LT(pak, wait);
    EXPECT_LT(wait, found);
    EXPECT_LT(found, finished);
    EXPECT_NE(log.find(std::string(66, '-')), std::string::npos);

    // Without the switch (lower case does not count) nothing is logged.
    PlayerRun quiet = Play(dir, {"--headless", "--no-pak", "--frames", "2", "--mode",
                                 "160x120x32", "logwindow"});
    EXPECT_EQ(quiet.exitCode, 0) << quiet.err;
    EXPECT_EQ(quiet.err.find("Detecting 3D modules"), std::string::npos) << quiet.err;
}

TEST(PlayerEndToEnd, FatalErrorsReachStderrWithTheirDialogTextAndANonZeroStatus)
{
    // No script: the library error of the parser, and no file list after an error.
    const fs::path missing = MakeProduction("missing", "");
    PlayerRun run = Play(missing, {"--headless", "--no-pak", "--frames", "3", "gfl"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_FALSE(run.timedOut);
    EXPECT_NE(run.err.find("Starfall Trailer, By Vireo! - Error\nCannot open file [Script.txt]."),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(missing / "FileList.txt"));

    // No sound output: the application error, raised after the window exists and before the
    // device is opened on it.
    const fs::path mute = MakeProduction("mute", "TIME 1 {\nEND;\n};\n");
    PlayerRun silent = RunProcess(STARFALL_EXE, {"--headless", "--no-pak", "LogWindow"},
                                  mute.string(), {{"SDL_AUDIODRIVER", "no-such-driver"}}, 120.0);
    EXPECT_NE(silent.exitCode, 0);
    EXPECT_NE(silent.err.find("Starfall Trailer, By Vireo! - Exception\nMessage\n"
                              "Can't initialize digital sound system\n"),
              std::string::npos)
        << silent.err;
    EXPECT_NE(silent.err.find("Finished enumerating devices."), std::string::npos) << silent.err;
    EXPECT_EQ(silent.err.find("video mode"), std::string::npos) << silent.err;

    // An unknown layer type lists the known ones.
    const fs::path unknown =
        MakeProduction("unknown", "TIME -1 {\nCREATE NoSuchLayer {\n};\n};\nTIME 1 {\nEND;\n};\n");
    PlayerRun bad = Play(unknown, {"--headless", "--no-pak", "--frames", "3"});
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_NE(bad.err.find("Starfall Trailer, By Vireo! - Error"), std::string::npos) << bad.err;
    EXPECT_NE(bad.err.find("[NoSuchLayer]"), std::string::npos) << bad.err;
    EXPECT_NE(bad.err.find(" - GFXLayer"), std::string::npos) << bad.err;

    // An archive that is not one: not an error at start-up, the folders serve instead.
    const fs::path notPak = MakeProduction("notpak", "TIME 0 {\nEND;\n};\n");
    WriteTestFile((notPak / "junk.pak").string(), "not an archive at all");
    PlayerRun junk = Play(notPak, {"--headless", "--pak", "junk.pak", "--frames", "5", "LogWindow"});
    EXPECT_EQ(junk.exitCode, 0) << junk.err;
    EXPECT_NE(junk.err.find("Loaded PakFile [junk.pak] (0 packed files)."), std::string::npos);

    // A capture folder that cannot be made is an application error (the exception dialog).
    WriteTestFile((notPak / "blocked").string(), "a file, not a folder");
    PlayerRun blocked = Play(notPak, {"--headless", "--no-pak", "--capture", "blocked/x"});
    EXPECT_NE(blocked.exitCode, 0);
    EXPECT_NE(blocked.err.find("Starfall Trailer, By Vireo! - Exception"), std::string::npos)
        << blocked.err;
    EXPECT_NE(blocked.err.find("GetLastError (Informative)"), std::string::npos);
    // The trace back is the stack of the throw, not a placeholder.
    const size_t trace = blocked.err.find("TraceBack\n");
    ASSERT_NE(trace, std::string::npos);
    EXPECT_NE(blocked.err.find("starfall", trace), std::string::npos) << blocked.err;
    // Frames of the program itself are named, down from the routine that raised the error.
    EXPECT_NE(blocked.err.find("\nRaiseAppError(", trace), std::string::npos) << blocked.err;
    EXPECT_NE(blocked.err.find("\nDemoApplication::Init()+0x", trace), std::string::npos)
        << blocked.err;
    EXPECT_EQ(blocked.err.find("Not available", trace), std::string::npos) << blocked.err;
}

TEST(PlayerEndToEnd, FileListNamesEveryOpenedFileOnceInByteOrder)
{
    const fs::path dir = MakeProduction("filelist", kShortScript);
    PlayerRun run = Play(dir, {"--headless", "--no-pak", "--fps", "10", "--mode", "160x120x32",
                               "/some/path/with/gfl/inside"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string list = ReadTestFile((dir / "FileList.txt").string());
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find('\n', start);
        if (end == std::string::npos)
            end = list.size();
        std::string line = list.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"Script.txt", "font1.png", "loading.png",
                                               "red.png"}))
        << list;

    // Capital letters do not count: no list written.
    fs::remove(dir / "FileList.txt");
    PlayerRun upper = Play(dir, {"--headless", "--no-pak", "--fps", "10", "--mode",
                                 "160x120x32", "GFL"});
    EXPECT_EQ(upper.exitCode, 0) << upper.err;
    EXPECT_FALSE(fs::exists(dir / "FileList.txt"));
}

TEST(PlayerEndToEnd, ArchiveGivenByPathIsPlayedFromAnotherFolder)
{
    const fs::path data = MakeProduction("pak-data", kShortScript);
    const fs::path pak = data.parent_path() / "pak-data.pak";
    const fs::path elsewhere = data.parent_path() / "pak-run";
    fs::remove_all(elsewhere);
    fs::create_directories(elsewhere);
    PlayerRun pack = RunProcess(PAKWRITER_EXE, {"--quiet", "-o", pak.string(), data.string()},
                                elsewhere.string(), {}, 60.0);
    ASSERT_EQ(pack.exitCode, 0) << pack.err;
    // The folder the player runs in holds a script of its own that cannot play: the
    // archive's script must be the one read.
    WriteTestFile((elsewhere / "Script.txt").string(), "TIME 0 {\nCREATE NoSuchLayer {\n};\n};\n");
    PlayerRun run = Play(elsewhere, {"--headless", "--pak", pak.string(), "--fps", "10", "--mode",
                                     "160x120x32", "LogWindow"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("Loaded PakFile [" + pak.string() + "] ("), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("NoSuchLayer"), std::string::npos) << run.err;
}

TEST(PlayerEndToEnd, CommandLineProblemsAndAMissingDisplayAreExplainedInOneLine)
{
    const fs::path dir = MakeProduction("usage", "TIME 0 {\nEND;\n};\n");
    PlayerRun help = Play(dir, {"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--headless"), std::string::npos);
    PlayerRun version = Play(dir, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_NE(version.out.find("starfall"), std::string::npos);
    PlayerRun bad = Play(dir, {"--fps", "fast"});
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_NE(bad.err.find("--fps"), std::string::npos);

    PlayerRun noDisplay = RunProcess(STARFALL_EXE, {"--no-pak"}, dir.string(),
                                     {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""},
                                      {"SDL_VIDEODRIVER", ""}, {"SDL_AUDIODRIVER", "dummy"}},
                                     30.0);
    EXPECT_NE(noDisplay.exitCode, 0);
    EXPECT_FALSE(noDisplay.timedOut);
    EXPECT_NE(noDisplay.err.find("--headless"), std::string::npos) << noDisplay.err;
    EXPECT_EQ(std::count(noDisplay.err.begin(), noDisplay.err.end(), '\n'), 1) << noDisplay.err;
}

TEST(PlayerEndToEnd, ProcessorFaultsFromStartUpToShutDownReachTheReportWithTheirOwnTrace)
{
    // A real division by zero, raised by a preloaded helper at a chosen point of the run.
    const std::string script = "LOADINGIMG \"loading.png\";\n"
                               "TIME -1 {\nCREATE GFXLayer {\nTexture \"red.png\";\nStableTime 100;\n};\n};\n"
                               "TIME 0.2 {\nCREATE GFXLayer {\nTexture \"late.png\";\nStableTime 100;\n};\n};\n"
                               "TIME 0.5 {\nEND;\n};\n";
    struct Case {
        const char* stage;
        const char* variable;
        const char* value;
        const char* caller;  // a routine of the player that must stand in the fault's trace
    } cases[] = {
        {"script parsing", "STARFALL_FAULT_ON_OPEN", "Script.txt", "\nParseScriptFile("},
        {"preload", "STARFALL_FAULT_ON_OPEN", "red.png", "\nTimeline::Start("},
        {"a frame", "STARFALL_FAULT_ON_OPEN", "late.png", "\nDemoApplication::Frame("},
        {"shut-down", "STARFALL_FAULT_IN", "Mix_HaltChannel", "\nDemoApplication::~DemoApplication("},
        {"file list", "STARFALL_FAULT_ON_OPEN", "FileList.txt", "\nWriteFileList("},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stage);
        const fs::path dir = MakeProduction(std::string("fault-") + c.value, script);
        WriteTestFile((dir / "late.png").string(), EncodePng(8, 8, SolidRgb(8, 8, 0, 255, 0)));
        PlayerRun run = RunProcess(STARFALL_EXE, {"--headless", "--no-pak", "--fps", "10", "gfl"}, dir.string(),
                                   {{"SDL_AUDIODRIVER", "dummy"},
                                    {"LD_PRELOAD", FAULT_INJECTOR_LIB},
                                    // In a sanitizer build the helper comes before the runtime.
                                    {"ASAN_OPTIONS", "detect_leaks=0:allow_user_segv_handler=1:"
                                                     "use_sigaltstack=0:verify_asan_link_order=0"},
                                    {c.variable, c.value}},
                                   120.0);
        EXPECT_FALSE(run.timedOut);
        // Reported and ended with the error status, not killed by the signal.
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find("Starfall Trailer, By Vireo! - Exception\nMessage\nInteger divided by Zero.\n"),
                  std::string::npos)
            << run.err;
        // The trace starts at the faulting instruction and goes down through the player.
        const size_t trace = run.err.find("TraceBack\n");
        ASSERT_NE(trace, std::string::npos) << run.err;
        const std::string traceText = run.err.substr(trace + 10);
        EXPECT_EQ(traceText.rfind("starfall_injected_fault+0x", 0), 0u) << traceText;
        EXPECT_NE(traceText.find(c.caller), std::string::npos) << traceText;
        EXPECT_EQ(traceText.find("RaiseProcessorFault"), std::string::npos) << traceText;
        EXPECT_EQ(traceText.find("RaiseAppError"), std::string::npos) << traceText;
        EXPECT_FALSE(fs::exists(dir / "FileList.txt"));
    }
}

// A run started part-way numbers its frames as the full run does, and its first frame is the
// full run's frame there: layers moved, restarted and deleted before it stand where they would.
TEST(PlayerEndToEnd, AStartedSectionDrawsTheFullRunsFramesAndEndsAtItsEnd)
{
    const char* const script =
        "TIME -1 {\n"
        "CREATE GFXLayer {\nNAME Red;\nTexture \"red.png\";\nRisingTime 2;\nStableTime 100;\n"
        "XOffsetStart -0.5;\nXOffsetEnd 0.5;\nXScale 0.4;\nYScale 0.4;\n};\n"
        "};\n"
        "TIME 0.75 {\n"
        "CREATE GFXLayer {\nNAME Blue;\nTexture \"loading.png\";\nRisingTime 1;\nStableTime 100;\n"
        "YOffsetStart 0.4;\nYOffsetEnd -0.4;\nXScale 0.3;\nYScale 0.3;\n};\n"
        "CREATE GFXLayer {\nTexture \"loading.png\";\nStableTime 0.3;\nXScale 0.1;\nYScale 0.1;\n};\n"
        "};\n"
        "TIME 1.55 {\nUPDATE Blue {\nRESTART Yes;\nMOVE Bottom;\n};\n};\n"
        "TIME 2.05 {\nDELETE Red {\n};\n};\n"
        "TIME 3 {\nEND;\n};\n";
    const fs::path dir = MakeProduction("section", script);
    const std::vector<std::string> common = {"--headless", "--no-pak", "--fps", "10", "--mode", "160x120x32",
                                             "--seed", "5"};
    auto with = [&](std::vector<std::string> more) {
        more.insert(more.begin(), common.begin(), common.end());
        return more;
    };
    PlayerRun full = Play(dir, with({"--capture", "full"}));
    ASSERT_EQ(full.exitCode, 0) << full.err;
    PlayerRun part = Play(dir, with({"--start", "1.8", "--end", "0:02.3", "--capture", "part"}));
    ASSERT_EQ(part.exitCode, 0) << part.err;

    // Frames 18 to 22: from the start's frame up to (not including) the end's.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir / "part"))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"frame_000018.png", "frame_000019.png", "frame_000020.png",
                                               "frame_000021.png", "frame_000022.png"}));
    for (const std::string& name : names) {
        int w = 0, h = 0, fw = 0, fh = 0;
        std::vector<uint8_t> rgb, fullRgb;
        ASSERT_TRUE(PngSize(dir / "part" / name, w, h, rgb)) << name;
        ASSERT_TRUE(PngSize(dir / "full" / name, fw, fh, fullRgb)) << name;
        EXPECT_EQ(rgb, fullRgb) << name << " differs from the full run's";
    }
    // Before the deletion at 2.05 the red picture is on screen, after it not.
    int w = 0, h = 0;
    std::vector<uint8_t> before, after;
    ASSERT_TRUE(PngSize(dir / "part" / "frame_000020.png", w, h, before));
    ASSERT_TRUE(PngSize(dir / "part" / "frame_000021.png", w, h, after));
    auto redPixels = [](const std::vector<uint8_t>& rgb) {
        int count = 0;
        for (size_t i = 0; i + 2 < rgb.size(); i += 3)
            count += rgb[i] > 100 && rgb[i + 2] < 50;
        return count;
    };
    EXPECT_GT(redPixels(before), 100);
    EXPECT_EQ(redPixels(after), 0);

    // Starting after END is refused as a command line the production cannot play.
    PlayerRun late = Play(dir, with({"--start", "4", "--capture", "late"}));
    EXPECT_EQ(late.exitCode, 2) << late.err;
    EXPECT_NE(late.err.find("the production ends before 4.00 s"), std::string::npos) << late.err;
    EXPECT_TRUE(!fs::exists(dir / "late") || fs::is_empty(dir / "late"));
}
