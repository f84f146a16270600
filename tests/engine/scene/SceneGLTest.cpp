// Headless rendering checks of scenes on the OpenGL device: camera tracks, fog, halos, alpha maps, environment maps.
#include <gtest/gtest.h>
#include <cmath>
#include "support/SceneTestKit.h"
#include "support/AllocationProbe.h"
#include "support/GLTestSupport.h"
#include "support/HeadlessGL.h"
#include "support/PixelCheck.h"
#include "support/TestImages.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

std::string Plain(uint8_t r, uint8_t g, uint8_t b)
{
    return EncodePng(8, 8, SolidRgb(8, 8, r, g, b));
}

// Left half red, right half green.
std::string Halves()
{
    std::vector<uint8_t> rgb = SolidRgb(8, 8, 0, 255, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 4; ++x) {
            rgb[(y * 8 + x) * 3] = 255;
            rgb[(y * 8 + x) * 3 + 1] = 0;
        }
    return EncodePng(8, 8, rgb);
}

// Alpha map: left half white (opaque), right half black (transparent).
std::string LeftOpaque()
{
    std::vector<uint8_t> rgb = SolidRgb(8, 8, 0, 0, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 4; ++x)
            for (int c = 0; c < 3; ++c)
                rgb[(y * 8 + x) * 3 + c] = 255;
    return EncodePng(8, 8, rgb);
}

class SceneGLTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string reason;
        device_ = OpenHeadlessGLDevice(kWidth, kHeight, 32, reason);
        if (!device_) {
            SKIP_OR_FAIL_WITHOUT_GL(reason);
        }
        device_->EnableClearColor(true);
        device_->SetClearColor(0, 0, 0);
        device_->SetNearPlane(1.0f);
        device_->SetFarPlane(1000.0f);
    }
    void TearDown() override
    {
        scene_.reset();
        frame_.WriteIfFailed("scene");
        pak_.reset();
    }
    void Load(const MdlFile& file, std::vector<std::pair<std::string, std::string>> files)
    {
        files.emplace_back("scene.mdl", MdlBytes(file));
        pak_ = std::make_unique<ScopedTestPak>(files);
        scene_ = std::make_unique<Scene>(*device_);
        scene_->Load("scene.mdl");
        scene_->LoadTextures();
    }
    // One whole frame of the scene at time frame, read back.
    void DrawFrame(const std::string& name, float frame)
    {
        device_->BeginScene();
        device_->Clear(0);
        scene_->Draw(frame);
        frame_.Capture(*device_, name);
    }
    uint32_t Pixel(int x, int y) const { return frame_.Pixel(x, y); }

    std::unique_ptr<GLDevice> device_;
    std::unique_ptr<ScopedTestPak> pak_;
    std::unique_ptr<Scene> scene_;
    CapturedFrame frame_{kWidth, kHeight};
};

::testing::AssertionResult Near(uint32_t actual, uint32_t expected, int tolerance = 4)
{
    return PixelNear(actual, expected, tolerance);
}

}  // namespace

TEST_F(SceneGLTest, TexturedQuadIsSeenThroughTheCameraTrack)
{
    MdlFile file;
    file.frameCount = 100;
    file.cameras.push_back({"Camera01", {}, {}, 0.785398f, 0});
    // Frames 0-20 look at the origin from 10 units; from frame 60 on the camera has moved 4 right.
    std::vector<MdlVectorKey> eye, target;
    for (int f = 0; f <= 100; f += 10) {
        const float x = f < 40 ? 0.0f : 4.0f;
        eye.push_back({f, {x, 0, -10}});
        target.push_back({f, {x, 0, 0}});
    }
    file.tracks = {MakePositionTrack("Camera01", eye), MakePositionTrack("Camera01.Target", target)};
    file.meshes.push_back(MakeQuadMesh("Panel", "Halves", 4.0f, {}));
    file.materials.push_back(MakeMaterial("Halves", {"C:\\export\\maps\\halves.png"}));
    Load(file, {{"halves.png", Halves()}});

    DrawFrame("camera-start", 0);
    // The 4-unit quad 10 units away spans about 24 pixels around the centre.
    EXPECT_TRUE(Near(Pixel(26, 24), 0xFF0000));
    EXPECT_TRUE(Near(Pixel(38, 24), 0x00FF00));
    EXPECT_TRUE(Near(Pixel(3, 24), 0x000000));
    EXPECT_TRUE(Near(Pixel(60, 24), 0x000000));

    DrawFrame("camera-moved", 80);
    // Moved right by 4 units (about 23 pixels), the green half is now left of the centre.
    EXPECT_TRUE(Near(Pixel(20, 24), 0x00FF00));
    EXPECT_TRUE(Near(Pixel(40, 24), 0x000000));
}

TEST_F(SceneGLTest, LinearFogTintsMeshesButNotNoFogOnes)
{
    MdlFile file;
    file.frameCount = 100;
    AddTrackedCamera(file, "Camera01", {0, 0, -10}, {});
    file.meshes.push_back(MakeQuadMesh("Fogged", "White", 3.0f, {-2, 0, 0}));
    file.meshes.push_back(MakeQuadMesh("Clear.NoFog", "White", 3.0f, {2, 0, 0}));
    file.materials.push_back(MakeMaterial("White", {"white.png"}));
    Load(file, {{"white.png", Plain(255, 255, 255)}});
    device_->SetFogColor(0, 0, 1);
    device_->SetFog(FogMode::Linear, 5, 15, 0);
    device_->EnableFog(true);
    DrawFrame("fog", 0);
    // About 10 units away: half way into the fog.
    const uint32_t fogged = Pixel(22, 24);
    EXPECT_LT(fogged >> 16, 0xC0u) << std::hex << fogged;
    EXPECT_GT(fogged >> 16, 0x50u) << std::hex << fogged;
    EXPECT_GT(fogged & 0xFF, 0xF0u) << std::hex << fogged;
    EXPECT_TRUE(Near(Pixel(42, 24), 0xFFFFFF));
    EXPECT_TRUE(device_->IsFogEnabled());
}

