// Tests of the timeline: start-up, firing of blocks, layer operations, descriptions, music and tear-down.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <set>
#include "support/FakeClock.h"
#include "support/TestMedia.h"
#include "engine/core/Fatal.h"
#include "engine/core/Log.h"
#include "engine/layers/LayerRegistry.h"
#include "script/ScriptParser.h"
#include "script/Timeline.h"
#include "sound/SoundSystem.h"
#include "support/RecordingDevice.h"
#include "support/TestPak.h"

namespace {

std::vector<std::string> g_events;

void CollectLog(const char* text) {
    g_events.push_back(std::string("log:") + text);
}

// A layer type that records its life: init, release (with whether music still played), renders.
class TimelineProbe : public Layer {
public:
    TimelineProbe(RenderDevice& device, const std::vector<LayerOperation>& nested) : Layer(device, nested) {
        AddStringAccessor(0, "Tag", &tag);
        SetDefaultName("Probe [%X]");
    }
    void Init() override { g_events.push_back("init:" + name + ":" + tag); }
    void Release() override {
        g_events.push_back(std::string("release:") + name + (SoundSystem::IsPlaying() ? ":music" : ":silent"));
    }
    std::string tag;

protected:
    void Render() override { g_events.push_back("render:" + name); }
};

static LayerRegistrar<TimelineProbe> probeRegistrar("TimelineProbe");

// A layer whose drawing fails, as a scene player's does on a camera its scene lacks.
class FailingProbe : public Layer {
public:
    FailingProbe(RenderDevice& device, const std::vector<LayerOperation>& nested) : Layer(device, nested) {}
    void Init() override {}
    void Release() override {}

protected:
    void Render() override { ReportFatal("Broken render."); }
};

static LayerRegistrar<FailingProbe> failingRegistrar("FailingProbe");

std::vector<std::string> Only(const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& event : g_events)
        if (event.rfind(prefix, 0) == 0) found.push_back(event);
    return found;
}

class TimelineTest : public ::testing::Test {
protected:
    TimelineTest()
        : pak({{"font1.png", MakeFontSheetPng(3, 4)},
               {"loading.png", MakePng(2, 2, std::vector<uint8_t>(12, 200))},
               {"music.wav", MakeSineWav(3.0)},
               {"broken.mp3", "this is not music"}}) {
        g_events.clear();
        SetLogCallback(CollectLog);
        setenv("SDL_AUDIODRIVER", "dummy", 1);  // never the machine's speakers
        device.Open(640, 480, 32);
    }
    ~TimelineTest() override {
        timeline.reset();
        SoundSystem::Shutdown();
        SetLogCallback(nullptr);
    }

    // Creates the timeline at clock `now` from script text and starts it.
    Timeline& StartScript(const std::string& text, double now = 0.0) {
        clock.Set(now);
        timeline = std::make_unique<Timeline>(device);
        ParseScriptText(text, timeline->GetScript());
        timeline->Start();
        return *timeline;
    }
    bool StepAt(double now) {
        clock.Set(now);
        return timeline->Step();
    }
    std::vector<std::string> StackNames() {
        std::vector<std::string> names;
        for (size_t i = 0; i < timeline->GetLayers().Size(); ++i)
            names.push_back(timeline->GetLayers().At(i)->GetName());
        return names;
    }

    FakeClock clock;
    ScopedTestPak pak;
    RecordingDevice device;
    std::unique_ptr<Timeline> timeline;
};

std::string Create(const std::string& name, const std::string& body = "") {
    return "CREATE TimelineProbe {\r\nNAME " + name + ";\r\n" + body + "};\r\n";
}

}  // namespace

