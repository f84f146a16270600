// Demo application on a recording device: frame order, read-outs, keys, END and --frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "app/Application.h"
#include "app/DemoApplication.h"
#include "app/FixedStepClock.h"
#include "engine/core/Clock.h"
#include "script/ScriptParser.h"
#include "script/Timeline.h"
#include "support/AppTestKit.h"
#include "support/RecordingDevice.h"
#include "support/TestImages.h"
#include "support/TestPak.h"

namespace {

class DemoApplicationTest : public FixedStepAppTest {
protected:
    // An application playing scriptText on a recording device, started.
    DemoApplication& Start(const std::string& scriptText, CommandLineOptions options = {})
    {
        app_ = std::make_unique<DemoApplication>(options, &counter_);
        auto device = std::make_unique<RecordingDevice>();
        device->Open(640, 480, 32);
        device_ = device.get();
        auto timeline = std::make_unique<Timeline>(*device);
        ParseScriptText(scriptText, timeline->GetScript());
        timeline->Start();
        app_->UseForTesting(std::move(device), std::move(timeline));
        device_->ClearCalls();
        return *app_;
    }

    ScopedTestPak pak_{{{"font1.png", SmallFontSheet(4)}}};
};

}  // namespace

TEST_F(DemoApplicationTest, FrameRunsTheTimelineInsideTheSceneThenReadOutsPresentAndClear)
{
    DemoApplication& app = Start("SHOWTIME Yes;\r\n");
    app.Frame();
    const auto names = device_->Ops();
    auto first = [&](Op op) { return std::find(names.begin(), names.end(), op) - names.begin(); };
    const long begin = first(Op::BeginScene), end = first(Op::EndScene), present = first(Op::Present),
               clear = first(Op::Clear);
    ASSERT_LT(present, static_cast<long>(names.size()));
    EXPECT_EQ(begin, 0);
    EXPECT_LT(begin, end);
    EXPECT_LT(end, present);
    EXPECT_EQ(clear, present + 1);
    EXPECT_EQ(clear + 1, static_cast<long>(names.size()));
    EXPECT_EQ(device_->Last(Op::Clear)->As<ClearArgs>().flags, 0);
    // Read-outs are drawn after the scene and before Present: frame rate at y 10, time at y 25.
    bool sawFps = false, sawTime = false;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] != Op::SurfaceDraw)
            continue;
        EXPECT_GT(static_cast<long>(i), end);
        EXPECT_LT(static_cast<long>(i), present);
        sawFps |= device_->calls[i].As<SurfaceDrawArgs>().y == 10;
        sawTime |= device_->calls[i].As<SurfaceDrawArgs>().y == 25;
    }
    EXPECT_TRUE(sawFps);
    EXPECT_TRUE(sawTime);
    EXPECT_FALSE(IsQuitPosted());
}

TEST_F(DemoApplicationTest, WithoutShowFpsASingleSpaceStandsInForTheFrameRate)
{
    Start("\r\n");
    app_->Frame();
    // Only the space's glyph is drawn, once, at (10, 10); no time read-out.
    const auto draws = device_->All(Op::SurfaceDraw);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0]->As<SurfaceDrawArgs>().x, 10);
    EXPECT_EQ(draws[0]->As<SurfaceDrawArgs>().y, 10);

    Start("SHOWFPS Yes;\r\n");
    app_->Frame();
    // "0.00" until a second has passed: four glyphs on the line y = 10.
    const auto fps = device_->All(Op::SurfaceDraw);
    ASSERT_EQ(fps.size(), 4u);
    for (const RecordedCall* d : fps)
        EXPECT_EQ(d->As<SurfaceDrawArgs>().y, 10);
}

TEST_F(DemoApplicationTest, FunctionKeysStretchTimeOnlyWhenTheScriptAllowsAndEscapeAlwaysQuits)
{
    DemoApplication& plain = Start("\r\n");
    plain.WindowProc(WM_KEYDOWN, VK_F1 + 4, 0);
    EXPECT_FLOAT_EQ(ClockGetRate(), 1.0f);
    EXPECT_FALSE(plain.IsQuitRequested());
    plain.WindowProc(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(plain.IsQuitRequested());
    EXPECT_TRUE(IsQuitPosted());

    ClearPostedQuitForTesting();
    DemoApplication& stretch = Start("TIMESTRETCH Yes;\r\n");
    stretch.WindowProc(WM_KEYDOWN, VK_F1 + 4, 0);  // F5
    EXPECT_FLOAT_EQ(ClockGetRate(), 5.0f);
    const float before = ClockNow();
    counter_.Advance();
    EXPECT_NEAR(ClockNow() - before, 0.5f, 1e-5f);  // one 0.1 s step, five times faster
    stretch.WindowProc(WM_KEYDOWN, VK_F9, 0);
    EXPECT_FLOAT_EQ(ClockGetRate(), 9.0f);
    stretch.WindowProc(WM_KEYDOWN, VK_F1, 0);
    EXPECT_FLOAT_EQ(ClockGetRate(), 1.0f);
    stretch.WindowProc(WM_KEYDOWN, VK_F9 + 1, 0);  // F10 is not a speed key
    EXPECT_FLOAT_EQ(ClockGetRate(), 1.0f);
    EXPECT_FALSE(stretch.IsQuitRequested());
    stretch.WindowProc(WM_KEYDOWN, VK_F12, 0);
    EXPECT_TRUE(stretch.IsQuitRequested());

    // Before any timeline exists the speed keys do nothing and Escape still quits.
    ClearPostedQuitForTesting();
    ClockSetRate(1.0f);
    DemoApplication bare(CommandLineOptions{}, nullptr);
    bare.WindowProc(WM_KEYDOWN, VK_F1 + 2, 0);
    EXPECT_FLOAT_EQ(ClockGetRate(), 1.0f);
    bare.WindowProc(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(bare.IsQuitRequested());
}

TEST_F(DemoApplicationTest, EndOfScriptAndFrameLimitPostTheQuitMessage)
{
    // A block at 0 fires in the first frame whose time is above 0: the second one here.
    Start("TIME 0 {\r\nEND;\r\n};\r\n");
    app_->Frame();
    EXPECT_FALSE(IsQuitPosted());
    app_->Frame();
    EXPECT_TRUE(IsQuitPosted());
    // The frame in which END ran is still finished and presented.
    EXPECT_EQ(device_->Count(Op::Present), 2);
    EXPECT_EQ(device_->Count(Op::EndScene), 2);

    ClearPostedQuitForTesting();
    CommandLineOptions options;
    options.frames = 3;
    Start("\r\n", options);
    app_->Frame();
    app_->Frame();
    EXPECT_FALSE(IsQuitPosted());
    app_->Frame();
    EXPECT_TRUE(IsQuitPosted());
    EXPECT_EQ(app_->GetFrameCount(), 3);
}
