// Headless rendering checks of the wave, flicker, circle, line, metaball and water layers on the OpenGL device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include "support/LayerTestKit.h"
#include "engine/core/Fatal.h"
#include "engine/device/gl/GLDevice.h"
#include "engine/effects/CerclesLayer.h"
#include "engine/effects/LineLayer.h"
#include "engine/effects/MetaballLayer.h"
#include "engine/effects/OnduleGFXLayer.h"
#include "engine/effects/ParasitesLayer.h"
#include "engine/effects/WaterText.h"
#include "engine/layers/ScreenSpace.h"
#include "support/GLTestSupport.h"
#include "support/HeadlessGL.h"
#include "support/PixelCheck.h"
#include "support/TestImages.h"
#include "support/TestPak.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

class RemainingLayersGLTest : public ::testing::Test {
protected:
    RemainingLayersGLTest()
        : pak_({{"orange.png", MakePlainPng(8, 8, 0xFF8000)},
                {"water.png", MakePlainPng(8, 8, 0x204080)},
                {"env.png", MakePlainPng(8, 8, 0x101010)}})
    {
    }

    void SetUp() override
    {
        std::string reason;
        device_ = OpenHeadlessGLDevice(kWidth, kHeight, 32, reason);
        if (!device_) {
            SKIP_OR_FAIL_WITHOUT_GL(reason);
        }
        device_->EnableClearColor(true);
        device_->SetClearColor(0, 0, 0);
        SetLayerCamera(*device_);  // the camera every layer finds
        device_->BeginScene();
        device_->Clear(0);
    }

    // Ends the frame and reads it back; on a failed check the image is written out.
    void Capture(const std::string& name) { frame_.Capture(*device_, name); }
    void TearDown() override { frame_.WriteIfFailed("effects"); }
    uint32_t Pixel(int x, int y) const { return frame_.Pixel(x, y); }

    template <class LayerType>
    std::unique_ptr<Driven<LayerType>> Make(const std::vector<std::pair<std::string, std::string>>& parameters)
    {
        auto layer = std::make_unique<Driven<LayerType>>(*device_, nested_);
        for (const auto& [name, value] : parameters) layer->SetParameter(name, value);
        layer->Init();
        return layer;
    }

    ScopedTestPak pak_;
    std::unique_ptr<GLDevice> device_;
    std::vector<LayerOperation> nested_;
    CapturedFrame frame_{kWidth, kHeight};
};

::testing::AssertionResult Near(uint32_t actual, uint32_t expected, int tolerance = 3)
{
    return PixelNear(actual, expected, tolerance);
}

}  // namespace

TEST_F(RemainingLayersGLTest, OnduleShowsTheImageInTheMiddleOfTheScreen)
{
    auto layer = Make<OnduleGFXLayer>({{"Texture", "orange.png"}});
    layer->DrawAt(0.0f, 1.0f);
    Capture("ondule");
    // The unit grid seen from 6.5 units with a 0.7 field of view covers about the middle fifth.
    EXPECT_TRUE(Near(Pixel(32, 24), 0xFF8000));
    EXPECT_TRUE(Near(Pixel(2, 2), 0x000000));
    EXPECT_TRUE(Near(Pixel(61, 45), 0x000000));
    layer->Release();
}

TEST_F(RemainingLayersGLTest, ParasitesZoomCoversTheScreenEvenly)
{
    std::srand(9);
    auto layer = Make<ParasitesLayer>({{"Texture", "orange.png"}, {"Effect", "1"}});
    layer->DrawAt(0.0f, 1.0f);
    Capture("parasites");
    const uint32_t centre = Pixel(32, 24);
    EXPECT_GT(centre >> 16, 0u) << "the random opacity drew nothing";
    // One colour everywhere, with the image's hue: green half of red, no blue.
    for (auto [x, y] : {std::pair{0, 0}, {63, 0}, {0, 47}, {63, 47}}) EXPECT_TRUE(Near(Pixel(x, y), centre, 1));
    EXPECT_NEAR(static_cast<int>((centre >> 8) & 0xFF) * 2, static_cast<int>(centre >> 16), 3);
    EXPECT_EQ(centre & 0xFF, 0u);
}

