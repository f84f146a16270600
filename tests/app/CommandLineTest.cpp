// Command line: substring switches and the Linux options.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace {

struct Parsed {
    bool ok = false;
    CommandLineOptions options;
    std::string error;
};

Parsed Parse(std::vector<const char*> args)
{
    args.insert(args.begin(), "starfall");
    Parsed p;
    p.ok = ParseCommandLine(static_cast<int>(args.size()), args.data(), p.options, p.error);
    return p;
}

// Each command line fails to parse, with a reason.
void ExpectAllRejected(const std::vector<std::vector<const char*>>& commandLines)
{
    for (const auto& args : commandLines) {
        Parsed p = Parse(args);
        std::string joined;
        for (const char* a : args)
            joined += std::string(a) + " ";
        EXPECT_FALSE(p.ok) << joined;
        EXPECT_FALSE(p.error.empty()) << joined;
    }
}

}  // namespace

TEST(CommandLine, SwitchesAreCaseSensitiveSubstringsOfTheJoinedArguments)
{
    EXPECT_TRUE(Parse({"xxLogWindowyy"}).options.logWindow);
    EXPECT_FALSE(Parse({"logwindow"}).options.logWindow);
    EXPECT_FALSE(Parse({"LOGWINDOW"}).options.logWindow);
    // A path that happens to contain the letters enables the file list.
    EXPECT_TRUE(Parse({"/home/gfl/data"}).options.fileList);
    EXPECT_FALSE(Parse({"GFL"}).options.fileList);
    // The arguments are joined with spaces, so a switch may span two arguments.
    EXPECT_FALSE(Parse({"Log", "Window"}).options.logWindow);
    EXPECT_FALSE(Parse({"xg", "fl"}).options.fileList);
    EXPECT_EQ(Parse({"a", "b c"}).options.commandLine, "a b c");
    // Values of options count too: the command line is searched as a whole.
    EXPECT_TRUE(Parse({"--pak", "gfl.pak"}).options.fileList);
    // Both at once, inside other words.
    Parsed both = Parse({"-LogWindow-gfl"});
    EXPECT_TRUE(both.ok);
    EXPECT_TRUE(both.options.logWindow);
    EXPECT_TRUE(both.options.fileList);
    // An empty command line enables nothing.
    Parsed none = Parse({});
    EXPECT_TRUE(none.ok);
    EXPECT_FALSE(none.options.logWindow);
    EXPECT_FALSE(none.options.fileList);
}

TEST(CommandLine, OptionsAreParsedAndNoneSpellsASwitch)
{
    Parsed p = Parse({"--no-dialog", "--headless", "--windowed", "--no-vsync", "--fps", "29.97",
                      "--frames", "12", "--capture", "out", "--seed", "4294967295", "--mode",
                      "800x600x16", "--pak", "my.pak", "--help", "--version", "--speed", "9"});
    ASSERT_TRUE(p.ok) << p.error;
    const CommandLineOptions& o = p.options;
    EXPECT_TRUE(o.noDialog && o.headless && o.windowed && o.noVsync && o.help && o.version);
    EXPECT_DOUBLE_EQ(o.fps, 29.97);
    EXPECT_EQ(o.frames, 12);
    EXPECT_EQ(o.captureDir, "out");
    EXPECT_TRUE(o.hasSeed);
    EXPECT_EQ(o.seed, 4294967295u);
    EXPECT_EQ(o.modeWidth, 800);
    EXPECT_EQ(o.modeHeight, 600);
    EXPECT_EQ(o.modeBits, 16);
    EXPECT_EQ(o.pakPath, "my.pak");
    EXPECT_EQ(o.speed, 9);
    EXPECT_FALSE(o.logWindow);
    EXPECT_FALSE(o.fileList);

    Parsed defaults = Parse({"--no-pak"});
    ASSERT_TRUE(defaults.ok);
    EXPECT_TRUE(defaults.options.noPak);
    EXPECT_EQ(defaults.options.modeWidth, 640);
    EXPECT_EQ(defaults.options.modeHeight, 480);
    EXPECT_EQ(defaults.options.modeBits, 32);
    EXPECT_EQ(defaults.options.frames, 0);
    EXPECT_EQ(defaults.options.fps, 0.0);
    EXPECT_FALSE(defaults.options.hasSeed);
    EXPECT_EQ(defaults.options.speed, 0);
    EXPECT_EQ(Parse({"--speed", "1"}).options.speed, 1);
    // Plain words are allowed anywhere.
    EXPECT_TRUE(Parse({"LogWindow", "--headless", "whatever"}).ok);
}