TEST_F(SceneGLTest, HaloGlowsAroundItsLightOnceFadedIn)
{
    SteppedClock clock;
    MdlFile file;
    file.frameCount = 100;
    AddTrackedCamera(file, "Camera01", {0, 0, -10}, {});
    file.lights.push_back({"Omni01.Halo.m\"glow.png\"", {0, 0, 0}, {1, 1, 1}, 1});
    Load(file, {{"glow.png", Plain(255, 200, 100)}});
    DrawFrame("halo-first", 0);
    EXPECT_TRUE(Near(Pixel(20, 24), 0x000000)) << "fade starts at 0";
    clock.Advance(0.2);
    DrawFrame("halo", 0);
    // d = 10: a quad of half-size 1 turned by 1 radian; its centre and inner ring glow.
    EXPECT_TRUE(Near(Pixel(29, 24), 0xFFC864));
    EXPECT_TRUE(Near(Pixel(35, 21), 0xFFC864));
    EXPECT_TRUE(Near(Pixel(8, 8), 0x000000));
    EXPECT_TRUE(Near(Pixel(56, 40), 0x000000));
}

TEST_F(SceneGLTest, AlphaMapMeshShowsOnlyItsOpaqueHalf)
{
    MdlFile file;
    file.frameCount = 100;
    AddTrackedCamera(file, "Camera01", {0, 0, -10}, {});
    file.meshes.push_back(MakeQuadMesh("Sign.AlphaMap", "Cut", 4.0f, {}));
    file.materials.push_back(MakeMaterial("Cut", {"sign.png", "signalpha.png"}));
    Load(file, {{"sign.png", Plain(255, 0, 0)}, {"signalpha.png", LeftOpaque()}});
    device_->SetClearColor(0, 0, 0.5f);
    DrawFrame("alphamap", 0);
    EXPECT_TRUE(Near(Pixel(26, 24), 0xFF0000));
    EXPECT_TRUE(Near(Pixel(38, 24), 0x00007F));
    EXPECT_FALSE(device_->IsFogEnabled());
}

TEST_F(SceneGLTest, EnvMapMeshAddsItsSecondTexture)
{
    MdlFile file;
    file.frameCount = 100;
    AddTrackedCamera(file, "Camera01", {0, 0, -10}, {});
    file.meshes.push_back(MakeQuadMesh("Chrome.EnvMap", "Steel", 4.0f, {}));
    file.materials.push_back(MakeMaterial("Steel", {"base.png", "env.png"}));
    Load(file, {{"base.png", Plain(0x20, 0x20, 0x20)}, {"env.png", Plain(0, 0x40, 0)}});
    DrawFrame("envmap", 0);
    EXPECT_TRUE(Near(Pixel(32, 24), 0x206020));
    EXPECT_TRUE(Near(Pixel(2, 2), 0x000000));
}

TEST_F(SceneGLTest, DrawingAFrameAllocatesNothingOnceWarm)
{
    SteppedClock clock;
    MdlFile file;
    file.frameCount = 100;
    AddTrackedCamera(file, "Camera01", {0, 0, -10}, {});
    file.meshes.push_back(MakeQuadMesh("Blob.MorphSrc.f0.EnvMap", "Steel", 2.0f, {}));
    file.meshes.push_back(MakeQuadMesh("Blob.MorphDest.f50.c0", "Steel", 3.0f, {}));
    file.meshes.push_back(MakeQuadMesh("Child", "Steel", 1.0f, {2, 0, 0}));
    file.meshes[0].children = {"Child"};
    MdlTrackRecord spin = MakePositionTrack("Blob.MorphSrc.f0.EnvMap", {{0, {}}, {100, {1, 0, 0}}});
    spin.rotation = {{0, {0, 0, 1}, 0, 0, 0}, {100, {0, 0, 1}, 1.0f, 0, 0}};
    file.tracks.push_back(spin);
    file.materials.push_back(MakeMaterial("Steel", {"base.png", "env.png"}));
    // (Streams are left out: the OpenGL device's multi-point test keeps a buffer of its own.)
    file.lights = {{"H.Halo.Dyna.m\"base.png\"", {0, 1, 0}, {1, 1, 1}, 1}};
    Load(file, {{"base.png", Plain(0x20, 0x20, 0x20)}, {"env.png", Plain(0, 0x40, 0)}});
    scene_->showBoundingBoxes = true;
    for (int frame = 0; frame < 3; ++frame) {
        DrawFrame("warm", static_cast<float>(frame * 10));
        clock.Advance(0.05);
    }
    AllocationProbe probe;
    for (int frame = 3; frame < 8; ++frame) {
        device_->BeginScene();
        device_->Clear(0);
        scene_->Draw(static_cast<float>(frame * 10));
        device_->EndScene();
        clock.Advance(0.05);
    }
    EXPECT_EQ(probe.Largest(), 0u);
}
