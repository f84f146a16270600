// Tests of the flicker and circles layers: random bounds per Effect, steps and copies of the circles.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include "support/LayerTestKit.h"
#include "engine/effects/CerclesLayer.h"
#include "engine/effects/ParasitesLayer.h"
#include "support/RecordingDevice.h"
#include "support/TestPak.h"

namespace {

class SmallLayersTest : public ::testing::Test {
protected:
    SmallLayersTest() : pak_({{"noise.png", MakePlainPng(8, 8, 0xFFFFFF)}}) { device.Open(); }

    template <class LayerType>
    std::unique_ptr<Driven<LayerType>> Make(const std::vector<std::pair<std::string, std::string>>& parameters)
    {
        auto layer = std::make_unique<Driven<LayerType>>(device, nested);
        layer->SetParameter("Texture", "noise.png");
        for (const auto& [name, value] : parameters) layer->SetParameter(name, value);
        layer->Init();
        return layer;
    }

    ScopedTestPak pak_;
    RecordingDevice device;
    std::vector<LayerOperation> nested;
};

// The world transform in force when the frame's quad was drawn.
Matrix4 WorldAtDraw(const RecordingDevice& device)
{
    Matrix4 world;
    for (const RecordedCall& c : device.calls) {
        if (c.op == Op::SetWorld) world = c.As<Matrix4>();
        if (c.op == Op::Draw) break;
    }
    return world;
}

}  // namespace

TEST_F(SmallLayersTest, ParasitesEffect0TurnsAndShiftsWithinBounds)
{
    auto layer = Make<ParasitesLayer>({});
    EXPECT_EQ(layer->GetName().rfind("Parasites Layer [", 0), 0u);
    std::srand(11);
    int turnedDifferently = 0;
    float previousAngle = 100.0f;
    for (int frame = 0; frame < 100; ++frame) {
        device.ClearCalls();
        layer->DrawAt(1.0f, 0.5f);  // the envelope is steady, the picture is not
        const Matrix4 m = WorldAtDraw(device);
        EXPECT_NEAR(m.m[0][0], m.m[1][1], 1e-6f);
        EXPECT_NEAR(m.m[0][1], -m.m[1][0], 1e-6f);
        EXPECT_NEAR(m.m[0][0] * m.m[0][0] + m.m[0][1] * m.m[0][1], 1.0f, 1e-5f);
        const float angle = std::atan2(m.m[0][1], m.m[0][0]);
        if (std::fabs(angle - previousAngle) > 1e-4f) ++turnedDifferently;
        previousAngle = angle;

        const RecordedCall* draw = device.Last(Op::Draw);
        ASSERT_NE(draw, nullptr);
        ASSERT_EQ(draw->Vertices().size(), 4u);
        const float shiftX = draw->Vertices()[0].x - 1.0f;
        const float shiftY = draw->Vertices()[0].y + 1.0f;
        EXPECT_GE(shiftX, -0.4f);
        EXPECT_LT(shiftX, 0.1f);
        EXPECT_GE(shiftY, 0.0f);
        EXPECT_LT(shiftY, 0.5f);
        const uint32_t alpha = draw->Vertices()[0].color >> 24;
        EXPECT_LE(alpha, 127u);  // at most fade x 255
        for (const Vertex& v : draw->Vertices()) EXPECT_EQ(v.color >> 24, alpha);
    }
    EXPECT_GT(turnedDifferently, 90);
}

TEST_F(SmallLayersTest, ParasitesEffect1ZoomsTheScreenQuadWithSmallJitter)
{
    auto layer = Make<ParasitesLayer>({{"Effect", "1"}});
    std::srand(3);
    for (int frame = 0; frame < 100; ++frame) {
        device.ClearCalls();
        layer->DrawAt(0.0f, 1.0f);
        const Matrix4 world = WorldAtDraw(device);
        EXPECT_FLOAT_EQ(world.m[0][0], 2.0f);
        EXPECT_FLOAT_EQ(world.m[1][1], 2.0f);
        EXPECT_FLOAT_EQ(world.m[2][2], 1.0f);
        const RecordedCall* draw = device.Last(Op::Draw);
        ASSERT_NE(draw, nullptr);
        EXPECT_LE(std::fabs(draw->Vertices()[0].x - 0.5f), 0.05f);
        EXPECT_LE(std::fabs(draw->Vertices()[0].y + 0.5f), 0.05f);
        EXPECT_FLOAT_EQ(draw->Vertices()[3].x - draw->Vertices()[0].x, -1.0f);
    }
    // Unknown effects: no turn, no shift.
    auto still = Make<ParasitesLayer>({{"Effect", "4"}});
    device.ClearCalls();
    still->DrawAt(0.0f, 1.0f);
    EXPECT_EQ(WorldAtDraw(device), Matrix4::Identity());
    const RecordedCall* draw = device.Last(Op::Draw);
    EXPECT_FLOAT_EQ(draw->Vertices()[0].x, 1.0f);
    EXPECT_FLOAT_EQ(draw->Vertices()[0].y, -1.0f);
}

