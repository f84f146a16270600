// Tests of the line layer: stripe width and stepping, band count, opacity peaks, count guards.
#include <gtest/gtest.h>

#include <cmath>
#include "support/LayerTestKit.h"
#include "engine/effects/LineLayer.h"
#include "support/RecordingDevice.h"
#include "support/TestPak.h"

namespace {

class LineLayerTest : public ::testing::Test {
protected:
    LineLayerTest() : pak_({{"bars.png", MakePlainPng(8, 8, 0xFF8800)}}) { device.Open(); }

    std::unique_ptr<Driven<LineLayer>> Make(const std::vector<std::pair<std::string, std::string>>& parameters)
    {
        auto layer = std::make_unique<Driven<LineLayer>>(device, nested);
        layer->SetParameter("Texture", "bars.png");
        for (const auto& [name, value] : parameters) layer->SetParameter(name, value);
        layer->Init();
        return layer;
    }
    std::vector<const RecordedCall*> DrawFrame(LineLayer& layer, float t, float fade)
    {
        device.ClearCalls();
        static_cast<Driven<LineLayer>&>(layer).DrawAt(t, fade);
        return device.All(Op::Draw);
    }

    ScopedTestPak pak_;
    RecordingDevice device;
    std::vector<LayerOperation> nested;
};

}  // namespace

TEST_F(LineLayerTest, DefaultStripesAreMirroredAndStepRight)
{
    auto layer = Make({});
    EXPECT_EQ(layer->GetName().rfind("Gfx Layer [", 0), 0u);
    ASSERT_EQ(layer->GetPhases().size(), 33u);
    for (int i = 0; i < 32; ++i) {
        EXPECT_GE(layer->GetPhases()[i], 0.0f);
        EXPECT_LT(layer->GetPhases()[i], 1.0f);
    }
    EXPECT_FLOAT_EQ(layer->StripeSize(), -0.06875f);
    const auto draws = DrawFrame(*layer, 0.3f, 1.0f);
    ASSERT_EQ(draws.size(), 32u);
    // Stored vertex 0 has x = 1: stripe 0 puts it at w, each further stripe w + T to the right.
    EXPECT_FLOAT_EQ(draws[0]->Vertices()[0].x, -0.06875f);
    EXPECT_FLOAT_EQ(draws[0]->Vertices()[2].x, 0.06875f);
    EXPECT_FLOAT_EQ(draws[0]->Vertices()[0].y, -1.0f);
    for (size_t i = 1; i < draws.size(); ++i)
        EXPECT_NEAR(draws[i]->Vertices()[0].x - draws[i - 1]->Vertices()[0].x, 0.03125f, 1e-5f);
    for (size_t i = 0; i < draws.size(); ++i) {
        const float expected = std::fabs(std::sin(layer->GetPhases()[i] + 0.3f)) * 204.0f;
        EXPECT_EQ(draws[i]->Vertices()[0].color >> 24, static_cast<uint32_t>(expected)) << i;
        EXPECT_EQ(draws[i]->Vertices()[0].color & 0x00FFFFFFu, 0x00FFFFFFu);
    }
}

TEST_F(LineLayerTest, HorizontalBandsAreOneMoreThanLinesAndHonourIntensity)
{
    auto layer = Make({{"Sens", "1"}, {"NBLines", "4"}, {"IntensityMax", "0.5"}});
    EXPECT_FLOAT_EQ(layer->StripeSize(), (1.0f - 0.4f) / 4.0f);
    // The time puts the first band's phase where the sine is 0.6 (asin 0.6 = 0.6435011):
    // opacity 0.6 x IntensityMax 0.5 x 255 = 76.5, truncated to 76.
    const float sineOfSixTenths = 0.6435011f;
    const auto draws = DrawFrame(*layer, sineOfSixTenths - layer->GetPhases()[0], 1.0f);
    ASSERT_EQ(draws.size(), 5u);
    // The first two bands share phase 0.
    EXPECT_EQ(draws[0]->Vertices()[0].color, draws[1]->Vertices()[0].color);
    EXPECT_EQ(draws[0]->Vertices()[0].color >> 24, 76u);
    for (size_t i = 1; i < draws.size(); ++i)
        EXPECT_NEAR(draws[i]->Vertices()[0].y - draws[i - 1]->Vertices()[0].y, 0.15f + 0.1f, 1e-5f);
    EXPECT_FLOAT_EQ(draws[0]->Vertices()[0].x, 1.0f);

    // IntensityMax does not touch the vertical stripes.
    auto stripes = Make({{"NBLines", "4"}, {"IntensityMax", "0.5"}});
    // Vertical stripes peak at 0.8 x 255 = 204: 0.6 x 204 = 122.4, truncated to 122.
    const auto vertical = DrawFrame(*stripes, sineOfSixTenths - stripes->GetPhases()[0], 1.0f);
    EXPECT_EQ(vertical[0]->Vertices()[0].color >> 24, 122u);
}

TEST_F(LineLayerTest, StripeAtAMultipleOfPiIsInvisible)
{
    auto layer = Make({{"NBLines", "3"}});
    const float t = 3.14159265f - layer->GetPhases()[1];
    const auto draws = DrawFrame(*layer, t, 1.0f);
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[1]->Vertices()[0].color >> 24, 0u);
}

TEST_F(LineLayerTest, NonPositiveOrGrownCountsAreSafe)
{
    for (const char* count : {"0", "-5"}) {
        auto none = Make({{"NBLines", count}});
        EXPECT_TRUE(DrawFrame(*none, 0.1f, 1.0f).empty()) << count;
        EXPECT_EQ(device.GetTransformDepth(), 0u);
    }
    // A wild count is bounded, so Init cannot allocate without limit.
    auto wild = Make({{"NBLines", "2000000000"}});
    EXPECT_EQ(wild->GetPhases().size(), 4096u + 1u);  // the bands read one phase past the stripes
    wild->Release();
    // A count raised after Init uses only the phases that were made.
    auto layer = Make({{"NBLines", "4"}});
    layer->SetParameter("NBLines", "400");
    EXPECT_EQ(DrawFrame(*layer, 0.1f, 1.0f).size(), 4u);
    layer->Release();
    EXPECT_TRUE(layer->GetPhases().empty());
    EXPECT_EQ(device.liveTextures, 0);
}
