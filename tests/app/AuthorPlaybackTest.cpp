// Sections, seeking, author keys and live reload of the demo application on a recording device.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <functional>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "app/Application.h"
#include "app/DemoApplication.h"
#include "app/FileWatcher.h"
#include "app/FixedStepClock.h"
#include "app/PlaybackSection.h"
#include "app/TimelineSeek.h"
#include "engine/core/Clock.h"
#include "engine/core/Fatal.h"
#include "engine/core/File.h"
#include "engine/core/MapCache.h"
#include "engine/device/Font.h"
#include "script/ScriptData.h"
#include "script/ScriptParser.h"
#include "script/Timeline.h"
#include "support/AppTestKit.h"
#include "support/RecordingDevice.h"
#include "support/TestImages.h"
#include "support/TestPak.h"

namespace fs = std::filesystem;

namespace {

std::string White()
{
    return EncodeJpeg(8, 8, 3, SolidRgb(8, 8, 255, 255, 255));
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    // Written beside and renamed over, as editors save: the watcher must see it either way.
    const fs::path temporary = path.string() + ".new";
    std::ofstream(temporary, std::ios::binary) << bytes;
    fs::rename(temporary, path);
}

// A named Flash layer (drawn from its StartTime on, for ever) and a script around it.
std::string FlashScript(const std::string& name, const std::string& more = "")
{
    return "TIME -1 {\r\nCREATE Flash {\r\nNAME " + name + ";\r\nStableTime 1000;\r\n};\r\n};\r\n" + more;
}

class AuthorPlaybackTest : public FixedStepAppTest {
protected:
    // An application playing "Script.txt" (from the test archive or the data folder) on a
    // recording device, started as Init starts it.
    DemoApplication& Play(CommandLineOptions options)
    {
        options.fps = 10.0;
        app_ = std::make_unique<DemoApplication>(options, &counter_);
        auto device = std::make_unique<RecordingDevice>();
        device->Open(640, 480, 32);
        device_ = device.get();
        app_->PlayForTesting(std::move(device));
        return *app_;
    }
    std::string Names() const
    {
        std::string names;
        LayerStack& stack = app_->GetTimeline()->GetLayers();
        for (size_t i = 0; i < stack.Size(); ++i)
            names += (i ? " " : "") + stack.At(i)->GetName();
        return names;
    }
    float Elapsed() const { return app_->GetTimeline()->GetElapsed(); }
    void Key(int vk) { app_->OnKeyDown(static_cast<uintptr_t>(vk), 1); }
};

}  // namespace

TEST(PlaybackSection, FramesOfASectionFollowTheFullRunsNumbering)
{
    const struct {
        double seconds, fps;
        long frame;
    } cases[] = {{0.0, 25.0, 0}, {10.0, 25.0, 250}, {10.01, 25.0, 250}, {10.03, 25.0, 251},
                 {1.5, 10.0, 15}, {3.0, 0.0, 0}, {-1.0, 25.0, 0}, {0.999, 30.0, 30}};
    for (const auto& test : cases)
        EXPECT_EQ(PlaybackSection::FrameAt(test.seconds, test.fps), test.frame) << test.seconds << " at " << test.fps;

    CommandLineOptions options;
    options.startTime = 2.0;
    options.endTime = 3.5;
    options.loop = true;
    const PlaybackSection section = PlaybackSection::FromOptions(options);
    EXPECT_EQ(section.FirstFrame(10.0), 20);
    EXPECT_EQ(section.EndFrame(10.0), 35);
    EXPECT_TRUE(section.loop);
    EXPECT_FALSE(section.IsOver(3.49));
    EXPECT_TRUE(section.IsOver(3.5));
    EXPECT_EQ(PlaybackSection{}.EndFrame(10.0), -1);
    EXPECT_FALSE(PlaybackSection{}.IsOver(1.0e9));
}

