// Headless rendering checks of the scene layers on the OpenGL device: fog, the glow quad, dots, sprites.
#include <gtest/gtest.h>

#include <cstdlib>
#include "support/PlayerTestKit.h"
#include "engine/device/gl/GLDevice.h"
#include "engine/effects/DotEffect.h"
#include "engine/scene/FocalMDL.h"
#include "engine/scene/ParticleStream.h"
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

// QuadAt in one colour (0xRRGGBB) instead of white.
MdlMeshRecord ColouredQuadAt(const std::string& name, float size, Vector3 centre, uint32_t colour)
{
    MdlMeshRecord mesh = QuadAt(name, size, centre);
    for (MdlVertexRecord& v : mesh.vertices)
        v.color = colour;
    return mesh;
}

// A white wall filling Camera01's view with, in front of it, a quad of colour over the
// view's upper left quarter (x < -0.5 and y > 0.5 in the scene: left and up from -z).
std::vector<MdlMeshRecord> UpperLeftOnWall(uint32_t colour, uint32_t wall = 0xFFFFFF)
{
    return {ColouredQuadAt("Corner", 30, {-15.5f, 15.5f, -1}, colour), ColouredQuadAt("Wall", 100, {0, 0, 0}, wall)};
}

// size x size RGB: the upper left quarter in one colour, the rest in another.
std::string QuarterPng(int size, uint32_t upperLeft, uint32_t rest)
{
    std::vector<uint8_t> rgb;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const uint32_t c = x < size / 2 && y < size / 2 ? upperLeft : rest;
            rgb.insert(rgb.end(), {static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c)});
        }
    return EncodePng(size, size, rgb);
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
    // Opens the device at bits per pixel with file as "scene.mdl" and the given images
    // besides the player's; false (test skipped) without OpenGL.
    bool Open(const MdlFile& file, int bits = 32, const std::vector<std::pair<std::string, std::string>>& images = {})
    {
        auto files = PlayerTestImages();
        files.insert(files.end(), images.begin(), images.end());
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

TEST_F(SceneLayersGLTest, FocalGlowTakesTheScenesCornerTexelsThroughItsAlphaMap)
{
    // The scene: red in the upper left quarter of the view, white elsewhere. The glow's
    // alpha map is opaque in its lower right quarter only. The glow's colour is the scene
    // picture at (0, 0): filtered and wrapped, that point blends the four corner texels,
    // one red and three white: (255, 191, 191).
    std::vector<uint8_t> rgb(8 * 8 * 3, 0);
    for (int y = 4; y < 8; ++y)
        for (int x = 4; x < 8; ++x)
            for (int k = 0; k < 3; ++k)
                rgb[(y * 8 + x) * 3 + k] = 255;
    OPEN_OR_SKIP(CameraScene(UpperLeftOnWall(0xFF0000)), 32, {{"lowerright.png", EncodePng(8, 8, rgb)}});
    auto focal = Make<FocalMDL>({}, {{"RisingTime", "1"}, {"StableTime", "1"}, {"FallingTime", "1"},
                                     {"AlphaMap", "lowerright.png"}});
    struct Case {
        double seconds;
        uint32_t lowerRight;  // the glow over the white scene at the envelope's fade
    };
    // Fade 1 shows the glow's colour; fade 0.5 (alpha 127) half of it over white.
    for (const Case& c : {Case{1.5, 0xFFBFBF}, Case{0.5, 0xFFDFDF}}) {
        FrameAt(*focal, c.seconds);
        Capture("focal-glow-" + std::to_string(static_cast<int>(c.seconds * 10)));
        EXPECT_TRUE(Near(kWidth / 4, kHeight / 4, 0xFF0000)) << c.seconds;          // the scene's red
        EXPECT_TRUE(Near(3 * kWidth / 4, kHeight / 4, 0xFFFFFF)) << c.seconds;      // white, no glow
        EXPECT_TRUE(Near(kWidth / 4, 3 * kHeight / 4, 0xFFFFFF)) << c.seconds;      // white, no glow
        EXPECT_TRUE(Near(3 * kWidth / 4, 3 * kHeight / 4, c.lowerRight, 8)) << c.seconds;
        device_->BeginScene();
    }
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

TEST_F(SceneLayersGLTest, DotEffectReadsTheTargetTopRowFirstAndLaysRowZeroAtTheBottom)
{
    // The scene is lit in the upper left quarter of the view only.
    OPEN_OR_SKIP(CameraScene(UpperLeftOnWall(0xFFFFFF, 0x000000)));
    device_->SetClearColor(0, 0, 0);
    device_->Clear(0);
    auto dots = Make<DotEffect>({}, {{"TextureMap", "dot.png"}});
    FrameAt(*dots, 0.5);
    Capture("dots-upper-left");
    // Intensity r x 64 + c is the texel of row r from the top, column c from the left.
    const auto& intensities = dots->GetIntensities();
    struct Case {
        int row, column;
        uint8_t intensity;
    };
    for (const Case& c : {Case{4, 4, 31}, Case{26, 26, 31}, Case{4, 59, 0}, Case{59, 4, 0}, Case{59, 59, 0}})
        EXPECT_EQ(intensities[c.row * 64 + c.column], c.intensity) << "row " << c.row << " column " << c.column;
    // Row r is drawn at y = r / 64 - 0.5 seen from (0, 0, -5): row 0 lowest, so the lit
    // quarter shows in the lower left of the grid (a grid 23 pixels high around the middle).
    EXPECT_TRUE(Near(kWidth / 2 - 6, kHeight / 2 + 6, 0xFFFFFF, 10));
    EXPECT_TRUE(Near(kWidth / 2 - 6, kHeight / 2 - 6, 0x000000, 10));
    EXPECT_TRUE(Near(kWidth / 2 + 6, kHeight / 2 + 6, 0x000000, 10));
    EXPECT_TRUE(Near(kWidth / 2 + 6, kHeight / 2 - 6, 0x000000, 10));
    dots->Release();
}

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

// Sprites of the three kinds that face the camera, each with a texture red in its upper
// left quarter, drawn at the view's middle over black with clockwise culling on (the
// stream turns culling off itself).
enum class SpriteKind { Smoke, Flies, Stream };

std::string SpriteName(SpriteKind kind)
{
    const char* names[] = {"Smoke", "Flies", "Stream"};
    return names[static_cast<int>(kind)];
}

void PrintTo(SpriteKind kind, std::ostream* out)
{
    *out << SpriteName(kind);
}

class SpriteGLTest : public SceneLayersGLTest, public ::testing::WithParamInterface<SpriteKind> {};

TEST_P(SpriteGLTest, TextureRunsFromTheRightAndTheFrontFaceIsKept)
{
    const std::string corner = "\"corner.png\"";
    MdlFile file = CameraScene({});
    // A stream from just before the eye (0.2 units away) upwards.
    if (GetParam() == SpriteKind::Stream)
        file.lights = {{"Jet.ParticleGenSrc.c1.m" + corner, {0, 0, -9.8f}, {}, 1},
                       {"Jet.ParticleGenDest", {0, 1, -9.8f}, {}, 1}};
    OPEN_OR_SKIP(file, 32, {{"corner.png", QuarterPng(4, 0xFF0000, 0xFFFFFF)}});
    device_->SetClearColor(0, 0, 0);
    device_->Clear(0);
    ClockSetSeed(3);
    std::vector<LayerOperation> modifiers;
    // Smoke: one particle standing at the origin (no spread, no drift), half-size 1 to 2
    // units; a fly: at the origin at time 0, half-size 1.5.
    if (GetParam() == SpriteKind::Smoke)
        modifiers.push_back(ModifierOperation("Smoke", "S",
                                              {{"Texture", "corner.png"}, {"NBParticle", "1"}, {"Effect", "1"},
                                               {"LifeTimeParticules", "100"}}));
    if (GetParam() == SpriteKind::Flies)
        modifiers.push_back(ModifierOperation("Flies", "F",
                                              {{"Texture", "corner.png"}, {"XScale", "1.5"}, {"YScale", "1.5"}}));
    auto player = Make<MDLPlayer>(std::move(modifiers), {{"NearPlane", "0.1"}});
    device_->SetCullMode(CullMode::Clockwise);  // as a scene's meshes leave it
    FrameAt(*player, 0.0);
    if (GetParam() == SpriteKind::Stream) {
        // 100 s on, the stream's particle is reborn at its source and drawn there, 0.2
        // units across at 0.2 units: about as large on screen as the others.
        device_->Clear(0);
        FrameAt(*player, 100.0);
    }
    Capture("sprite-" + SpriteName(GetParam()));
    // Texel (0, 0) sits at the sprite's corner up and to the camera's right; a mirrored or
    // flipped texture puts the red elsewhere, a culled sprite leaves all black.
    const int d = 6;
    EXPECT_TRUE(Near(kWidth / 2 + d, kHeight / 2 - d, 0xFF0000, 8));
    EXPECT_TRUE(Near(kWidth / 2 - d, kHeight / 2 - d, 0xFFFFFF, 8));
    EXPECT_TRUE(Near(kWidth / 2 - d, kHeight / 2 + d, 0xFFFFFF, 8));
    EXPECT_TRUE(Near(kWidth / 2 + d, kHeight / 2 + d, 0xFFFFFF, 8));
    player->Release();
}

INSTANTIATE_TEST_SUITE_P(Kinds, SpriteGLTest,
                         ::testing::Values(SpriteKind::Smoke, SpriteKind::Flies, SpriteKind::Stream),
                         [](const ::testing::TestParamInfo<SpriteKind>& info) { return SpriteName(info.param); });
