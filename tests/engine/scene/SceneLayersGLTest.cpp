// Headless rendering checks of the scene layers on the OpenGL device: fog, the glow quad, dots, smoke order.
#include <gtest/gtest.h>

#include <cstdlib>
#include "support/PlayerTestKit.h"
#include "engine/device/gl/GLDevice.h"
#include "engine/effects/DotEffect.h"
#include "engine/scene/FocalMDL.h"
#include "engine/scene/Smoke.h"
#include "support/GLTestSupport.h"
#include "support/HeadlessGL.h"
#include "support/PixelCheck.h"

namespace {

constexpr int kWidth = 128;
constexpr int kHeight = 96;

// A quad mesh of edge size centred on centre (its pivot), facing a camera on -z.
MdlMeshRecord QuadAt(const std::string& name, float size, Vector3 centre)
{
    MdlMeshRecord mesh = MakeQuadMesh(name, "", size, {});
    for (MdlVertexRecord& v : mesh.vertices)
        v.position = v.position + centre;
    mesh.pivot = centre;
    return mesh;
}

// Camera01 at (0, 0, -10) looking at the origin, 200 frames, with the given meshes and lights.
MdlFile CameraScene(std::vector<MdlMeshRecord> meshes, std::vector<MdlLightRecord> lights = {})
{
    MdlFile file;
    file.frameCount = 200;
    AddTrackedCamera(file, "Camera01", {0, 0, -10}, {0, 0, 0}, 200);
    file.meshes = std::move(meshes);
    file.lights = std::move(lights);
    return file;
}

class SceneLayersGLTest : public ::testing::Test {
protected:
    // Opens the device at bits per pixel with file as "scene.mdl"; false (test skipped) without OpenGL.
    bool Open(const MdlFile& file, int bits = 32)
    {
        auto files = PlayerTestImages();
        files.emplace_back("scene.mdl", MdlBytes(file));
        pak_ = std::make_unique<ScopedTestPak>(files);
        std::string reason;
        device_ = OpenHeadlessGLDevice(kWidth, kHeight, bits, reason);
        if (!device_) {
            reason_ = reason;
            return false;
        }
        device_->EnableClearColor(true);
        device_->SetClearColor(0, 0, 1);
        device_->EnableLighting(false);
        device_->BeginScene();
        device_->Clear(0);
        return true;
    }

    template <class LayerType>
    std::unique_ptr<LayerType> Make(std::vector<LayerOperation> modifiers,
                                    const std::vector<std::pair<std::string, std::string>>& parameters)
    {
        nested_ = std::move(modifiers);
        auto layer = std::make_unique<LayerType>(*device_, nested_);
        layer->SetParameter("MDLFile", "scene.mdl");
        for (const auto& [name, value] : parameters)
            layer->SetParameter(name, value);
        layer->Init();
        return layer;
    }

    void FrameAt(Layer& layer, double seconds)
    {
        clock_.Set(layer.GetClockOrigin() + seconds);
        layer.Frame();
    }

    void Capture(const std::string& name) { frame_.Capture(*device_, name); }

    void TearDown() override { frame_.WriteIfFailed("scene"); }

    uint32_t Pixel(int x, int y) const { return frame_.Pixel(x, y); }

    ::testing::AssertionResult Near(int x, int y, uint32_t expected, int tolerance = 6) const
    {
        return PixelNear(Pixel(x, y), expected, tolerance) << std::dec << " at (" << x << ", " << y << ")";
    }

    FakeClock clock_{1000000};
    std::unique_ptr<ScopedTestPak> pak_;
    std::unique_ptr<GLDevice> device_;
    std::vector<LayerOperation> nested_;
    CapturedFrame frame_{kWidth, kHeight};
    std::string reason_;
};

#define OPEN_OR_SKIP(...)   \
    if (!Open(__VA_ARGS__)) { \
        SKIP_OR_FAIL_WITHOUT_GL(reason_); \
    }

}  // namespace

TEST_F(SceneLayersGLTest, PlayerFogsTheFarMeshInTheFogLightsColour)
{
    // A small white quad at distance 10 before a large one at distance 160; fog from 60 to 100.
    OPEN_OR_SKIP(CameraScene({QuadAt("Near", 2, {0, 0, 0}), QuadAt("Far", 400, {0, 0, 150})},
                             {{"Omni03.Fog.s60.e100.d10", {0, 0, 0}, {1, 0, 0}, 5}}));
    auto player = Make<MDLPlayer>({}, {});
    FrameAt(*player, 0.5);
    EXPECT_FALSE(device_->IsFogEnabled());
    Capture("player-fog");
    EXPECT_TRUE(Near(kWidth / 2, kHeight / 2, 0xFFFFFF));  // near: no fog
    EXPECT_TRUE(Near(4, 4, 0xFF0000));                      // far: all fog
    player->Release();
}