TEST(PlaybackSection, StopTimeIsTheFirstEndNarrowedByTheSectionAndTheFrameLimit)
{
    const auto block = [](float time, std::vector<OperationKind> kinds) {
        TimeBlock made;
        made.time = time;
        for (OperationKind kind : kinds) {
            made.operations.emplace_back();
            made.operations.back().kind = kind;
        }
        return made;
    };
    Script endsAt3;
    endsAt3.blocks = {block(-1.0f, {OperationKind::Create}), block(3.0f, {OperationKind::Update, OperationKind::End}),
                      block(9.0f, {OperationKind::End})};
    Script endsAtOnce;  // an END in a block before the start fires at once
    endsAtOnce.blocks = {block(-2.0f, {OperationKind::End})};
    const Script never;
    const struct {
        const Script& script;
        double start, end, fps;
        long frames;
        double want;
    } cases[] = {
        {never, 0, -1, 25, 0, 0.0},      // never stops
        {never, 0, -1, 25, 50, 2.0},     // only the frame limit
        {never, 0, 1.5, 25, 0, 1.5},     // only --end
        {endsAt3, 0, -1, 25, 0, 3.0},    // the first END, not the later one
        {endsAt3, 0, -1, 25, 50, 2.0},   // the limit comes first
        {endsAt3, 0, -1, 25, 500, 3.0},  // END comes first
        {endsAt3, 0, -1, 0, 50, 3.0},    // frames without fixed steps say nothing
        {endsAt3, 1, -1, 25, 25, 2.0},   // frames count from the section's first frame
        {endsAt3, 0, 2.5, 25, 0, 2.5},   // --end before END
        {endsAt3, 0, 7.0, 25, 0, 3.0},   // --end past END changes nothing
        {endsAtOnce, 0, -1, 25, 0, 0.0},
        {endsAt3, 1, -1, 25, LONG_MAX, 3.0},  // the largest limit stays in range: END decides
        {never, 10, -1, 25, LONG_MAX, (250.0 + 9223372036854775807.0) / 25.0},
    };
    for (const auto& c : cases) {
        PlaybackSection section;
        section.start = c.start;
        section.end = c.end;
        EXPECT_DOUBLE_EQ(section.StopTime(c.script, c.fps, c.frames), c.want)
            << c.start << " " << c.end << " " << c.fps << " " << c.frames;
    }
}

// A seek builds its timeline on a pinned clock: the new layers' clocks read the seek time at
// once, and the clock, with everything already playing on it, goes on undisturbed.
TEST_F(AuthorPlaybackTest, StartTimelineAtLeavesTheClockAndTheOldTimelineAlone)
{
    ScopedTestPak pak({{"font1.png", SmallFontSheet(4)}, {"white.jpg", White()}});
    RecordingDevice device;
    device.Open(640, 480, 32);
    Script script;
    ParseScriptText(FlashScript("Pre", "TIME 2 {\r\nCREATE Flash {\r\nNAME Two;\r\n};\r\n};\r\n"), script);
    for (int frame = 0; frame < 45; ++frame)
        counter_.Advance();  // 4.5 s
    const float before = ClockNow();
    auto timeline = StartTimelineAt(device, script, 3.04, 0.0);
    ASSERT_NE(timeline, nullptr);
    EXPECT_EQ(ClockNow(), before);
    EXPECT_FALSE(ClockIsPinned());
    EXPECT_NEAR(timeline->GetElapsed(), 3.04, 1e-4);
    // Frames 1/100 s apart: the block at 2 fired in the frame at 2.01.
    Layer* two = timeline->GetLayers().Find("Two");
    ASSERT_NE(two, nullptr);
    EXPECT_NEAR(before - two->GetClockOrigin(), 3.04 - 2.01, 1e-4);
    EXPECT_NEAR(before - timeline->GetLayers().Find("Pre")->GetClockOrigin(), 3.04, 1e-4);
    EXPECT_EQ(timeline->GetMusicStream(), 0u);

    // With a fixed step the seek is taken to the nearest frame.
    auto stepped = StartTimelineAt(device, script, 3.04, 10.0);
    EXPECT_NEAR(stepped->GetElapsed(), 3.0, 1e-4);

    // END before the seek: no timeline, and the clock is released all the same.
    Script ending;
    ParseScriptText("TIME 1 {\r\nEND;\r\n};\r\n", ending);
    EXPECT_EQ(StartTimelineAt(device, ending, 5.0, 0.0), nullptr);
    EXPECT_FALSE(ClockIsPinned());
    // A failing script releases it too.
    Script failing;
    ParseScriptText("TIME 1 {\r\nUPDATE Ghost {\r\n};\r\n};\r\n", failing);
    EXPECT_THROW(StartTimelineAt(device, failing, 5.0, 0.0), CUserException);
    EXPECT_FALSE(ClockIsPinned());
    EXPECT_EQ(ClockNow(), before);
}