TEST(CommandLine, MalformedOptionsAreRejectedWithAReason)
{
    const std::vector<std::vector<const char*>> bad = {
        {"--fps"}, {"--fps", "0"}, {"--fps", "-5"}, {"--fps", "abc"}, {"--fps", "nan"},
        {"--fps", "inf"}, {"--frames", "0"}, {"--frames", "1.5"}, {"--frames", "-2"},
        {"--seed", "-1"}, {"--seed", "4294967296"}, {"--seed", "x"}, {"--mode", "640x480"},
        {"--mode", "640x480x24"}, {"--mode", "0x0x32"}, {"--mode", "640x480x32x"},
        {"--capture"}, {"--capture", ""}, {"--pak"}, {"--bogus"}, {"--pak", "a", "--no-pak"},
        {"--speed"}, {"--speed", "0"}, {"--speed", "10"}, {"--speed", "2.5"}, {"--speed", "-1"},
    };
    ExpectAllRejected(bad);
}

TEST(CommandLine, RatesAreDecimalAndSaneAndUnplayableCombinationsAreRefusedBeforeTheRun)
{
    const std::string fpsRange = "--fps needs a number of frames per second from 1 to 1000";
    const std::vector<std::pair<std::vector<const char*>, std::string>> refused = {
        {{"--fps", "1e-9"}, fpsRange},
        {{"--fps", "0.5"}, fpsRange},
        {{"--fps", "1000.5"}, fpsRange},
        {{"--fps", "0x10"}, fpsRange},
        {{"--fps", "25e0"}, fpsRange},
        {{"--video", "a.mp4", "--speed", "2"},
         "--video and --speed exclude each other (the pictures would run faster than the sound)"},
        {{"--headless", "--loop"}, "--loop with --headless needs --frames N (nothing could stop it otherwise)"},
        {{"--bench", "--loop"}, "--loop with --headless needs --frames N (nothing could stop it otherwise)"},
        {{"--bench-json", "/no/such/folder/b.json"}, "--bench-json cannot write [/no/such/folder/b.json]"},
        {{"--bench-json", "/"}, "--bench-json cannot write [/]"},
    };
    for (const auto& [args, reason] : refused) {
        const Parsed p = Parse(args);
        EXPECT_FALSE(p.ok) << reason;
        EXPECT_EQ(p.error, reason);
    }
    for (const auto& [text, fps] : std::vector<std::pair<const char*, double>>{{"1", 1.0}, {"1000", 1000.0}, {"29.97", 29.97}}) {
        const Parsed p = Parse({"--fps", text});
        ASSERT_TRUE(p.ok) << text << ": " << p.error;
        EXPECT_DOUBLE_EQ(p.options.fps, fps);
    }
    EXPECT_TRUE(Parse({"--headless", "--loop", "--frames", "10"}).ok);
    EXPECT_TRUE(Parse({"--windowed", "--no-dialog", "--loop"}).ok) << "someone watches a window";
    EXPECT_TRUE(Parse({"-h"}).options.help);
    EXPECT_TRUE(Parse({"-h"}).ok);

    // The help names every exit status the player ends with.
    const std::string usage = CommandLineUsage("sf");
    for (const char* status : {"0 after a normal end", "1 after an error", "2 for a command line", "130 or 143"})
        EXPECT_NE(usage.find(status), std::string::npos) << status;
}