TEST_F(SmallLayersTest, ParasitesAdditiveDrawsThroughTheMaterial)
{
    auto layer = Make<ParasitesLayer>({{"AlphaType", "1"}});
    std::srand(5);
    for (int frame = 0; frame < 50; ++frame) {
        device.ClearCalls();
        layer->DrawAt(0.0f, 0.8f);
        const RecordedCall* draw = device.Last(Op::Draw);
        ASSERT_NE(draw, nullptr);
        EXPECT_EQ(draw->Vertices()[0].color, 0x00FFFFFFu);
        const RecordedCall* material = device.Last(Op::SetMaterial);
        ASSERT_NE(material, nullptr);
        EXPECT_GE(material->As<MaterialRecord>().diffuseR, 0.0f);
        EXPECT_LE(material->As<MaterialRecord>().diffuseR, 0.8f);
        EXPECT_FLOAT_EQ(material->As<MaterialRecord>().emissiveG, material->As<MaterialRecord>().diffuseR);
    }
    layer->Release();
    EXPECT_EQ(device.liveTextures, 0);
}

TEST_F(SmallLayersTest, CerclesStepsAlongTheDiagonal)
{
    auto layer = Make<CerclesLayer>({{"NBCercles", "4"}});
    EXPECT_EQ(layer->GetName().rfind("Cercles Layer [", 0), 0u);
    EXPECT_FLOAT_EQ(layer->GetStepX(), 0.25f);
    EXPECT_FLOAT_EQ(layer->GetStepY(), 0.25f);
    device.ClearCalls();
    layer->DrawAt(0.0f, 1.0f);
    const auto draws = device.All(Op::Draw);
    ASSERT_EQ(draws.size(), 4u);
    // Vertex 0 of the scaled quad sits at (0.25, -0.25); copy k is k steps further.
    for (int k = 0; k < 4; ++k) {
        EXPECT_FLOAT_EQ(draws[k]->Vertices()[0].x, 0.25f + 0.25f * (k + 1)) << k;
        EXPECT_FLOAT_EQ(draws[k]->Vertices()[0].y, -0.25f + 0.25f * (k + 1)) << k;
        EXPECT_EQ(draws[k]->Vertices()[0].color, 0xFFFFFFFFu);
    }
    EXPECT_FLOAT_EQ(draws[3]->Vertices()[0].x - 0.25f, 1.0f);
    EXPECT_EQ(device.GetTransformDepth(), 0u);
}

TEST_F(SmallLayersTest, CerclesGuardsSmallCountsAndScalesBothAxesByTheHorizontalStep)
{
    // The default single copy: h = max(1, 1 / 2) = 1, finite steps of half the scale.
    auto single = Make<CerclesLayer>({});
    EXPECT_FLOAT_EQ(single->GetStepX(), 0.5f);
    device.ClearCalls();
    single->DrawAt(0.0f, 1.0f);
    ASSERT_EQ(device.Count(Op::Draw), 1);
    for (const Vertex& v : device.Last(Op::Draw)->Vertices()) EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y));

    for (const char* count : {"0", "-3"}) {
        auto none = Make<CerclesLayer>({{"NBCercles", count}});
        device.ClearCalls();
        none->DrawAt(0.0f, 1.0f);
        EXPECT_EQ(device.Count(Op::Draw), 0) << count;
    }

    // XScale 2 is applied to the stored quad at Init and again through the step.
    auto wide = Make<CerclesLayer>({{"NBCercles", "2"}, {"XScale", "2"}});
    EXPECT_FLOAT_EQ(wide->GetStepX(), 1.0f);
    EXPECT_FLOAT_EQ(wide->GetStepY(), 0.5f);
    device.ClearCalls();
    wide->DrawAt(0.0f, 0.5f);
    const RecordedCall* first = device.All(Op::Draw).front();
    EXPECT_FLOAT_EQ(first->Vertices()[0].x, 2.0f * 1.0f + 1.0f);
    EXPECT_FLOAT_EQ(first->Vertices()[0].y, -1.0f * 1.0f + 0.5f);
    EXPECT_EQ(first->Vertices()[0].color >> 24, 127u);
}