TEST_F(TimelineTest, BlocksFireStrictlyAfterTheirTimeAndStartLayerClocksThere) {
    StartScript("TIME 0 {\r\n" + Create("Zero") + "};\r\nTIME 2 {\r\n" + Create("Two", "StartTime 1;\r\n") + "};\r\n",
                10.0);
    EXPECT_EQ(timeline->GetStartTime(), 10.0f);
    EXPECT_TRUE(StepAt(10.0));  // elapsed exactly 0: nothing yet
    EXPECT_TRUE(timeline->GetLayers().Empty());
    EXPECT_TRUE(StepAt(10.5));
    EXPECT_EQ(StackNames(), std::vector<std::string>{"Zero"});
    EXPECT_EQ(timeline->GetLayers().At(0)->GetClockOrigin(), 10.5f);
    EXPECT_EQ(Only("render:"), std::vector<std::string>{"render:Zero"});

    // A late frame fires the block at that frame; StartTime counts from there. Fired blocks stay fired.
    StepAt(13.0);
    Layer* two = timeline->GetLayers().Find("Two");
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->GetClockOrigin(), 13.0f);
    g_events.clear();
    StepAt(13.5);
    EXPECT_EQ(Only("render:"), std::vector<std::string>{"render:Zero"});
    StepAt(14.0);
    EXPECT_EQ(Only("render:"), (std::vector<std::string>{"render:Zero", "render:Zero", "render:Two"}));
    EXPECT_EQ(timeline->GetLayers().Size(), 2u);
    EXPECT_FLOAT_EQ(timeline->GetElapsed(), 4.0f);
}

TEST_F(TimelineTest, OnlyTheFirstNegativeBlockIsPreloadedAndOnlyItsCreates) {
    StartScript("TIME -1 {\r\n" + Create("Late") +
                    "};\r\n"
                    "TIME -2 {\r\nDESC \"Intro\";\r\n" +
                    Create("Early", "Tag first;\r\n") +
                    "UPDATE Nobody {\r\n};\r\nDELETE Early {\r\n};\r\nEND;\r\n" + Create("Second") + "};\r\n",
                3.0);
    // The preload block is gone from the list; its layers restarted before the start time.
    EXPECT_EQ(timeline->GetScript().blocks.size(), 1u);
    EXPECT_EQ(StackNames(), (std::vector<std::string>{"Early", "Second"}));
    EXPECT_EQ(timeline->GetLayers().At(0)->GetClockOrigin(), 3.0f);
    EXPECT_EQ(Only("init:"), (std::vector<std::string>{"init:Early:first", "init:Second:"}));
    ASSERT_EQ(timeline->GetDescriptions().size(), 1u);
    EXPECT_EQ(timeline->GetDescriptions()[0], std::make_pair(std::string("Intro"), 5.0f));

    // The other negative block fires in the first frame, with its clock at that frame.
    EXPECT_TRUE(StepAt(3.25));
    EXPECT_EQ(StackNames(), (std::vector<std::string>{"Early", "Second", "Late"}));
    EXPECT_EQ(timeline->GetLayers().At(2)->GetClockOrigin(), 3.25f);
}