TEST(CommandLine, HelpListsEveryOptionTheParserTakesInItsFixedLayout)
{
    const std::string usage = CommandLineUsage("sf");
    // The option lines as a reader sees them: the name and value placeholder in a column of
    // 17, then the explanation.
    for (const char* line : {
             "\n  --help           show this text and exit (also -h)\n",
             "\n  --mode WxHxB     display mode without the dialog (default 640x480x32)\n",
             "\n  --capture DIR    write every presented frame as DIR/frame_NNNNNN.png\n",
             "\n  --no-vsync       do not wait for the vertical blank when presenting\n",
         })
        EXPECT_NE(usage.find(line), std::string::npos) << line << "\nin:\n" << usage;
    EXPECT_EQ(usage.rfind("Usage: sf [options] [LogWindow] [gfl]\n", 0), 0u);

    // Every option named in the help parses (with a sample value where it takes one), and
    // nothing the help does not name is an option.
    size_t listed = 0;
    for (size_t at = usage.find("\n  --"); at != std::string::npos; at = usage.find("\n  --", at + 1)) {
        const size_t nameEnd = usage.find(' ', at + 3);
        const std::string name = usage.substr(at + 3, nameEnd - at - 3);
        const bool takesValue = usage[nameEnd + 1] != ' ';
        const char* sample = name == "--mode"                           ? "800x600x16"
                             : name == "--capture" || name == "--pak" ? "x"
                             : name == "--video"                      ? "x.mp4"
                             : name == "--data"                       ? "."
                                                                       : "3";
        // The quality of a video only goes with a video; --watch needs a folder to watch
        // (alone it is refused, tested below).
        const Parsed parsed = name == "--video-quality" ? Parse({"--video", "x.mkv", name.c_str(), sample})
                              : takesValue             ? Parse({name.c_str(), sample})
                              : name == "--watch"      ? Parse({name.c_str(), "--no-pak"})
                                                       : Parse({name.c_str()});
        EXPECT_TRUE(parsed.ok) << name << ": " << parsed.error;
        ++listed;
    }
    EXPECT_EQ(listed, 25u);
    EXPECT_FALSE(Parse({"--verbose"}).ok);
}

TEST(CommandLine, VideoExportIsHeadlessAtFixedStepsWithAQualityCheckedPerFormat)
{
    Parsed video = Parse({"--video", "out.MP4", "--quiet"});
    ASSERT_TRUE(video.ok) << video.error;
    EXPECT_EQ(video.options.videoPath, "out.MP4");
    EXPECT_TRUE(video.options.headless);
    EXPECT_TRUE(video.options.quiet);
    EXPECT_DOUBLE_EQ(video.options.fps, 60.0);
    EXPECT_EQ(video.options.videoQuality, -1);

    // A rate and a quality given stay as given, in any order.
    Parsed given = Parse({"--video-quality", "63", "--fps", "25", "--video", "a/b.webm"});
    ASSERT_TRUE(given.ok) << given.error;
    EXPECT_DOUBLE_EQ(given.options.fps, 25.0);
    EXPECT_EQ(given.options.videoQuality, 63);
    EXPECT_TRUE(Parse({"--video", "x.mkv", "--video-quality", "0"}).ok);

    const std::vector<std::vector<const char*>> bad = {
        {"--video"}, {"--video", ""}, {"--video", "out.avi"}, {"--video", "out"},
        {"--video", "dir.mp4/out"}, {"--video", "x.mp4", "--video-quality", "52"},
        {"--video", "x.webm", "--video-quality", "64"}, {"--video", "x.mp4", "--video-quality", "-1"},
        {"--video", "x.mp4", "--video-quality", "high"}, {"--video-quality", "20"},
        {"--video", "x.mp4", "--mode", "641x480x32"}, {"--video", "x.mp4", "--mode", "640x481x32"},
        {"--video", "x.mp4", "--loop"},
    };
    ExpectAllRejected(bad);
    EXPECT_NE(Parse({"--video", "x.mp4", "--video-quality", "52"}).error.find("0 to 51"), std::string::npos);

    // Without --video nothing changes.
    Parsed plain = Parse({"--capture", "shots"});
    EXPECT_FALSE(plain.options.headless);
    EXPECT_EQ(plain.options.fps, 0.0);
    EXPECT_FALSE(plain.options.quiet);
}

TEST(CommandLine, ProductionTimesAreSecondsOrMinutesAndSeconds)
{
    const struct {
        const char* text;
        bool ok;
        double seconds;
    } cases[] = {
        {"0", true, 0.0},       {"83.5", true, 83.5},     {"1:23.5", true, 83.5}, {"0:05", true, 5.0},
        {"10:00", true, 600.0}, {"2:", false, 0},         {":30", false, 0},      {"1:60", false, 0},
        {"-1", false, 0},       {"1:-5", false, 0},       {"-1:05", false, 0},    {"abc", false, 0},
        {"5s", false, 0},       {"", false, 0},           {"nan", false, 0},      {"inf", false, 0},
        {"1e9", false, 0},      {" 5", false, 0},         {"1:2:3", false, 0},    {"+5", false, 0},
        {"0x10", false, 0},     {"1:0x1", false, 0},      {" 1:05", false, 0},    {"1e1", false, 0},
        {".5", true, 0.5},      {"7.", true, 7.0},        {"1..2", false, 0},     {".", false, 0},
    };
    for (const auto& test : cases) {
        double seconds = -7.0;
        EXPECT_EQ(ParseProductionTime(test.text, seconds), test.ok) << test.text;
        if (test.ok) {
            EXPECT_DOUBLE_EQ(seconds, test.seconds) << test.text;
        }
    }
}