// --start, --end and --loop with a fixed step: frames are numbered from the start's frame,
// the section ends before the end's frame, and a loop starts it again.
TEST_F(AuthorPlaybackTest, SectionsStartEndAndLoopOnTheFrameGrid)
{
    ScopedTestPak pak({{"font1.png", SmallFontSheet(4)}, {"white.jpg", White()}, {"script.txt", FlashScript("Pre", "TIME 2.5 {\r\nEND;\r\n};\r\n")}});
    CommandLineOptions options;
    options.startTime = 1.0;
    options.endTime = 1.5;
    DemoApplication& app = Play(options);
    EXPECT_EQ(app.GetFrameIndex(), 10);
    EXPECT_NEAR(Elapsed(), 1.0, 1e-4);
    for (int frame = 0; frame < 5; ++frame) {
        app.Frame();
        EXPECT_FALSE(IsQuitPosted()) << frame;
    }
    EXPECT_EQ(app.GetFrameIndex(), 15);
    EXPECT_EQ(app.GetFrameCount(), 5);
    app.Frame();  // the frame at 1.5 is not drawn: the section is over
    EXPECT_TRUE(IsQuitPosted());
    EXPECT_EQ(app.GetFrameCount(), 5);
    ClearPostedQuitForTesting();

    // Looping a section that runs into END: back to the start each time round.
    options.startTime = 2.0;
    options.endTime = -1.0;
    options.loop = true;
    DemoApplication& looping = Play(options);
    std::vector<long> indices;  // of the frames drawn
    for (int frame = 0; frame < 14; ++frame) {
        looping.Frame();
        indices.push_back(looping.GetFrameIndex() - 1);
    }
    EXPECT_FALSE(IsQuitPosted());
    // END at 2.5 fires in the frame at 2.6 (index 26); the next frame starts at 2.0 again.
    const std::vector<long> expected = {20, 21, 22, 23, 24, 25, 26, 20, 21, 22, 23, 24, 25, 26};
    EXPECT_EQ(indices, expected);
    EXPECT_EQ(Names(), "Pre");
    // Each round starts the demo clock from zero: 7 frames of 0.1 s since the last restart,
    // however long the run has been going.
    EXPECT_NEAR(ClockNow(), 0.7f, 1e-4);
}