TEST_F(RemainingLayersGLTest, CerclesDrawsItsCopiesUpAndToTheRight)
{
    auto layer = Make<CerclesLayer>({{"Texture", "orange.png"}, {"NBCercles", "2"}});
    layer->DrawAt(0.0f, 1.0f);
    Capture("cercles");
    // Copies cover (0..1, 0..1) and (0.5..1.5, 0.5..1.5) in the plane 5 units away:
    // world (0.5, 0.5) lands near pixel (38, 18); its mirror (-0.5, -0.5) near (26, 30).
    EXPECT_TRUE(Near(Pixel(38, 18), 0xFF8000));
    EXPECT_TRUE(Near(Pixel(26, 30), 0x000000));
    EXPECT_TRUE(Near(Pixel(32, 40), 0x000000));
}

TEST_F(RemainingLayersGLTest, LineStripeShowsAtItsPhaseOpacity)
{
    auto layer = Make<LineLayer>({{"Texture", "orange.png"}, {"NBLines", "2"}, {"Tracking", "0.2"}});
    // Stripe 0 spans x -0.3..0.3, stripe 1 0.2..0.8; stripe 0 at the top of its sine.
    const float t = 1.5707964f - layer->GetPhases()[0];
    layer->DrawAt(t, 1.0f);
    Capture("line");
    // World x -0.15 (pixel ~30) shows stripe 0 alone at 204 / 255.
    EXPECT_TRUE(Near(Pixel(30, 24), 0xCC6600, 4));
    // World x -0.5 (pixel ~26) and far above the stripes stay black.
    EXPECT_TRUE(Near(Pixel(25, 24), 0x000000));
    EXPECT_TRUE(Near(Pixel(30, 4), 0x000000));
}

TEST_F(RemainingLayersGLTest, MetaballBlobAppearsWhereItsBallIs)
{
    std::srand(4);
    auto layer = Make<MetaballLayer>({{"Texture", "orange.png"}, {"NBMeta", "1"}});
    // Find a moment when the ball is well inside the view (eye at z 10, pi/4 field of view).
    float t = 0.0f;
    for (; t < 60.0f; t += 0.05f) {
        layer->Update(t);
        const MetaPoint& p = layer->GetPositions()[0];
        if (std::fabs(p.x) < 1.5f && std::fabs(p.y) < 1.0f && std::fabs(p.z) < 2.0f) break;
    }
    ASSERT_LT(t, 60.0f);
    const MetaPoint ball = layer->GetPositions()[0];
    layer->DrawAt(t, 1.0f);
    Capture("metaball");

    device_->SetEye(0.0f, 0.0f, 10.0f);
    device_->SetFieldOfView(0.7853982f);
    device_->SetFarPlane(1000.0f);
    device_->UpdateCamera();
    TransformedVertex at{};
    ASSERT_TRUE(device_->ProjectPoint(ball.x, ball.y, ball.z, kWidth, kHeight, at));
    EXPECT_TRUE(Near(Pixel(static_cast<int>(at.x), static_cast<int>(at.y)), 0xFF8000));
    // Four radii away from the ball there is nothing.
    TransformedVertex away{};
    if (device_->ProjectPoint(ball.x + (ball.x > 0 ? -11.0f : 11.0f), ball.y, ball.z, kWidth, kHeight, away)) {
        EXPECT_TRUE(Near(Pixel(static_cast<int>(away.x), static_cast<int>(away.y)), 0x000000));
    }
}

TEST_F(RemainingLayersGLTest, WaterAddsTheEnvironmentToTheSurfaceImage)
{
    auto layer = std::make_unique<WaterText>(*device_, nested_);
    layer->SetParameter("TextureFile", "water.png");
    layer->SetParameter("EnvMapFile", "env.png");
    layer->Init();
    layer->DrawAt(0.0f, 0.1f);
    Capture("water");
    // A still surface fills the screen with surface + environment.
    for (auto [x, y] : {std::pair{32, 24}, {3, 3}, {60, 44}}) EXPECT_TRUE(Near(Pixel(x, y), 0x305090));
    layer->Release();
}