TEST(CommandLine, SectionAuthorAndWatchOptionsAndTheirCombinations)
{
    const Parsed all = Parse({"--start", "1:00", "--end", "75.5", "--loop", "--author", "--watch", "--data", "/"});
    ASSERT_TRUE(all.ok) << all.error;
    EXPECT_DOUBLE_EQ(all.options.startTime, 60.0);
    EXPECT_DOUBLE_EQ(all.options.endTime, 75.5);
    EXPECT_TRUE(all.options.loop);
    EXPECT_TRUE(all.options.author);
    EXPECT_TRUE(all.options.watch);
    EXPECT_EQ(all.options.dataDir, "/");

    const Parsed none = Parse({});
    EXPECT_DOUBLE_EQ(none.options.startTime, 0.0);
    EXPECT_LT(none.options.endTime, 0.0) << "no end: the script's END";
    EXPECT_FALSE(none.options.loop || none.options.author || none.options.watch);
    EXPECT_TRUE(Parse({"--watch", "--no-pak"}).ok);
    EXPECT_TRUE(Parse({"--end", "0.1"}).ok);

    const std::vector<std::pair<std::vector<const char*>, std::string>> refused = {
        {{"--watch"}, "--watch needs --no-pak or --data DIR (files in an archive do not change)"},
        {{"--watch", "--pak", "a.pak"}, "--watch needs --no-pak or --data DIR (files in an archive do not change)"},
        {{"--start", "10", "--end", "10"}, "--end must come after --start"},
        {{"--start", "10", "--end", "5"}, "--end must come after --start"},
        {{"--end", "0"}, "--end must come after --start"},
        {{"--data", "/", "--pak", "a.pak"}, "--pak and --data exclude each other"},
        {{"--data", ""}, "--data needs an existing folder"},
        {{"--data", "/no/such/folder"}, "--data needs an existing folder"},
        {{"--start", "x"}, "--start needs a time in seconds or minutes:seconds, for example 83.5 or 1:23.5"},
        {{"--end"}, "--end needs a value"},
    };
    for (const auto& [args, reason] : refused) {
        const Parsed p = Parse(args);
        EXPECT_FALSE(p.ok) << reason;
        EXPECT_EQ(p.error, reason);
    }
}

TEST(CommandLine, BenchImpliesFixedStepNoVsyncAndHeadlessUnlessAWindowIsAsked)
{
    struct Case {
        std::vector<const char*> args;
        bool headless, noDialog;
        double fps;
        const char* json;
    };
    const Case cases[] = {
        {{"--bench"}, true, false, 30.0, ""},
        {{"--bench", "--fps", "25"}, true, false, 25.0, ""},
        {{"--bench", "--windowed"}, false, true, 30.0, ""},
        {{"--bench-json", "out.json"}, true, false, 30.0, "out.json"},
    };
    for (const Case& c : cases) {
        Parsed p = Parse(c.args);
        ASSERT_TRUE(p.ok) << p.error;
        EXPECT_TRUE(p.options.bench);
        EXPECT_TRUE(p.options.noVsync);
        EXPECT_EQ(p.options.headless, c.headless) << c.args[0];
        EXPECT_EQ(p.options.noDialog, c.noDialog) << c.args[0];
        EXPECT_EQ(p.options.fps, c.fps);
        EXPECT_EQ(p.options.benchJsonPath, c.json);
    }
    // Without --bench nothing changes, and the JSON file must be named.
    Parsed plain = Parse({"--windowed"});
    EXPECT_FALSE(plain.options.bench || plain.options.headless || plain.options.noVsync);
    EXPECT_EQ(plain.options.fps, 0.0);
    EXPECT_FALSE(Parse({"--bench-json", ""}).ok);
    EXPECT_FALSE(Parse({"--bench-json"}).ok);
}