// Production time decides where a section starts and ends, whatever the rate and pauses:
// the frames skipped before --start are not played at the speed, --end is a time, not a
// frame count, and frames drawn while paused neither number on nor bring the end nearer.
TEST_F(AuthorPlaybackTest, SectionsStartAndEndAtTheirProductionTimesAtAnySpeedAndThroughPauses)
{
    const std::string script = "TIMESTRETCH Yes;\r\n" + FlashScript("Pre", "TIME 113 {\r\nEND;\r\n};\r\n");
    ScopedTestPak pak({{"font1.png", SmallFontSheet(4)}, {"white.jpg", White()}, {"script.txt", script}});
    const auto framesUntilQuit = [&](DemoApplication& app) {
        int frames = 0;
        while (!IsQuitPosted() && frames < 1000) {
            app.Frame();
            frames += IsQuitPosted() ? 0 : 1;
        }
        ClearPostedQuitForTesting();
        return frames;
    };
    const struct {
        int speed;
        double start, end;
        double firstTime;  // production seconds of the first frame
        long firstIndex;
        int frames;        // drawn until the end
    } cases[] = {
        {9, 20.0, -1.0, 20.0, 200, -1},  // at 10 frames/s; 9 x 200 frames would pass END
        {2, 0.0, 10.0, 0.0, 0, 50},      // 0.2 s a frame: 0.0 to 9.8
        {9, 100.0, 103.0, 100.0, 1000, 4},  // 100.0, 100.9, 101.8, 102.7
        {1, 0.0, 1.0, 0.0, 0, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.speed);
        CommandLineOptions options;
        options.speed = c.speed;
        options.startTime = c.start;
        options.endTime = c.end;
        DemoApplication& app = Play(options);
        ASSERT_NE(app.GetTimeline(), nullptr) << "started at " << c.start;
        EXPECT_FALSE(IsQuitPosted());
        EXPECT_NEAR(Elapsed(), c.firstTime, 1e-3);
        EXPECT_EQ(app.GetFrameIndex(), c.firstIndex);
        app.Frame();
        EXPECT_NEAR(Elapsed(), c.firstTime + 0.1 * c.speed, 1e-3);
        if (c.frames >= 0) {
            EXPECT_EQ(1 + framesUntilQuit(app), c.frames);
        }
        ClockSetRate(1.0f);
        ClearPostedQuitForTesting();
    }

    // A pause of five frames in a one-second section: the section still draws its ten
    // production frames, numbered 0 to 9, besides the five paused ones.
    CommandLineOptions author;
    author.author = true;
    author.endTime = 1.0;
    DemoApplication& app = Play(author);
    std::vector<long> indices;
    for (int frame = 0; frame < 3; ++frame) {
        indices.push_back(app.GetFrameIndex());
        app.Frame();
    }
    Key(32);
    for (int frame = 0; frame < 5; ++frame) {
        indices.push_back(app.GetFrameIndex());
        app.Frame();
    }
    Key(32);
    while (!IsQuitPosted() && indices.size() < 100) {
        indices.push_back(app.GetFrameIndex());
        app.Frame();
    }
    indices.pop_back();  // the frame that found the section over drew nothing
    EXPECT_EQ(indices, (std::vector<long>{0, 1, 2, 3, 3, 3, 3, 3, 3, 4, 5, 6, 7, 8, 9}));
}

TEST_F(AuthorPlaybackTest, StartingAfterTheEndQuitsAtOnce)
{
    ScopedTestPak pak({{"font1.png", SmallFontSheet(4)}, {"white.jpg", White()}, {"script.txt", FlashScript("Pre", "TIME 2.5 {\r\nEND;\r\n};\r\n")}});
    CommandLineOptions options;
    options.startTime = 4.0;
    DemoApplication& app = Play(options);
    EXPECT_TRUE(IsQuitPosted());
    EXPECT_EQ(app.GetTimeline(), nullptr);
}

