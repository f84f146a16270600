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
    for (const auto& args : bad) {
        Parsed p = Parse(args);
        std::string joined;
        for (const char* a : args)
            joined += std::string(a) + " ";
        EXPECT_FALSE(p.ok) << joined;
        EXPECT_FALSE(p.error.empty()) << joined;
    }
}

TEST(CommandLine, HelpListsEveryOptionTheParserTakesInItsFixedLayout)
{
    const std::string usage = CommandLineUsage("sf");
    // The option lines as a reader sees them: the name and value placeholder in a column of
    // 17, then the explanation.
    for (const char* line : {
             "\n  --help           show this text and exit\n",
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
        const char* sample = name == "--mode" ? "800x600x16" : name == "--capture" || name == "--pak" ? "x" : "3";
        const Parsed parsed = takesValue ? Parse({name.c_str(), sample}) : Parse({name.c_str()});
        EXPECT_TRUE(parsed.ok) << name << ": " << parsed.error;
        ++listed;
    }
    EXPECT_EQ(listed, 14u);
    EXPECT_FALSE(Parse({"--verbose"}).ok);
}
