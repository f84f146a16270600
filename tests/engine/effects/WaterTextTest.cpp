// Tests of the water layer: defaults, loading of the text maps, the map schedule, stages, release.
#include <gtest/gtest.h>

#include "support/LayerTestKit.h"
#include "engine/effects/WaterText.h"
#include "support/RecordingDevice.h"
#include "support/TestPak.h"

namespace {

// Lettering i: a white square whose corner sits at grid value (i, i) of 64 x 64.
std::string Lettering(int i)
{
    return MakeTestPng(128, 96, [i](uint32_t x, uint32_t y) {
        return (x / 2 == static_cast<uint32_t>(i) && y * 2 / 3 == static_cast<uint32_t>(i)) ? 0xFFFFFFu : 0u;
    });
}

class WaterTextTest : public ::testing::Test {
protected:
    WaterTextTest()
        : pak_({{"water.png", MakePlainPng(16, 16, 0x204080)},
                {"env.png", MakePlainPng(16, 16, 0x101010)},
                {"w0.png", Lettering(10)},
                {"w1.png", Lettering(20)},
                {"w2.png", Lettering(30)}})
    {
        device.Open();
    }

    std::unique_ptr<WaterText> Make(const std::vector<std::pair<std::string, std::string>>& parameters)
    {
        auto layer = std::make_unique<WaterText>(device, nested);
        layer->SetParameter("TextureFile", "water.png");
        layer->SetParameter("EnvMapFile", "env.png");
        for (const auto& [name, value] : parameters) layer->SetParameter(name, value);
        layer->Init();
        return layer;
    }

    ScopedTestPak pak_;
    RecordingDevice device;
    std::vector<LayerOperation> nested;
};

}  // namespace

TEST_F(WaterTextTest, TextMapsAreLoadedInOrderAndResampled)
{
    auto layer = Make({{"TextMapList", " w0.png,w1.png\tw2.png"}});
    EXPECT_TRUE(layer->GetName().empty());
    ASSERT_EQ(layer->GetTextMapCount(), 3u);
    for (int m = 0; m < 3; ++m) {
        const std::vector<uint8_t>& intensity = layer->GetTextMap(m)->GetIntensities();
        ASSERT_EQ(intensity.size(), 4096u);
        const int spot = (10 + 10 * m) * 65;  // grid value (i, i)
        EXPECT_EQ(intensity[spot], 255) << m;
        EXPECT_EQ(intensity[spot + 2], 0) << m;
    }
    EXPECT_EQ(layer->GetNextMap(), 0);
    EXPECT_FLOAT_EQ(layer->GetLastUpdate(), -1.0f) << "UpdateInterval defaults to 1.0";
}

TEST_F(WaterTextTest, MapsArePressedInTurnEveryUpdateInterval)
{
    auto layer = Make({{"TextMapList", "w0.png, w1.png, w2.png"}, {"UpdateInterval", "2"}});
    std::vector<int> pressed;
    auto frame = [&](float t) {
        layer->DrawAt(t, 100.0f + t);
        const TextMap* pending = layer->GetWater().GetPendingMap();
        for (int m = 0; m < 3; ++m)
            if (pending == layer->GetTextMap(m)) pressed.push_back(m);
    };
    for (float t : {0.001f, 1.0f, 2.0f, 2.01f, 3.0f, 4.02f, 5.5f, 6.03f, 7.0f, 8.04f}) frame(t);
    EXPECT_EQ(pressed, (std::vector<int>{0, 1, 2, 0, 1}));
    EXPECT_EQ(layer->GetNextMap(), 2);
    // The next draw presses the pending map in.
    frame(8.5f);
    EXPECT_EQ(layer->GetWater().GetPendingMap(), nullptr);
}

TEST_F(WaterTextTest, EmptyListSkipsUpdatesAndStagesAddTheEnvironment)
{
    auto layer = Make({});
    EXPECT_EQ(layer->GetTextMapCount(), 0u);
    device.ClearCalls();
    for (float t : {0.0f, 1.5f, 3.0f}) layer->DrawAt(t, t);
    EXPECT_EQ(layer->GetWater().GetPendingMap(), nullptr);
    EXPECT_EQ(device.Count(Op::VertexBufferDraw), 3);

    // Stage 1 adds the environment while the water is drawn, then is passed through.
    const RecordedCall* add = nullptr;
    for (const RecordedCall* c : device.All(Op::SetColorOp))
        if (c->As<StageArgs>().stage == 1 && c->As<StageArgs>().colorOp == ColorOp::Add) add = c;
    EXPECT_NE(add, nullptr);
    EXPECT_EQ(device.stages[0].colorOp, ColorOp::Modulate);
    EXPECT_EQ(device.stages[1].texture, nullptr);
    EXPECT_FLOAT_EQ(device.GetFieldOfView(), 1.4f);
    EXPECT_NEAR(device.GetUpHint().y, -1.0f, 1e-6f);
    EXPECT_EQ(device.cullMode, CullMode::None);
}

TEST_F(WaterTextTest, ReleaseGivesBackTexturesAndTheVertexBuffer)
{
    auto layer = Make({{"TextMapList", "w0.png"}});
    EXPECT_EQ(device.liveTextures, 2);
    EXPECT_EQ(device.liveVertexBuffers, 1);
    layer->Release();
    EXPECT_EQ(device.liveTextures, 0);
    EXPECT_EQ(device.liveVertexBuffers, 0);
    EXPECT_EQ(layer->GetTextMapCount(), 0u);
}