TEST_F(AuthorPlaybackTest, AuthorKeysPauseSeekAndRestartAndViewersKeysStayAsTheyWere)
{
    const std::string script = FlashScript("Pre", "TIME 40 {\r\nCREATE Flash {\r\nNAME Forty;\r\n};\r\n};\r\n");
    ScopedTestPak pak({{"font1.png", SmallFontSheet(4)}, {"white.jpg", White()}, {"script.txt", script}});
    CommandLineOptions viewer;
    DemoApplication& plain = Play(viewer);
    for (int vk : {32, 33, 34, 36, 37, 39})
        Key(vk);
    plain.Frame();
    plain.Frame();
    // The clock stands at the next frame's time: two frames drawn, at 0.0 and 0.1.
    EXPECT_NEAR(Elapsed(), 0.2, 1e-4) << "no author keys for viewers";
    EXPECT_FALSE(plain.IsPaused());

    CommandLineOptions author;
    author.author = true;
    author.startTime = 10.0;
    DemoApplication& app = Play(author);
    app.Frame();
    EXPECT_NEAR(Elapsed(), 10.1, 1e-4);

    // Space: the picture stands still while frames go on, and the time says so.
    Key(32);
    EXPECT_TRUE(app.IsPaused());
    device_->ClearCalls();
    app.Frame();
    app.Frame();
    EXPECT_NEAR(Elapsed(), 10.1, 1e-4);
    const size_t glyphs = std::string("10.10 s  paused").size() - 2;  // spaces draw nothing
    EXPECT_GE(static_cast<size_t>(device_->Count(Op::SurfaceDraw)), 2 * glyphs);

    // Seeks while paused stay paused; presses before a frame add up.
    Key(39);
    Key(39);
    app.Frame();
    EXPECT_NEAR(Elapsed(), 20.1, 1e-4);
    EXPECT_TRUE(app.IsPaused());
    Key(33);  // Page Up: 30 s on, past the block at 40
    app.Frame();
    EXPECT_NEAR(Elapsed(), 50.1, 1e-4);
    EXPECT_EQ(Names(), "Pre Forty");
    Key(34);  // Page Down: 30 s back, before the block
    app.Frame();
    EXPECT_NEAR(Elapsed(), 20.1, 1e-4);
    EXPECT_EQ(Names(), "Pre");
    for (int press = 0; press < 6; ++press)
        Key(37);  // 30 s back from 20: no earlier than 0
    app.Frame();
    EXPECT_NEAR(Elapsed(), 0.0, 1e-4);
    EXPECT_EQ(app.GetFrameIndex(), 0) << "a paused frame keeps the index";

    Key(32);
    EXPECT_FALSE(app.IsPaused());
    app.Frame();
    app.Frame();
    EXPECT_NEAR(Elapsed(), 0.2, 1e-4);
    Key(36);  // Home: back to --start
    app.Frame();
    EXPECT_NEAR(Elapsed(), 10.1, 1e-4);
    // Escape quits as always.
    Key(27);
    EXPECT_TRUE(IsQuitPosted());
}

TEST(FileWatcherTest, ReportsWrittenReplacedAndDeletedFilesOnceAndTellsWatchedOnesApart)
{
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "watcher";
    fs::remove_all(dir);
    fs::create_directories(dir / "sub");
    std::ofstream(dir / "a.txt") << "a";
    std::ofstream(dir / "sub" / "b.txt") << "b";
    FileWatcher watcher;
    ASSERT_TRUE(watcher.Watch((dir / "a.txt").string()));
    ASSERT_TRUE(watcher.Watch((dir / "sub" / ".." / "sub" / "b.txt").string()));
    EXPECT_FALSE(watcher.Watch((dir / "missing" / "c.txt").string()));
    EXPECT_TRUE(watcher.TakeChanges().empty());

    std::ofstream(dir / "a.txt") << "written in place";
    WriteFile(dir / "sub" / "b.txt", "replaced");
    std::ofstream(dir / "other.txt") << "not watched";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::vector<FileWatcher::Change> changes = watcher.TakeChanges();
    std::vector<std::string> watched, others;
    for (const FileWatcher::Change& change : changes)
        (change.watched ? watched : others).push_back(change.path);
    // Each watched file once, named as it was given; the rest by full path.
    EXPECT_EQ(watched, (std::vector<std::string>{(dir / "a.txt").string(),
                                                 (dir / "sub" / ".." / "sub" / "b.txt").string()}));
    EXPECT_NE(std::find(others.begin(), others.end(), fs::weakly_canonical(dir / "other.txt").string()), others.end());
    EXPECT_TRUE(watcher.TakeChanges().empty());

    fs::remove(dir / "a.txt");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::vector<FileWatcher::Change> removed = watcher.TakeChanges();
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_TRUE(removed[0].watched);
}

