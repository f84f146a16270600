// Tests of layer timing, the fade envelope, the layer stack and the layer type registry.
#include <gtest/gtest.h>

#include <cstdlib>
#include "support/FakeClock.h"
#include "support/RecordingDevice.h"
#include "engine/core/Fatal.h"
#include "engine/core/Log.h"
#include "engine/layers/LayerRegistry.h"
#include "engine/layers/LayerStack.h"

namespace {

std::vector<std::string> g_events;

void CollectLog(const char* text) {
    g_events.push_back(std::string("log:") + text);
}

// Records its calls and the time each render saw.
class ProbeLayer : public Layer {
public:
    ProbeLayer(RenderDevice& device, const std::vector<LayerOperation>& nested) : Layer(device, nested) {}
    void Init() override { g_events.push_back("init:" + name); }
    void Release() override { g_events.push_back("release:" + name); }
    void UseDefaultName(const char* format) { SetDefaultName(format); }
    std::vector<float> renders;

protected:
    void Render() override {
        renders.push_back(time);
        g_events.push_back("render:" + name);
    }
};

class ProbeFader : public FadingLayer {
public:
    ProbeFader(RenderDevice& device, const std::vector<LayerOperation>& nested) : FadingLayer(device, nested) {}
    std::vector<std::pair<char, float>> phases;
    float GetLifeTime() const { return LifeTime; }

protected:
    void RenderRising() override { phases.emplace_back('r', fade); }
    void RenderStable() override { phases.emplace_back('s', fade); }
    void RenderFalling() override { phases.emplace_back('f', fade); }
};

class LayerTest : public ::testing::Test {
protected:
    LayerTest() {
        g_events.clear();
        SetLogCallback(CollectLog);
    }
    ~LayerTest() override { SetLogCallback(nullptr); }

    std::unique_ptr<ProbeLayer> MakeProbe(const std::string& name, float start, float life) {
        auto layer = std::make_unique<ProbeLayer>(device, nested);
        layer->SetParameter("StartTime", std::to_string(start));
        layer->SetParameter("LifeTime", std::to_string(life));
        if (!name.empty()) layer->UseDefaultName(name.c_str());  // keeps auto-delete
        return layer;
    }

    FakeClock clock;
    RecordingDevice device;
    std::vector<LayerOperation> nested;
};

}  // namespace

TEST_F(LayerTest, WindowIsInclusiveAndCountsFromTheClockOrigin) {
    auto layer = MakeProbe("", 2.0f, 3.0f);
    clock.Set(10.0);
    layer->Restart(-1.0f);
    EXPECT_EQ(layer->GetClockOrigin(), 10.0f);
    for (double local : {1.5, 2.0, 3.5, 5.0, 5.01}) {
        clock.Set(10.0 + local);
        layer->Frame();
    }
    ASSERT_EQ(layer->renders.size(), 3u);
    EXPECT_FLOAT_EQ(layer->renders[0], 0.0f);
    EXPECT_FLOAT_EQ(layer->renders[1], 1.5f);
    EXPECT_FLOAT_EQ(layer->renders[2], 3.0f);
    clock.Set(15.0);
    EXPECT_TRUE(layer->IsAlive());
    clock.Set(15.01);
    EXPECT_FALSE(layer->IsAlive());

    // An explicit origin is taken as given; RestartNow reads the clock.
    layer->Restart(3.0f);
    EXPECT_EQ(layer->GetClockOrigin(), 3.0f);
    layer->RestartNow();
    EXPECT_EQ(layer->GetClockOrigin(), ClockNow());
}

TEST_F(LayerTest, OnlyExactlyMinusOneMeansUnlimited) {
    auto forever = MakeProbe("", 0.0f, -1.0f);
    auto brief = MakeProbe("", 0.0f, -0.999f);
    forever->Restart(0.0f);
    brief->Restart(0.0f);
    clock.Set(1.0e6);
    EXPECT_TRUE(forever->IsAlive());
    EXPECT_FALSE(brief->IsAlive());
    clock.Set(0.0);
    brief->Frame();  // window already closed at its start: -0.999 < 0
    EXPECT_TRUE(brief->renders.empty());
}

