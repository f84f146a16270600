// Tests of the metaball layer: ball records sized at Init, per-frame update without allocation, drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include "support/LayerTestKit.h"
#include "engine/effects/MetaballLayer.h"
#include "support/AllocationProbe.h"
#include "support/RecordingDevice.h"
#include "support/TestPak.h"

namespace {

class MetaballLayerTest : public ::testing::Test {
protected:
    MetaballLayerTest() : pak_({{"blob.png", MakePlainPng(8, 8, 0x88CCFF)}}) { device.Open(); }

    std::unique_ptr<Driven<MetaballLayer>> Make(const std::vector<std::pair<std::string, std::string>>& parameters)
    {
        auto layer = std::make_unique<Driven<MetaballLayer>>(device, nested);
        layer->SetParameter("Texture", "blob.png");
        for (const auto& [name, value] : parameters) layer->SetParameter(name, value);
        layer->Init();
        return layer;
    }

    ScopedTestPak pak_;
    RecordingDevice device;
    std::vector<LayerOperation> nested;
};

}  // namespace

TEST_F(MetaballLayerTest, BallsAreMadeAtInitFromTheCountInForce)
{
    std::srand(21);
    auto layer = Make({{"NBMeta", "5"}});
    EXPECT_TRUE(layer->GetName().empty());
    ASSERT_EQ(layer->GetBalls().size(), 5u);
    for (const MetaballLayer::Ball& b : layer->GetBalls()) {
        EXPECT_GE(b.ax, 0.0f);
        EXPECT_LT(b.ax, 11.0f);
        EXPECT_LT(b.ay, 4.0f);
        EXPECT_LT(b.az, 4.0f);
        EXPECT_LT(b.fx, 2.0f);
        EXPECT_LT(b.px, 3.14f);
        EXPECT_GE(b.py, 1.570796f);
    }
    // A larger count set later is never read beyond the records that exist.
    layer->SetParameter("NBMeta", "50");
    layer->DrawAt(1.0f, 1.0f);
    EXPECT_EQ(layer->GetPositions().size(), 5u);

    // A smaller count set later leaves the other balls out of the surface.
    layer->SetParameter("NBMeta", "1");
    layer->DrawAt(1.5f, 1.0f);
    MetaballMesher alone;
    alone.Build(std::vector<MetaPoint>{layer->GetPositions()[0]});
    EXPECT_EQ(layer->GetMesher().TriangleCount(), alone.TriangleCount());
    layer->SetParameter("NBMeta", "0");
    layer->DrawAt(2.0f, 1.0f);
    EXPECT_EQ(layer->GetMesher().TriangleCount(), 0);

    auto wild = Make({{"NBMeta", "1000000"}});
    EXPECT_EQ(wild->GetBalls().size(), 64u);

    auto none = Make({{"NBMeta", "-2"}});
    EXPECT_TRUE(none->GetBalls().empty());
    device.ClearCalls();
    none->DrawAt(0.5f, 1.0f);
    EXPECT_EQ(device.Count(Op::Draw), 0);
    EXPECT_EQ(device.GetTransformDepth(), 0u);
}

TEST_F(MetaballLayerTest, BallsFollowTheirPathsAroundTheCentre)
{
    auto layer = Make({{"XOffset", "1.5"}, {"YOffset", "-2"}, {"ZOffset", "0.5"}});
    const float t = 0.8f;
    layer->Update(t);
    for (size_t i = 0; i < layer->GetBalls().size(); ++i) {
        const MetaballLayer::Ball& b = layer->GetBalls()[i];
        const MetaPoint& p = layer->GetPositions()[i];
        EXPECT_FLOAT_EQ(p.x, 1.5f + std::cos(t * b.fx + b.px) * b.ax);
        EXPECT_FLOAT_EQ(p.y, std::cos(t * b.fy + b.py) * b.ay - 2.0f);
        EXPECT_FLOAT_EQ(p.z, std::cos(t * b.fz + b.pz) * b.az + 0.5f);
    }
}

TEST_F(MetaballLayerTest, DrawsTheSurfaceAsATexturedTriangleListWithoutAllocating)
{
    auto layer = Make({});
    layer->DrawAt(0.0f, 0.5f);  // first frame outside the probe
    device.ClearCalls();
    {
        AllocationProbe probe;
        layer->Update(0.25f);
        EXPECT_EQ(probe.Largest(), 0u);
    }
    layer->DrawAt(0.25f, 0.5f);
    const int triangles = layer->GetMesher().TriangleCount();
    ASSERT_GT(triangles, 0);
    ASSERT_LE(triangles, 6000);
    const RecordedCall* draw = device.Last(Op::Draw);
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(draw->Draw().primitive, PrimitiveType::TriangleList);
    ASSERT_EQ(draw->Vertices().size(), static_cast<size_t>(3 * triangles));
    for (const Vertex& v : draw->Vertices()) {
        ASSERT_EQ(v.color, 0x7FFFFFFFu);
        ASSERT_NEAR(v.u0, (v.x + 12.0f) / 24.0f, 1e-5f);
        ASSERT_NEAR(v.v1, (v.y + 12.0f) / 24.0f, 1e-5f);
        ASSERT_FLOAT_EQ(v.nz, 1.0f);
    }
    EXPECT_EQ(layer->GetVertices().size(), 18003u);
    EXPECT_EQ(device.cullMode, CullMode::None);
    EXPECT_EQ(device.GetTransformDepth(), 0u);
    layer->Release();
    EXPECT_EQ(device.liveTextures, 0);
}