// A checkout or rsync replaces whole folders, and a flood of changes overflows the kernel's
// queue: neither may end the reloads.
TEST(FileWatcherTest, AReplacedFolderIsWatchedAgainAndLostEventsAreReportedOnce)
{
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "watcher-replaced";
    fs::remove_all(dir);
    fs::create_directories(dir / "data");
    std::ofstream(dir / "data" / "a.txt") << "a";
    FileWatcher watcher;
    const std::string given = (dir / "data" / "a.txt").string();
    ASSERT_TRUE(watcher.Watch(given));
    const auto watchedChanges = [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::vector<std::string> paths;
        for (const FileWatcher::Change& change : watcher.TakeChanges())
            if (change.watched)
                paths.push_back(change.path);
        return paths;
    };

    // Moved away and a new folder put in its place: the file is reported, then changes in
    // the new folder are seen and not those in the old one.
    fs::rename(dir / "data", dir / "data.old");
    fs::create_directories(dir / "data");
    std::ofstream(dir / "data" / "a.txt") << "new";
    EXPECT_EQ(watchedChanges(), std::vector<std::string>{given});
    std::ofstream(dir / "data.old" / "a.txt") << "old folder";
    std::ofstream(dir / "data" / "a.txt") << "edited";
    EXPECT_EQ(watchedChanges(), std::vector<std::string>{given});
    EXPECT_TRUE(watchedChanges().empty());

    // Deleted and made again later: watched again as soon as it is back.
    fs::remove_all(dir / "data");
    EXPECT_EQ(watchedChanges(), std::vector<std::string>{given});
    fs::create_directories(dir / "data");
    std::ofstream(dir / "data" / "a.txt") << "back";
    EXPECT_EQ(watchedChanges(), std::vector<std::string>{given});
    std::ofstream(dir / "data" / "a.txt") << "edited again";
    EXPECT_EQ(watchedChanges(), std::vector<std::string>{given});

    // More events than the kernel queues (16384 by default): one watched change without a path.
    std::ifstream limitFile("/proc/sys/fs/inotify/max_queued_events");
    long limit = 16384;
    limitFile >> limit;
    if (limit > 100000)
        GTEST_SKIP() << "the kernel queues " << limit << " events";
    for (long k = 0; k <= limit / 2 + 10; ++k) {
        const fs::path file = dir / "data" / ("f" + std::to_string(k));
        std::ofstream(file) << "x";
        fs::remove(file);
    }
    const std::vector<std::string> flooded = watchedChanges();
    EXPECT_EQ(std::count(flooded.begin(), flooded.end(), std::string()), 1) << flooded.size();
}