TEST_F(SceneLayersGLTest, FocalGlowQuadBlendsTheScenePictureAtTheFade)
{
    // The white quad fills the middle of the view; the background is the blue clear colour.
    OPEN_OR_SKIP(CameraScene({QuadAt("Quad", 4, {0, 0, 0})}));
    auto focal = Make<FocalMDL>({}, {{"RisingTime", "1"}, {"StableTime", "1"}, {"FallingTime", "1"}});
    FrameAt(*focal, 0.5);  // fade 0.5: alpha 127
    Capture("focal-glow");
    // Where the scene is white the glow (chromic white x scene white) keeps it white; over
    // the blue background the glow samples the target's black and darkens it by half.
    EXPECT_TRUE(Near(kWidth / 2, kHeight / 2, 0xFFFFFF));
    EXPECT_TRUE(Near(3, 3, 0x000080));
    focal->Release();
}

class DotEffectGLTest : public SceneLayersGLTest, public ::testing::WithParamInterface<int> {};

TEST_P(DotEffectGLTest, AWhiteSceneBecomesASolidSquareOfDots)
{
    OPEN_OR_SKIP(CameraScene({QuadAt("Wall", 100, {0, 0, 0})}), GetParam());
    device_->SetClearColor(0, 0, 0);
    device_->Clear(0);
    auto dots = Make<DotEffect>({}, {{"TextureMap", "dot.png"}});
    FrameAt(*dots, 0.5);
    for (uint8_t intensity : dots->GetIntensities())
        ASSERT_EQ(intensity, 31);
    Capture("dots-" + std::to_string(GetParam()));
    // The grid (one unit across at distance 5 with a quarter-turn view) covers the middle
    // quarter of the height: dots touch there, the rest stays black.
    EXPECT_TRUE(Near(kWidth / 2, kHeight / 2, 0xFFFFFF, 10));
    EXPECT_TRUE(Near(kWidth / 2 + 8, kHeight / 2 - 8, 0xFFFFFF, 10));
    EXPECT_TRUE(Near(4, 4, 0x000000));
    EXPECT_TRUE(Near(kWidth / 2, 4, 0x000000));
    dots->Release();
}

INSTANTIATE_TEST_SUITE_P(Depths, DotEffectGLTest, ::testing::Values(16, 32));

TEST_F(SceneLayersGLTest, DotEffectOfABlackSceneShowsNothing)
{
    OPEN_OR_SKIP(CameraScene({}));
    device_->SetClearColor(0, 0, 0);
    device_->Clear(0);
    auto dots = Make<DotEffect>({}, {{"TextureMap", "dot.png"}});
    FrameAt(*dots, 0.5);
    Capture("dots-black");
    for (uint8_t intensity : dots->GetIntensities())
        ASSERT_EQ(intensity, 0);
    EXPECT_TRUE(Near(kWidth / 2, kHeight / 2, 0x000000));
    dots->Release();
}

TEST_F(SceneLayersGLTest, NearestSmokeSpriteHidesTheOnesBehindIt)
{
    OPEN_OR_SKIP(CameraScene({}));
    device_->SetClearColor(0, 0, 0);
    device_->Clear(0);
    ClockSetSeed(1);
    // Two partly transparent sprites on the view axis at different depths.
    auto player = Make<MDLPlayer>({ModifierOperation("Smoke", "S",
                                                     {{"Texture", "spark.png"}, {"NBParticle", "2"},
                                                      {"SensZ", "0.01"}, {"LifeTimeParticules", "100"}})},
                                  {});
    // Born within the last 100 s: ages 0..100 put them 0 to 4 units behind the origin.
    FrameAt(*player, 100.0);
    Capture("smoke-order");
    const Smoke& smoke = static_cast<const Smoke&>(*player->GetModifiers().front());
    const auto& order = smoke.GetOrder();
    ASSERT_EQ(order.size(), 2u);
    ASSERT_LT(order[0].first, order[1].first);
    const uint32_t nearAlpha = smoke.GetCorners()[static_cast<size_t>(order[0].second) * 4].color >> 24;
    const uint32_t farAlpha = smoke.GetCorners()[static_cast<size_t>(order[1].second) * 4].color >> 24;
    ASSERT_GT(nearAlpha, 20u);
    ASSERT_GT(farAlpha, 20u);
    // The nearer sprite is drawn first and the depth test keeps the other off it: the
    // middle shows the nearer one's alpha over black, not both blended.
    EXPECT_TRUE(Near(kWidth / 2, kHeight / 2, nearAlpha * 0x010101u, 4));
    player->Release();
}