TEST_F(TimelineTest, OperationsApplyInOrderAndEndStopsTheFrame) {
    StartScript("TIME 1 {\r\n" + Create("A", "CREATE Smoke {\r\nDensity 2;\r\n};\r\n") + Create("B") +
                    "CREATE TimelineProbe {\r\nNAME C;\r\nINSERT Bottom;\r\n};\r\n"
                    "};\r\n"
                    "TIME 2 {\r\nUPDATE A {\r\nMOVE Bottom;\r\nTag moved;\r\n};\r\nUPDATE C {\r\nMOVE Top;\r\n};\r\n"
                    "DELETE Nobody {\r\n};\r\nDELETE B {\r\n};\r\n};\r\n"
                    "TIME 3 {\r\n" +
                    Create("D") + "DELETE D {\r\n};\r\n" + Create("E") +
                    "};\r\n"
                    "TIME 4 {\r\n" +
                    Create("F") + "END;\r\n" + Create("G") + "};\r\n");
    StepAt(1.5);
    EXPECT_EQ(StackNames(), (std::vector<std::string>{"C", "A", "B"}));
    EXPECT_EQ(Only("render:"), (std::vector<std::string>{"render:C", "render:A", "render:B"}));
    // The nested operations of a CREATE reach the layer it makes, and only that layer.
    const std::vector<LayerOperation>& nested = timeline->GetLayers().Find("A")->GetNestedOperations();
    ASSERT_EQ(nested.size(), 1u);
    EXPECT_EQ(nested[0].target, "Smoke");
    ASSERT_EQ(nested[0].assignments.size(), 1u);
    EXPECT_EQ(nested[0].assignments[0].value, "2");
    EXPECT_TRUE(timeline->GetLayers().Find("B")->GetNestedOperations().empty());

    g_events.clear();
    StepAt(2.5);
    EXPECT_EQ(StackNames(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(static_cast<TimelineProbe*>(timeline->GetLayers().At(0))->tag, "moved");
    EXPECT_EQ(Only("render:"), (std::vector<std::string>{"render:A", "render:C"}));
    EXPECT_EQ(Only("release:"), std::vector<std::string>{"release:B:silent"});

    // A layer deleted in the frame that created it is gone before the restarts.
    StepAt(3.5);
    EXPECT_EQ(StackNames(), (std::vector<std::string>{"A", "C", "E"}));
    EXPECT_EQ(timeline->GetLayers().At(2)->GetClockOrigin(), 3.5f);

    g_events.clear();
    EXPECT_FALSE(StepAt(4.5));
    EXPECT_EQ(StackNames(), (std::vector<std::string>{"A", "C", "E", "F"}));
    EXPECT_TRUE(Only("render:").empty());
}

TEST_F(TimelineTest, UpdateOfAMissingLayerIsFatal) {
    StartScript("TIME 1 {\r\nUPDATE Ghost {\r\nRESTART Yes;\r\n};\r\n};\r\n");
    try {
        StepAt(2.0);
        ADD_FAILURE() << "an UPDATE of a missing layer must be fatal";
    } catch (const CUserException& error) {
        // The fixed text, then where: the UPDATE on the script's second line.
        EXPECT_STREQ(error.what(), "Could not find any layer named [Ghost].\r\n(UPDATE, script line 2)");
    }
}

TEST_F(TimelineTest, NamedLayersOutliveTheirWindowAndRestartOnRequest) {
    StartScript("TIME -1 {\r\n" + Create("Sol", "LifeTime 1;\r\n") +
                    "CREATE TimelineProbe {\r\nLifeTime 1;\r\n};\r\n"
                    "CREATE TimelineProbe {\r\nLifeTime 1;\r\n};\r\n"
                    "};\r\n"
                    "TIME 5 {\r\nUPDATE Sol {\r\nRESTART Yes;\r\n};\r\n};\r\n");
    ASSERT_EQ(timeline->GetLayers().Size(), 3u);
    const std::string lower = timeline->GetLayers().At(1)->GetName();
    const std::string upper = timeline->GetLayers().At(2)->GetName();
    EXPECT_NE(lower, upper);

    // Both unnamed layers expire in the same frame and leave in two frames, lower first.
    StepAt(2.0);
    EXPECT_EQ(StackNames(), (std::vector<std::string>{"Sol", upper}));
    StepAt(2.1);
    EXPECT_EQ(StackNames(), std::vector<std::string>{"Sol"});
    g_events.clear();
    StepAt(3.0);
    EXPECT_EQ(StackNames(), std::vector<std::string>{"Sol"});
    EXPECT_TRUE(Only("render:").empty());

    StepAt(5.5);
    EXPECT_EQ(Only("render:"), std::vector<std::string>{"render:Sol"});
    EXPECT_EQ(timeline->GetLayers().At(0)->GetClockOrigin(), 5.5f);
}

TEST_F(TimelineTest, DescriptionsStackUpwardsAndOnlyTheNewestExpires) {
    device.SelectMode(device.GetDriver(0).GetDevice(0).GetMode(2));  // 800 x 600
    ASSERT_EQ(device.GetSelectedMode()->height, 600);
    StartScript("SHOWDESC Yes;\r\nTIME 10 {\r\nDESC \"Old 100%\";\r\n};\r\nTIME 12 {\r\nDESC \"New %s\";\r\n};\r\n");
    StepAt(10.0);
    StepAt(12.0);
    StepAt(12.5);
    ASSERT_EQ(timeline->GetDescriptions().size(), 2u);
    EXPECT_FLOAT_EQ(timeline->GetDescriptions()[1].second, 17.5f);

    // Printed as text at x 10: the oldest on the bottom line, each line font height + 4 higher.
    device.ClearCalls();
    StepAt(16.0);
    const auto draws = device.All(Op::SurfaceDraw);
    ASSERT_EQ(draws.size(), std::string("Old 100%").size() + std::string("New %s").size());
    EXPECT_EQ(draws[0]->As<SurfaceDrawArgs>().x, 10);
    EXPECT_EQ(draws[0]->As<SurfaceDrawArgs>().y, 600 - 8);
    EXPECT_EQ(draws.back()->As<SurfaceDrawArgs>().y, 600 - 16);

    // The older one's expiry (15.0) is not looked at; the newer one leaves first.
    EXPECT_EQ(timeline->GetDescriptions().size(), 2u);
    StepAt(17.6);
    ASSERT_EQ(timeline->GetDescriptions().size(), 1u);
    EXPECT_EQ(timeline->GetDescriptions()[0].first, "Old 100%");
    StepAt(17.7);
    EXPECT_TRUE(timeline->GetDescriptions().empty());
}

TEST_F(TimelineTest, HiddenDescriptionsAccumulateWithoutDrawing) {
    StartScript("TIME -1 {\r\nDESC Pre;\r\n};\r\nTIME 1 {\r\nDESC One;\r\n};\r\n");
    device.ClearCalls();
    StepAt(1.5);
    StepAt(60.0);
    EXPECT_EQ(timeline->GetDescriptions().size(), 2u);
    EXPECT_EQ(device.Count(Op::SurfaceDraw), 0);
}

TEST_F(TimelineTest, LoadingImageIsDrawnOnceOutsideAScene) {
    timeline = std::make_unique<Timeline>(device);
    ParseScriptText("LOADINGIMG loading.png;\r\n", timeline->GetScript());
    device.ClearCalls();
    timeline->Start();
    // What the device does inside SetOrtho and Load is its own business.
    const std::set<Op> inner{Op::TextureUpload, Op::SetWorld, Op::SetView, Op::SetProjection};
    std::vector<Op> names;
    for (const RecordedCall& call : device.calls)
        if (inner.count(call.op) == 0) names.push_back(call.op);
    const std::vector<Op> expected{Op::CreateTexture, Op::SetOrtho, Op::EnableLighting, Op::EnableAlphaBlend,
                                            Op::EnableDepth, Op::SetTexture, Op::Draw, Op::Present, Op::Clear,
                                            Op::DestroyTexture};
    EXPECT_EQ(names, expected);
    const RecordedCall* ortho = device.Last(Op::SetOrtho);
    EXPECT_EQ(ortho->As<OrthoArgs>(), (OrthoArgs{1, 1, 1, -1}));
    const RecordedCall* draw = device.Last(Op::Draw);
    EXPECT_EQ(draw->Draw().primitive, PrimitiveType::TriangleStrip);
    ASSERT_EQ(draw->Vertices().size(), 4u);
    EXPECT_EQ(draw->Vertices()[0].x, 0.5f);
    EXPECT_EQ(draw->Vertices()[0].y, -0.5f);
    EXPECT_EQ(draw->Vertices()[0].u0, 0.998f);
    EXPECT_EQ(draw->Vertices()[3].x, -0.5f);
    EXPECT_EQ(draw->Vertices()[3].v0, 0.002f);
    EXPECT_EQ(draw->Vertices()[2].color, 0xFFFFFFFFu);
    EXPECT_EQ(device.Last(Op::SetTexture)->object, device.Last(Op::CreateTexture)->object);
    EXPECT_EQ(device.Count(Op::BeginScene), 0);
    EXPECT_EQ(device.liveTextures, 0);
}

TEST_F(TimelineTest, MusicPlaysFromMemoryAndStopsBeforeTheLayersGo) {
    SoundSystem::Init();
    StartScript("MUSICSTREAM music.wav;\r\nTIME -1 {\r\n" + Create("Bottom") + Create("Top") + "};\r\n");
    EXPECT_NE(timeline->GetMusicStream(), 0u);
    EXPECT_TRUE(SoundSystem::IsPlaying());
    g_events.clear();
    timeline.reset();
    EXPECT_FALSE(SoundSystem::IsPlaying());
    EXPECT_EQ(g_events, (std::vector<std::string>{"release:Bottom:silent", "log:Destroying Layer [Bottom]",
                                                  "release:Top:silent", "log:Destroying Layer [Top]"}));
}

TEST_F(TimelineTest, LoadingImageStaysUpUntilTheMusicHasStarted) {
    SoundSystem::Init();
    // Music that cannot be read stops the start with the loading image still alive...
    try {
        StartScript("LOADINGIMG loading.png;\r\nMUSICSTREAM missing.mp3;\r\n");
        ADD_FAILURE() << "a missing music file must be fatal";
    } catch (const CUserException&) {
    }
    EXPECT_EQ(device.Count(Op::DestroyTexture), 0);
    EXPECT_EQ(device.liveTextures, 1);
    timeline.reset();
    EXPECT_EQ(device.liveTextures, 0);
    // ...and music that plays finds it gone once Start returns.
    device.ClearCalls();
    StartScript("LOADINGIMG loading.png;\r\nMUSICSTREAM music.wav;\r\n");
    EXPECT_TRUE(SoundSystem::IsPlaying());
    EXPECT_EQ(device.Count(Op::DestroyTexture), 1);
    EXPECT_EQ(device.liveTextures, 0);
}

TEST_F(TimelineTest, MusicFailuresAreFatal) {
    SoundSystem::Init();
    try {
        StartScript("MUSICSTREAM missing.mp3;\r\n");
        ADD_FAILURE() << "a missing music file must be fatal";
    } catch (const CUserException& error) {
        EXPECT_STREQ(error.what(), "Cannot open [missing.mp3]\r\n(the music file named by MUSICSTREAM)");
    }
    timeline.reset();
    try {
        StartScript("MUSICSTREAM broken.mp3;\r\n");
        ADD_FAILURE() << "undecodable music must be fatal";
    } catch (const CUserException& error) {
        EXPECT_STREQ(error.what(), "Unknown SoundSystem error.");
    }
    EXPECT_EQ(timeline->GetMusicStream(), 0u);
    EXPECT_FALSE(SoundSystem::IsPlaying());
}

namespace {

// The script every seeking case plays: a preloaded layer, a block that creates one and a
// later one that restarts it, an unnamed layer that expires, a deletion, a description.
const std::string kSeekScript =
    "SHOWDESC Yes;\r\n"
    "TIME -1 {\r\n" + Create("Pre") + "};\r\n"
    "TIME 1 {\r\nDESC One;\r\n" + Create("A") + "CREATE TimelineProbe {\r\nLifeTime 0.5;\r\n};\r\n};\r\n"
    "TIME 2 {\r\nUPDATE A {\r\nRESTART Yes;\r\nMOVE Bottom;\r\n};\r\n};\r\n"
    "TIME 3 {\r\nDELETE Pre {\r\n};\r\n" + Create("B") + "};\r\n";

struct LayerState {
    std::string name;
    float origin;
    bool operator==(const LayerState&) const = default;
};

std::vector<LayerState> StackState(Timeline& timeline) {
    std::vector<LayerState> state;
    for (size_t i = 0; i < timeline.GetLayers().Size(); ++i) {
        Layer* layer = timeline.GetLayers().At(i);
        // Unnamed layers get random names; only whether one is there matters.
        state.push_back({layer->IsAutoDelete() ? "(unnamed)" : layer->GetName(), layer->GetClockOrigin()});
    }
    return state;
}

}  // namespace

// Seeking to T by StartAt leaves the stack, every layer's clock origin and the descriptions
// exactly as a full run stepped frame by frame to T, for T before, at and after block times.
TEST_F(TimelineTest, StartAtLeavesEverythingAsAFullRunDoes) {
    struct Case {
        double seek;                        // seconds, on the 0.25 s frame grid
        std::vector<LayerState> expected;   // the stack after the first frame drawn at `seek`
    };
    const std::vector<Case> cases = {
        {0.75, {{"Pre", 10.0f}}},
        // At exactly 1.0 the block at 1 has not fired (blocks fire strictly after their time).
        {1.0, {{"Pre", 10.0f}}},
        {1.25, {{"Pre", 10.0f}, {"A", 11.25f}, {"(unnamed)", 11.25f}}},
        // The unnamed layer expired at 1.75 and left; A was restarted and moved at 2.25.
        {2.25, {{"A", 12.25f}, {"Pre", 10.0f}}},
        {3.0, {{"A", 12.25f}, {"Pre", 10.0f}}},
        // Pre was deleted in the frame after 3; B created then.
        {3.25, {{"A", 12.25f}, {"B", 13.25f}}},
        {6.0, {{"A", 12.25f}, {"B", 13.25f}}},
    };
    constexpr double kFrame = 0.25;
    for (const Case& test : cases) {
        SCOPED_TRACE("seek to " + std::to_string(test.seek));
        const long frames = std::lround(test.seek / kFrame);

        // The full run: every frame up to the seek drawn, then the frame at the seek.
        StartScript(kSeekScript, 10.0);
        for (long frame = 0; frame <= frames; ++frame) ASSERT_TRUE(StepAt(10.0 + frame * kFrame));
        const std::vector<LayerState> full = StackState(*timeline);
        const auto fullDescriptions = timeline->GetDescriptions();
        timeline.reset();

        // The seek: the same frames skipped, then the frame at the seek drawn.
        clock.Set(10.0);
        timeline = std::make_unique<Timeline>(device);
        ParseScriptText(kSeekScript, timeline->GetScript());
        long advanced = 0;
        g_events.clear();
        ASSERT_TRUE(timeline->StartAt(frames, [&] { clock.Set(10.0 + ++advanced * kFrame); }, false));
        EXPECT_EQ(advanced, frames);
        EXPECT_TRUE(Only("render:").empty()) << "skipped frames draw nothing";
        device.ClearCalls();
        ASSERT_TRUE(StepAt(10.0 + frames * kFrame));

        EXPECT_EQ(StackState(*timeline), test.expected);
        EXPECT_EQ(StackState(*timeline), full);
        EXPECT_EQ(timeline->GetDescriptions(), fullDescriptions);
        EXPECT_EQ(timeline->GetStartTime(), 10.0f);
        // The first drawn frame draws the live layers, as the full run's frame does.
        EXPECT_EQ(Only("render:").size(), test.expected.size());
        timeline.reset();
    }
}

TEST_F(TimelineTest, StartAtStopsAtAnEndBeforeTheSeekAndDrawsTheLoadingImageOnlyWhenAsked) {
    const std::string script = "LOADINGIMG loading.png;\r\nTIME 2 {\r\nEND;\r\n};\r\n";
    timeline = std::make_unique<Timeline>(device);
    ParseScriptText(script, timeline->GetScript());
    device.ClearCalls();
    double now = 0.0;
    EXPECT_TRUE(timeline->StartAt(8, [&] { clock.Set(now += 0.25); }, false));  // up to 2.0: END not yet
    EXPECT_EQ(device.Count(Op::Draw), 0);
    timeline.reset();

    clock.Set(0.0);
    now = 0.0;
    timeline = std::make_unique<Timeline>(device);
    ParseScriptText(script, timeline->GetScript());
    EXPECT_FALSE(timeline->StartAt(20, [&] { clock.Set(now += 0.25); }, true));
    EXPECT_EQ(now, 2.25) << "skipping stops in the frame END ran";
    EXPECT_EQ(device.Count(Op::Draw), 1) << "the loading image";
    EXPECT_EQ(device.liveTextures, 0);
}

TEST_F(TimelineTest, StartMusicPlaysFromThePositionAndNothingPastTheEnd) {
    SoundSystem::Init();
    timeline = std::make_unique<Timeline>(device);
    ParseScriptText("MUSICSTREAM music.wav;\r\n", timeline->GetScript());
    ASSERT_TRUE(timeline->StartAt(0, [] {}, false));
    EXPECT_EQ(timeline->GetMusicStream(), 0u) << "StartAt leaves the music to StartMusic";
    // Whole seconds: this mixer version seeks WAV data to the second below.
    timeline->StartMusic(2.0f);
    ASSERT_NE(timeline->GetMusicStream(), 0u);
    EXPECT_TRUE(SoundSystem::IsPlaying());
    const double position = SoundSystem::StreamPosition(timeline->GetMusicStream());
    EXPECT_GE(position, 2.0);
    EXPECT_LT(position, 2.9);
    timeline.reset();
    EXPECT_FALSE(SoundSystem::IsPlaying());

    // The music (3 s) ends before the position: the production goes on in silence.
    timeline = std::make_unique<Timeline>(device);
    ParseScriptText("MUSICSTREAM music.wav;\r\n", timeline->GetScript());
    ASSERT_TRUE(timeline->StartAt(0, [] {}, false));
    timeline->StartMusic(4.0f);
    EXPECT_NE(timeline->GetMusicStream(), 0u);
    EXPECT_FALSE(SoundSystem::IsPlaying());
}

TEST_F(TimelineTest, ATimelineThatNeverStartedMusicLeavesTheOutputAlone) {
    SoundSystem::Init();
    StartScript("MUSICSTREAM music.wav;\r\n");
    ASSERT_TRUE(SoundSystem::IsPlaying());
    // A seek builds the next timeline while this one plays; when it fails it goes quietly.
    auto next = std::make_unique<Timeline>(device);
    ParseScriptText("MUSICSTREAM music.wav;\r\n", next->GetScript());
    ASSERT_TRUE(next->StartAt(4, [] {}, false));
    next.reset();
    EXPECT_TRUE(SoundSystem::IsPlaying());
    // One that took over the output stops it as it goes, with or without music of its own.
    auto silent = std::make_unique<Timeline>(device);
    ASSERT_TRUE(silent->StartAt(4, [] {}, false));
    silent->StartMusic(0.4f);
    silent.reset();
    EXPECT_FALSE(SoundSystem::IsPlaying());
}

TEST_F(TimelineTest, ErrorsKeepTheirTextAndThenNameTheLayerAndTheScriptLine) {
    struct Case {
        const char* what;
        std::string script;
        double stepAt;  // < 0: the error comes in Start
        std::string start, end;
    };
    const Case cases[] = {
        {"unknown parameter in a CREATE", "TIME -1 {\r\nCREATE TimelineProbe {\r\nNAME P;\r\nColour 3;\r\n};\r\n};\r\n", -1.0,
         "Could not find Parameter [Colour]\r\n Available are : \r\n - Tag\r\n - LifeTime\r\n - StartTime\r\n",
         "\r\n(layer TimelineProbe [P], script line 4)"},
        {"unknown layer type", "TIME -1 {\r\nCREATE Nothing {\r\n};\r\n};\r\n", -1.0,
         "Could not find LayerEffect [Nothing].\r\n Available are : \r\n", "\r\n(CREATE Nothing, script line 2)"},
        {"unknown parameter in an UPDATE",
         "TIME -1 {\r\n" + Create("P") + "};\r\nTIME 1 {\r\nUPDATE P {\r\nColour 1;\r\n};\r\n};\r\n", 2.0,
         "Could not find Parameter [Colour]\r\n", "\r\n(layer TimelineProbe [P], script line 8)"},
        {"error while drawing", "TIME -1 {\r\nCREATE FailingProbe {\r\nNAME F;\r\n};\r\n};\r\n", 0.5, "Broken render.",
         "Broken render.\r\n(layer FailingProbe [F], script line 2)"},
    };
    for (const Case& c : cases) {
        std::string text;
        try {
            StartScript(c.script);
            if (c.stepAt >= 0.0) StepAt(c.stepAt);
            ADD_FAILURE() << c.what << ": no error";
            continue;
        } catch (const CUserException& error) {
            text = error.what();
        }
        EXPECT_EQ(text.rfind(c.start, 0), 0u) << c.what << ":\n" << text;
        ASSERT_GE(text.size(), c.end.size()) << c.what;
        EXPECT_EQ(text.substr(text.size() - c.end.size()), c.end) << c.what << ":\n" << text;
        timeline.reset();
    }
}
