// Tests of the waving image layer: grid, wave heights, Effect alpha rules, parameters read per frame, release.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include "engine/effects/OnduleGFXLayer.h"
#include "support/LayerTestKit.h"
#include "support/RecordingDevice.h"
#include "support/TestPak.h"

namespace {

class OnduleTest : public ::testing::Test {
protected:
    OnduleTest() : pak_({{"wave.png", MakePlainPng(8, 8, 0x336699)}}) { device.Open(); }

    std::unique_ptr<Driven<OnduleGFXLayer>> MakeLayer(int effect = 0)
    {
        auto layer = std::make_unique<Driven<OnduleGFXLayer>>(device, nested);
        layer->SetParameter("Texture", "wave.png");
        layer->SetParameter("Effect", std::to_string(effect));
        layer->Init();
        return layer;
    }
    RecordingVertexBuffer& Buffer(OnduleGFXLayer& layer)
    {
        return *dynamic_cast<RecordingVertexBuffer*>(layer.GetVertexBuffer());
    }

    ScopedTestPak pak_;
    RecordingDevice device;
    std::vector<LayerOperation> nested;
};

constexpr int kSide = OnduleGFXLayer::kCells + 1;

}  // namespace

TEST_F(OnduleTest, GridHasFixedSizeAndRestLayout)
{
    auto layer = MakeLayer();
    EXPECT_EQ(layer->GetName().rfind("Ondule Gfx Layer [", 0), 0u);
    RecordingVertexBuffer& buffer = Buffer(*layer);
    ASSERT_EQ(buffer.vertices.size(), 4096u);
    ASSERT_EQ(buffer.indices.size(), 23814u);
    const Vertex& first = buffer.vertices[0];
    EXPECT_FLOAT_EQ(first.x, -0.5f);
    EXPECT_FLOAT_EQ(first.y, -0.5f);
    EXPECT_FLOAT_EQ(first.u0, 1.0f);
    EXPECT_FLOAT_EQ(first.v0, 1.0f);
    EXPECT_EQ(first.color, 0xFFFFFFFFu);
    const Vertex& last = buffer.vertices[4095];
    EXPECT_FLOAT_EQ(last.x, 0.5f);
    EXPECT_FLOAT_EQ(last.u0, 0.0f);
    // Vertex (i, k) is number i + 64 k.
    EXPECT_FLOAT_EQ(buffer.vertices[1 + kSide * 2].x, 1.0f / 63 - 0.5f);
    EXPECT_FLOAT_EQ(buffer.vertices[1 + kSide * 2].y, 2.0f / 63 - 0.5f);

    // Parameters set after Init do not change the size of the grid.
    layer->SetParameter("XScale", "3");
    layer->DrawAt(0.5f, 1.0f);
    EXPECT_EQ(buffer.vertices.size(), 4096u);
    EXPECT_EQ(buffer.indices.size(), 23814u);
}

TEST_F(OnduleTest, WaveHeightsAtCentreAndCorners)
{
    auto layer = MakeLayer();
    RecordingVertexBuffer& buffer = Buffer(*layer);
    layer->DrawAt(0.0f, 1.0f);
    // No vertex sits exactly at the centre; the nearest ones are 0.0079 away in x and y.
    const Vertex& nearCentre = buffer.vertices[31 + kSide * 31];
    EXPECT_NEAR(nearCentre.z, 0.0f, 0.01f);
    EXPECT_FLOAT_EQ(OnduleGFXLayer::WaveHeight(0.0f, 0.0f, 0.0f), 0.0f);
    // Corners: 2 sin(0.25 x 0.7071) = 0.3517.
    for (int index : {0, 63, 4032, 4095}) EXPECT_NEAR(buffer.vertices[index].z, 0.3517f, 0.0005f) << index;

    layer->DrawAt(1.5707964f, 1.0f);
    for (const Vertex& v : buffer.vertices) ASSERT_NEAR(v.z, 0.0f, 1e-6f);

    // The buffer is drawn whole, once per frame.
    EXPECT_EQ(device.Count(Op::VertexBufferDraw), 2);
}

TEST_F(OnduleTest, AlphaFollowsTheEffect)
{
    auto fading = MakeLayer(0);
    fading->DrawAt(0.2f, 0.999f);
    EXPECT_EQ(Buffer(*fading).vertices[100].color, 0xFEFFFFFFu);

    // Effect 1 flickers between 0 and 59 whatever the envelope says.
    auto flicker = MakeLayer(1);
    std::srand(7);
    uint32_t lowest = 255, highest = 0;
    for (int frame = 0; frame < 200; ++frame) {
        flicker->DrawAt(frame * 0.02f, 1.0f);
        const uint32_t alpha = Buffer(*flicker).vertices[0].color >> 24;
        EXPECT_EQ(Buffer(*flicker).vertices[0].color & 0x00FFFFFFu, 0x00FFFFFFu);
        lowest = std::min(lowest, alpha);
        highest = std::max(highest, alpha);
    }
    EXPECT_LE(highest, 59u);
    EXPECT_LT(lowest, highest) << "the alpha must change from frame to frame";

    // Unknown effects fade like Effect 0.
    auto other = MakeLayer(7);
    other->DrawAt(0.1f, 0.5f);
    EXPECT_EQ(Buffer(*other).vertices[0].color, 0x7FFFFFFFu);
}

TEST_F(OnduleTest, PositionsFollowParametersEveryFrameAndCameraIsRestored)
{
    auto layer = MakeLayer();
    const Matrix4 view = device.GetView();
    layer->SetParameter("XScale", "2");
    layer->SetParameter("XOffset", "0.25");
    layer->DrawAt(0.0f, 1.0f);
    EXPECT_FLOAT_EQ(Buffer(*layer).vertices[0].x, -0.75f);
    EXPECT_FLOAT_EQ(Buffer(*layer).vertices[63].x, 1.25f);
    EXPECT_EQ(device.cullMode, CullMode::None);
    EXPECT_FALSE(device.alphaBlend);
    EXPECT_EQ(device.GetView(), view);
    EXPECT_EQ(device.GetTransformDepth(), 0u);
    EXPECT_FLOAT_EQ(device.GetEye().z, 6.5f);
}

TEST_F(OnduleTest, ReleaseGivesBackTextureAndVertexBuffer)
{
    auto layer = MakeLayer();
    EXPECT_EQ(device.liveVertexBuffers, 1);
    EXPECT_EQ(device.liveTextures, 1);
    layer->Release();
    EXPECT_EQ(device.liveVertexBuffers, 0);
    EXPECT_EQ(device.liveTextures, 0);
    layer->DrawAt(0.0f, 1.0f);  // a frame after Release draws nothing and does not crash
    EXPECT_EQ(device.Count(Op::VertexBufferDraw), 0);
}