// --watch through a real folder: a changed script plays at once from the time reached; a
// broken one is shown and the one before plays on; a changed image is read again; an error
// while playing brings back the script before it.
TEST_F(AuthorPlaybackTest, WatchReloadsChangedFilesAndKeepsThePreviousScriptAfterAnError)
{
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "watch-reload";
    fs::remove_all(dir);
    fs::create_directories(dir / "gfx");
    WriteFile(dir / "font1.png", SmallFontSheet(4));
    WriteFile(dir / "white.jpg", White());
    WriteFile(dir / "gfx" / "pic.png", EncodePng(4, 4, SolidRgb(4, 4, 255, 0, 0)));
    const std::string picture = "CREATE GFXLayer {\r\nNAME Pic;\r\nTexture \"pic.png\";\r\nStableTime 1000;\r\n};\r\n";
    WriteFile(dir / "Script.txt", FlashScript("One") + "TIME 0.5 {\r\n" + picture + "};\r\n");
    SetArchive(nullptr);
    SetDataFolder(dir.string());
    CommandLineOptions options;
    options.watch = true;
    options.dataDir = dir.string();
    DemoApplication& app = Play(options);
    for (int frame = 0; frame < 10; ++frame)
        app.Frame();
    ASSERT_EQ(Names(), "One Pic");
    const MapResource* red = device_->GetMapCache().Find("pic.png");
    ASSERT_NE(red, nullptr);

    // Frames go on until the reload shows (the watcher waits for the files to be quiet).
    auto frameUntil = [&](const std::function<bool()>& done) {
        for (int tries = 0; tries < 300 && !done(); ++tries) {
            app.Frame();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return done();
    };
    WriteFile(dir / "Script.txt", FlashScript("Two") + "TIME 0.5 {\r\n" + picture + "};\r\n");
    ASSERT_TRUE(frameUntil([&] { return Names() == "Two Pic"; })) << Names();
    const float reloadedAt = Elapsed();
    EXPECT_GT(reloadedAt, 1.0f) << "the new script starts where the old one stood";
    EXPECT_EQ(device_->GetMapCache().Find("pic.png"), red) << "an unchanged image is shared";

    WriteFile(dir / "Script.txt", FlashScript("Three") + "TIME 0 {\r\nCREATE NoSuchLayer {\r\n};\r\n};\r\n");
    ASSERT_TRUE(frameUntil([&] { return !app.GetWatchError().empty(); }));
    EXPECT_NE(app.GetWatchError().find("NoSuchLayer"), std::string::npos) << app.GetWatchError();
    EXPECT_EQ(Names(), "Two Pic") << "the previous script plays on";
    const float shownAt = Elapsed();
    app.Frame();
    EXPECT_NEAR(Elapsed(), shownAt + 0.1f, 1e-3);
    device_->ClearCalls();
    app.Frame();
    EXPECT_GT(device_->Count(Op::SurfaceDraw), 10) << "the error is printed on screen";

    // The fix clears the error; a changed image is read again, not taken from the cache.
    WriteFile(dir / "gfx" / "pic.png", EncodePng(4, 4, SolidRgb(4, 4, 0, 0, 255)));
    WriteFile(dir / "Script.txt", FlashScript("Four") + "TIME 0.5 {\r\n" + picture + "};\r\n");
    ASSERT_TRUE(frameUntil([&] { return Names() == "Four Pic"; })) << Names() << " " << app.GetWatchError();
    EXPECT_TRUE(app.GetWatchError().empty());
    const MapResource* blue = device_->GetMapCache().Find("pic.png");
    ASSERT_NE(blue, nullptr);
    EXPECT_NE(blue, red);
    EXPECT_EQ(device_->GetMapCache().GetRetiredCount(), 0u) << "the old picture went with the old script";

    // A changed font sheet is read again; the font the old script printed with stays valid.
    Font* oldFont = device_->GetFont("font1.png");
    ASSERT_EQ(oldFont->GetHeight(), 4);
    WriteFile(dir / "font1.png", SmallFontSheet(7));
    ASSERT_TRUE(frameUntil([&] { return device_->GetFont("font1.png") != oldFont; }));
    EXPECT_EQ(device_->GetFont("font1.png")->GetHeight(), 7);
    EXPECT_EQ(oldFont->GetHeight(), 4);
    EXPECT_EQ(Names(), "Four Pic");

    // An error that comes while the new script plays: shown, and the script before it returns.
    const float now = Elapsed();
    char late[32];
    // Late enough that the reload (which waits for quiet files while frames go on) comes first.
    std::snprintf(late, sizeof late, "%.1f", now + 8.0f);
    WriteFile(dir / "Script.txt", FlashScript("Five") + "TIME " + late + " {\r\nUPDATE Ghost {\r\n};\r\n};\r\n");
    ASSERT_TRUE(frameUntil([&] { return Names() == "Five"; })) << Names();
    ASSERT_TRUE(frameUntil([&] { return !app.GetWatchError().empty(); }));
    EXPECT_EQ(app.GetWatchError(), "Could not find any layer named [Ghost].");
    EXPECT_EQ(Names(), "Four Pic");
    EXPECT_FALSE(IsQuitPosted());
}

TEST_F(AuthorPlaybackTest, StretchKeysWhilePausedTakeEffectOnResuming)
{
    ScopedTestPak pak({{"font1.png", SmallFontSheet(4)}, {"white.jpg", White()},
                       {"script.txt", "TIMESTRETCH Yes;\r\n" + FlashScript("Pre")}});
    CommandLineOptions author;
    author.author = true;
    DemoApplication& app = Play(author);
    app.Frame();
    Key(32);
    Key(VK_F1 + 2);  // F3 while paused: the picture stays still
    app.Frame();
    app.Frame();
    EXPECT_NEAR(Elapsed(), 0.1, 1e-4);
    EXPECT_EQ(ClockGetRate(), 0.0f);
    Key(32);
    app.Frame();
    EXPECT_EQ(ClockGetRate(), 3.0f);
    EXPECT_NEAR(Elapsed(), 0.4, 1e-4) << "three times faster from the moment it resumed";
}
