// Tests of the authoring modes as an author runs them: --new, then --check, --stack-at and --describe on the result.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include "app/AuthorTools.h"
#include "app/StackOverlay.h"
#include "support/PlayerProcess.h"

namespace fs = std::filesystem;

namespace {

const std::map<std::string, std::string> kNoDisplay = {
    {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"SDL_VIDEODRIVER", ""}, {"SDL_AUDIODRIVER", "dummy"}};

PlayerRun RunPlayer(const fs::path& folder, std::vector<std::string> args)
{
    return RunProcess(STARFALL_EXE, args, folder.string(), kNoDisplay, 120.0);
}

fs::path Scratch(const char* name)
{
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "author-tools" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

}  // namespace

TEST(AuthorTools, StarterProductionIsWrittenChecksCleanAndShowsItsStack)
{
    const fs::path root = Scratch("starter");
    const PlayerRun made = RunPlayer(root, {"--new", "demo"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const fs::path demo = root / "demo";
    for (const char* file : {"Script.txt", "music.wav", "font1.png", "white.jpg", "glyphs.jpg", "glyphs_a.png",
                             "nightsky.jpg", "station.mdl", "glow.jpg"})
        EXPECT_TRUE(fs::exists(demo / file)) << file;
    const std::string script = ReadTestFile((demo / "Script.txt").string());
    EXPECT_EQ(script, StarterScript());
    // Every line ends in CR LF.
    for (size_t at = script.find('\n'); at != std::string::npos; at = script.find('\n', at + 1))
        ASSERT_TRUE(at > 0 && script[at - 1] == '\r') << "line feed without CR at byte " << at;

    const PlayerRun again = RunPlayer(root, {"--new", "demo"});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find("is not empty"), std::string::npos) << again.err;
    EXPECT_EQ(ReadTestFile((demo / "Script.txt").string()), script);  // left alone

    const PlayerRun checked = RunPlayer(root, {"--data", "demo", "--check"});
    EXPECT_EQ(checked.exitCode, 0) << checked.out << checked.err;
    EXPECT_EQ(checked.out, "Script.txt: no findings\n");

    // At 3 s the background is in its stable phase and the title in its fade-in; the scene
    // is on the stack (named) but its window opens at 6 s.
    const PlayerRun stack = RunPlayer(root, {"--data", "demo", "--stack-at", "3", "--fps", "25"});
    ASSERT_EQ(stack.exitCode, 0) << stack.err;
    EXPECT_EQ(stack.out.rfind("Time 3.00 s\n", 0), 0u) << stack.out;
    EXPECT_NE(stack.out.find("Layers, bottom to top (4):\n"), std::string::npos) << stack.out;
    EXPECT_NE(stack.out.find("1. GFXLayer [Gfx Layer ["), std::string::npos) << stack.out;
    EXPECT_NE(stack.out.find("]  window 0.00 - 20.00  visible  fade 1.00\n"), std::string::npos) << stack.out;
    // The title: window 1 to 6.5, 2 s in, rising over 1.5 s: in its stable phase.
    EXPECT_NE(stack.out.find("2. TextLayer [Gfx Text Layer ["), std::string::npos) << stack.out;
    EXPECT_NE(stack.out.find("]  window 1.00 - 6.50  visible  fade 1.00\n"), std::string::npos) << stack.out;
    EXPECT_NE(stack.out.find("       Text = MY FIRST DEMO\n"), std::string::npos) << stack.out;
    EXPECT_NE(stack.out.find("4. MDLPlayer [Scene] (named)  window 6.00 - 18.00  not drawn\n"), std::string::npos)
        << stack.out;
    const PlayerRun early = RunPlayer(root, {"--data", "demo", "--stack-at", "1.75", "--fps", "100"});
    // 0.75 s into a 1.5 s rise: half way.
    EXPECT_NE(early.out.find("]  window 1.00 - 6.50  visible  fade 0.50\n"), std::string::npos) << early.out;

    fs::remove(demo / "glow.jpg");
    const PlayerRun missing = RunPlayer(root, {"--data", "demo", "--check"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.out.find(":64: missing file [glow.jpg], needed by Texture of modifier GlowEffect of layer "
                               "MDLPlayer [Scene]"),
              std::string::npos)
        << missing.out;
}

TEST(AuthorTools, DescribeListsTypesAndOneTypeWithoutADisplay)
{
    const fs::path root = Scratch("describe");
    const PlayerRun all = RunPlayer(root, {"--describe"});
    EXPECT_EQ(all.exitCode, 0) << all.err;
    EXPECT_NE(all.out.find("  TextLayer  (fades: RisingTime, StableTime, FallingTime)\n"), std::string::npos) << all.out;
    const PlayerRun one = RunPlayer(root, {"--describe", "Flash"});
    EXPECT_EQ(one.exitCode, 0) << one.err;
    EXPECT_NE(one.out.find("  Also opens white.jpg by itself.\n"), std::string::npos) << one.out;
    const PlayerRun wrong = RunPlayer(root, {"--describe", "flash"});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_NE(wrong.err.find("no layer type or modifier is named [flash] (names are case-sensitive: Flash)"),
              std::string::npos)
        << wrong.err;
}

TEST(AuthorTools, OverlayBarPlacesBlocksAndNowAlongTheProduction)
{
    struct Case {
        std::vector<float> blocks;
        float now;
        int width;
        const char* bar;
    };
    const Case cases[] = {
        {{0.0f, 10.0f}, 5.0f, 11, "|+----*----+|"},
        {{0.0f, 4.0f}, 8.0f, 5, "|+-+-*|"},    // past the last block the bar reaches to now
        {{-1.0f, 2.0f}, 0.0f, 3, "|*-+|"},     // the preload block stands before the bar
        {{}, 0.0f, 4, "|*---|"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TimelineBar(c.blocks, c.now, c.width), c.bar) << c.bar;
}