TEST_F(LayerTest, FadeEnvelopeFollowsItsPhases) {
    ProbeFader fader(device, nested);
    fader.SetParameter("RisingTime", "1");
    fader.SetParameter("StableTime", "2");
    fader.SetParameter("FallingTime", "1");
    fader.SetParameter("LifeTime", "99");
    clock.Set(100.0);
    fader.Init();
    EXPECT_EQ(fader.GetLifeTime(), 4.0f);
    EXPECT_EQ(fader.GetClockOrigin(), 100.0f);
    for (double t : {0.5, 1.0, 2.9, 3.5, 4.0}) {
        clock.Set(100.0 + t);
        fader.Frame();
    }
    ASSERT_EQ(fader.phases.size(), 5u);
    EXPECT_EQ(fader.phases[0], std::make_pair('r', 0.5f));
    EXPECT_EQ(fader.phases[1], std::make_pair('s', 1.0f));
    EXPECT_EQ(fader.phases[2].first, 's');
    EXPECT_EQ(fader.phases[3], std::make_pair('f', 0.5f));
    EXPECT_EQ(fader.phases[4], std::make_pair('f', 0.0f));
}

TEST_F(LayerTest, ZeroPhaseDurationsKeepTheFadeInRange) {
    // Defaults: all three times 0, the window is the single instant t = 0.
    ProbeFader instant(device, nested);
    clock.Set(5.0);
    instant.Init();
    instant.Frame();
    clock.Set(5.01);
    instant.Frame();
    ASSERT_EQ(instant.phases.size(), 1u);
    EXPECT_GE(instant.phases[0].second, 0.0f);
    EXPECT_LE(instant.phases[0].second, 1.0f);

    // Zero rising time starts stable; zero falling time ends at full fade, never NaN.
    ProbeFader noEdges(device, nested);
    noEdges.SetParameter("StableTime", "1");
    clock.Set(0.0);
    noEdges.Init();
    for (double t : {0.0, 0.5, 1.0}) {
        clock.Set(t);
        noEdges.Frame();
    }
    ASSERT_EQ(noEdges.phases.size(), 3u);
    EXPECT_EQ(noEdges.phases[0], std::make_pair('s', 1.0f));
    EXPECT_EQ(noEdges.phases[2].first, 'f');
    EXPECT_EQ(noEdges.phases[2].second, 1.0f);
}

TEST_F(LayerTest, NamesDefaultsAndDestructionMessage) {
    std::srand(77);
    const int expected = std::rand();
    std::srand(77);
    auto layer = MakeProbe("Gfx Layer [%X]", 0.0f, -1.0f);
    char text[64];
    std::snprintf(text, sizeof text, "Gfx Layer [%X]", static_cast<unsigned>(expected));
    EXPECT_EQ(layer->GetName(), text);
    EXPECT_TRUE(layer->IsAutoDelete());
    layer->SetName("Logo");
    EXPECT_EQ(layer->GetName(), "Logo");
    EXPECT_FALSE(layer->IsAutoDelete());
    layer.reset();
    EXPECT_EQ(g_events.back(), "log:Destroying Layer [Logo]");

    // The nested operations are the layer's own copy.
    std::vector<LayerOperation> children(1);
    children[0].target = "Smoke";
    ProbeLayer withChildren(device, children);
    children.clear();
    ASSERT_EQ(withChildren.GetNestedOperations().size(), 1u);
    EXPECT_EQ(withChildren.GetNestedOperations()[0].target, "Smoke");
}

TEST_F(LayerTest, StackDrawsBottomFirstAndRetiresOneExpiredLayerPerFrame) {
    LayerStack stack;
    clock.Set(0.0);
    Layer* a = stack.AddTop(MakeProbe("", 0.0f, 1.0f));
    Layer* b = stack.AddTop(MakeProbe("", 0.0f, 1.0f));
    Layer* bottom = stack.AddBottom(MakeProbe("", 0.0f, 1.0f));
    Layer* named = stack.AddTop(MakeProbe("", 0.0f, 1.0f));
    a->SetName("A");
    b->SetName("B");
    bottom->SetName("Bottom");
    named->SetName("Kept");
    for (size_t i = 0; i < stack.Size(); ++i) stack.At(i)->Restart(0.0f);
    stack.RunFrame();
    EXPECT_EQ(g_events, (std::vector<std::string>{"render:Bottom", "render:A", "render:B", "render:Kept"}));

    // Names are looked up exactly, from the bottom.
    EXPECT_EQ(stack.Find("A"), a);
    EXPECT_EQ(stack.Find("a"), nullptr);
    stack.MoveBottom(b);
    stack.MoveTop(bottom);
    EXPECT_EQ(stack.At(0), b);
    EXPECT_EQ(stack.At(3), bottom);

    // Unnamed layers expire one per frame, lowest first; the named one stays.
    std::unique_ptr<ProbeLayer> low = MakeProbe("low", 0.0f, 1.0f);
    std::unique_ptr<ProbeLayer> high = MakeProbe("high", 0.0f, 1.0f);
    low->Restart(0.0f);
    high->Restart(0.0f);
    Layer* lowPtr = stack.AddBottom(std::move(low));
    stack.AddTop(std::move(high));
    clock.Set(2.0);
    g_events.clear();
    stack.RunFrame();
    EXPECT_FALSE(stack.Contains(lowPtr));
    EXPECT_EQ(stack.Size(), 5u);
    EXPECT_EQ(g_events, (std::vector<std::string>{"release:low", "log:Destroying Layer [low]"}));
    stack.RunFrame();
    EXPECT_EQ(stack.Size(), 4u);
    EXPECT_EQ(stack.Find("high"), nullptr);
    stack.RunFrame();
    EXPECT_EQ(stack.Size(), 4u);
    EXPECT_EQ(stack.Find("Kept"), named);

    // Remove releases and destroys; clearing goes bottom to top.
    g_events.clear();
    stack.Remove(named);
    EXPECT_EQ(g_events, (std::vector<std::string>{"release:Kept", "log:Destroying Layer [Kept]"}));
    stack.Remove(named);  // no longer on the stack: ignored
    g_events.clear();
    stack.Clear();
    EXPECT_EQ(g_events, (std::vector<std::string>{"release:B", "log:Destroying Layer [B]", "release:A",
                                                  "log:Destroying Layer [A]", "release:Bottom",
                                                  "log:Destroying Layer [Bottom]"}));
    EXPECT_TRUE(stack.Empty());
}

namespace {
static LayerRegistrar<ProbeLayer> probeRegistrar("ProbeLayer");
static LayerRegistrar<ProbeFader> faderRegistrar("AProbeFader");
}  // namespace

TEST_F(LayerTest, RegistryCreatesByExactTypeNameAndListsTheKnownNames) {
    auto layer = CreateLayer(device, nested, "ProbeLayer");
    ASSERT_NE(dynamic_cast<ProbeLayer*>(layer.get()), nullptr);
    EXPECT_EQ(&layer->GetDevice(), &device);
    EXPECT_TRUE(g_events.empty());  // constructed, not initialised

    std::string listing;
    for (const std::string& name : LayerRegistry::Instance().GetNames()) listing += " - " + name + "\r\n";
    EXPECT_EQ(listing.rfind(" - AProbeFader\r\n", 0), 0u);  // byte order: upper case first
    try {
        CreateLayer(device, nested, "probelayer");
        ADD_FAILURE() << "an unknown type must be fatal";
    } catch (const CUserException& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Could not find LayerEffect [probelayer].\r\n Available are : \r\n" + listing);
    }
}
