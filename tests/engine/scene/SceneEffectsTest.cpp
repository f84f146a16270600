// Tests of the scene's effects: morph blending, halo fading and facing, particle streams, allocation-free frames.
#include <gtest/gtest.h>
#include <cmath>
#include <cstdlib>
#include <set>
#include "support/SceneTestKit.h"
#include "engine/scene/Halo.h"
#include "engine/scene/Morph.h"
#include "engine/scene/ObjectFlags.h"
#include "support/AllocationProbe.h"
#include "support/TestImages.h"

namespace {

std::string Png()
{
    return EncodePng(2, 2, SolidRgb(2, 2, 255, 255, 255));
}

// Morph meshes: quads shifted right by 2 per step of the sequence.
MdlFile MorphScene(const std::vector<std::string>& names)
{
    MdlFile file;
    file.frameCount = 200;
    AddTrackedCamera(file, "Camera01", {0, 0, -10}, {});
    for (size_t i = 0; i < names.size(); ++i) {
        MdlMeshRecord mesh = MakeQuadMesh(names[i], "", 1.0f, {});
        for (auto& v : mesh.vertices)
            v.position.x += 2.0f * static_cast<float>(i);
        file.meshes.push_back(mesh);
    }
    return file;
}

float FirstX(const Scene& scene)
{
    for (const Mesh* mesh : scene.GetMeshes())
        if (mesh->flags & kFlagMorph)
            return mesh->vertices[0].x;
    return NAN;
}

// The halo strips drawn in the last frame.
std::vector<const RecordedCall*> HaloDraws(const RecordingDevice& device)
{
    std::vector<const RecordedCall*> strips;
    for (const RecordedCall* call : device.All(Op::Draw))
        if (call->Draw().primitive == PrimitiveType::TriangleStrip)
            strips.push_back(call);
    return strips;
}

}  // namespace

TEST(SceneEffectsTest, MorphBlendsRestShapesAcrossEachInterval)
{
    LoadedScene loaded(MorphScene({"Blob.MorphSrc.f0", "Blob.MorphDest.f20.c0", "Blob.MorphDest.f40.e60.c1"}));
    Scene& scene = *loaded.scene;
    const float x0 = -0.5f;  // the source's first vertex; each entry lies 2 further right
    struct Case {
        float t;
        float x;
    };
    // Intervals (0, 19), (20, 39), (40, 60); l = (t - 0 - start) / (end - start).
    const Case cases[] = {{9.5f, x0 + 1.0f},                  // middle of the first: half way to entry 1
                          {0.5f, x0 + 2.0f * 0.5f / 19.0f},   // just after the start
                          {18.9f, x0 + 2.0f * 18.9f / 19.0f}, // just before the end
                          {19.5f, x0 + 2.0f * 18.9f / 19.0f}, // between intervals: unchanged
                          {29.5f, x0 + 2.0f + 1.0f}};         // middle of the second
    for (const Case& c : cases) {
        scene.Draw(c.t);
        EXPECT_NEAR(FirstX(scene), c.x, 1e-4f) << "t " << c.t;
    }
    // The last entry's own interval (40, 60) has no next entry to blend into.
    scene.Draw(50);
    EXPECT_NEAR(FirstX(scene), x0 + 3.0f, 1e-4f);
    // Destinations are never drawn; the source is drawn from memory.
    loaded.device.ClearCalls();
    scene.Draw(9.5f);
    EXPECT_EQ(loaded.device.Count(Op::DrawIndexed), 1);
    EXPECT_EQ(loaded.device.Count(Op::VertexBufferDraw), 0);
    EXPECT_NEAR(loaded.device.All(Op::DrawIndexed)[0]->Vertices()[0].x, x0 + 1.0f, 1e-4f);

    // A source alone in its list keeps its vertices whatever the time.
    Mesh alone(loaded.device);
    alone.vertices = {Vertex{3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
    alone.restVertices = {Vertex{7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}};
    alone.morph.targets = {&alone};
    alone.morph.intervalEnd = 100;
    EvaluateMorph(alone, 50);
    EXPECT_FLOAT_EQ(alone.vertices[0].x, 3);
}

TEST(SceneEffectsTest, HalosFadeInAndOutInAnEighthOfASecondOfNine)
{
    SteppedClock clock;
    MdlFile file;
    file.frameCount = 100;
    AddTrackedCamera(file, "Camera01", {0, 0, -10}, {});
    file.lights.push_back({"Omni01.Halo.m\"flare.png\"", {}, {1, 1, 1}, 1});
    LoadedScene loaded(file, {{"flare.png", Png()}});
    RecordingDevice& device = loaded.device;
    auto drawAndGrey = [&]() -> int {
        device.ClearCalls();
        loaded.scene->Draw(0);
        const auto strips = HaloDraws(device);
        if (strips.empty())
            return -1;
        return static_cast<int>(strips[0]->Vertices()[0].color & 0xFF);
    };
    // Visible from the start: fades in from 0 to full over 1/9 s.
    EXPECT_EQ(drawAndGrey(), 0);
    clock.Advance(1.0 / 18);
    EXPECT_NEAR(drawAndGrey(), 127, 1);
    clock.Advance(1.0 / 18);
    EXPECT_NEAR(drawAndGrey(), 255, 1);
    clock.Advance(1.0);
    EXPECT_EQ(drawAndGrey(), 255);
    // Hidden: fades out from where it was, then is skipped.
    device.SetPointsVisibleForTest(false);
    EXPECT_EQ(drawAndGrey(), 255);
    clock.Advance(1.0 / 18);
    EXPECT_NEAR(drawAndGrey(), 127, 1);
    clock.Advance(1.0 / 18 + 0.001);
    EXPECT_EQ(drawAndGrey(), 0);
    clock.Advance(0.1);
    EXPECT_EQ(drawAndGrey(), -1);
    EXPECT_EQ(device.Count(Op::IsPointVisible), 1);
    // After all halos: blending off, depth on, clockwise culling.
    EXPECT_FALSE(device.alphaBlend);
    EXPECT_TRUE(device.depthTest);
    EXPECT_EQ(device.cullMode, CullMode::Clockwise);
}

TEST(SceneEffectsTest, AHaloHiddenFromTheStartIsNeverDrawn)
{
    SteppedClock clock;
    MdlFile file;
    AddTrackedCamera(file, "Camera01", {0, 0, -10}, {});
    // One halo behind the camera (off screen), one the device reports hidden.
    file.lights.push_back({"Back.Halo.m\"flare.png\"", {0, 0, -50}, {1, 1, 1}, 1});
    LoadedScene loaded(file, {{"flare.png", Png()}});
    loaded.device.SetPointsVisibleForTest(false);
    for (int frame = 0; frame < 5; ++frame) {
        loaded.device.ClearCalls();
        loaded.scene->Draw(0);
        clock.Advance(0.05);
        EXPECT_TRUE(HaloDraws(loaded.device).empty());
    }
    EXPECT_EQ(loaded.scene->GetHalos()[0]->halo.fade, 0.0f);
}

TEST(SceneEffectsTest, HaloQuadKeepsItsSizeOnScreenAndTurnsWithDistance)
{
    SteppedClock clock;
    MdlFile file;
    AddTrackedCamera(file, "Camera01", {0, 0, -10}, {});
    file.lights.push_back({"H.Halo.m\"flare.png\"", {0, 0, 0}, {1, 1, 1}, 1});
    LoadedScene loaded(file, {{"flare.png", Png()}});
    loaded.scene->Draw(0);
    const auto strips = HaloDraws(loaded.device);
    ASSERT_EQ(strips.size(), 1u);
    const std::vector<Vertex>& quad = strips[0]->Vertices();
    ASSERT_EQ(quad.size(), 4u);
    // d = 10: corners (+-1, +-1) turned by 1 radian; the camera's right is +x, up +y.
    const float c = std::cos(1.0f), s = std::sin(1.0f);
    const float corners[4][4] = {{1, 1, 1, 0}, {1, -1, 1, 1}, {-1, 1, 0, 0}, {-1, -1, 0, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(quad[i].x, corners[i][0] * c - corners[i][1] * s, 1e-5f) << i;
        EXPECT_NEAR(quad[i].y, corners[i][0] * s + corners[i][1] * c, 1e-5f) << i;
        EXPECT_NEAR(quad[i].z, 0, 1e-5f) << i;
        EXPECT_EQ(quad[i].u0, corners[i][2]) << i;
        EXPECT_EQ(quad[i].v0, corners[i][3]) << i;
    }
    EXPECT_EQ(loaded.device.stages[0].texture, loaded.scene->GetHalos()[0]->halo.texture);
    // A layer's own halo texture replaces the scene's.
    Texture* own = loaded.device.CreateTexture();
    loaded.scene->SetHaloTexture(own);
    loaded.device.ClearCalls();
    loaded.scene->Draw(0);
    EXPECT_EQ(loaded.device.All(Op::SetTexture).back()->As<StageArgs>().texture, own);
    loaded.device.DestroyTexture(own);
}

TEST(SceneEffectsTest, StreamParticlesAreSpreadOnTheFirstFrameWheneverItComes)
{
    SteppedClock clock;
    clock.Advance(500.0);  // long after the clock started
    std::srand(7);
    ParticleStream stream({0, 0, 0}, {10, 0, 0}, nullptr, 60);
    // Initial velocities head for the destination with a spread of -5 to 4.9 on each axis.
    for (const ParticleStream::Particle& p : stream.GetParticles()) {
        EXPECT_GE(p.velocity.x, 10 - 5.0f - 1e-4f);
        EXPECT_LE(p.velocity.x, 10 + 4.9f + 1e-4f);
    }
    const float now = ClockNow();
    stream.Update(now);
    std::set<float> xs;
    int older = 0;
    for (const ParticleStream::Particle& p : stream.GetParticles()) {
        const float age = now - p.birth;
        EXPECT_GE(age, 0.0f);
        EXPECT_LE(age, 10.0f);
        older += age > 1.0f;
        xs.insert(p.position.x);
        // Path under gravity, four times faster than the clock.
        const float f = age * 4;
        EXPECT_NEAR(p.position.y, p.start.y + f * p.velocity.y - 2.5f * f * f, 1e-2f);
        EXPECT_NEAR(p.fade, 1 - age / p.life, 1e-5f);
    }
    EXPECT_GT(older, 30);
    EXPECT_GT(xs.size(), 40u);
    // Twenty seconds later every particle was reborn with a whole number of seconds to live.
    clock.Advance(20.0);
    stream.Update(ClockNow());
    clock.Advance(0.5);
    stream.Update(ClockNow());
    for (const ParticleStream::Particle& p : stream.GetParticles()) {
        EXPECT_GT(p.birth, now);
        EXPECT_EQ(p.life, std::floor(p.life));
        EXPECT_GE(p.life, 5.0f);
        EXPECT_LE(p.life, 9.0f);
    }
}

TEST(SceneEffectsTest, StreamSpritesAreFadedAndOnlyVisibleOnesDrawn)
{
    SteppedClock clock;
    MdlFile file;
    AddTrackedCamera(file, "Camera01", {0, 0, -30}, {});
    file.lights = {{"S.ParticleGenSrc.c8.m\"dot.png\"", {0, 0, 0}, {}, 1},
                   {"S.ParticleGenDest", {0, 1, 0}, {}, 1}};
    LoadedScene loaded(file, {{"dot.png", Png()}});
    const ParticleStream& stream = *loaded.scene->GetStreams()[0];
    clock.Advance(1.0);
    loaded.scene->Draw(0);
    // 100 s on every life (at most 10 s) is over: each particle is reborn at the source,
    // age 0, fade 1, in the middle of the view.
    clock.Advance(99.0);
    loaded.device.ClearCalls();
    loaded.scene->Draw(0);
    const auto visibility = loaded.device.All(Op::ArePointsVisible);
    ASSERT_EQ(visibility.size(), 1u);
    EXPECT_EQ(visibility[0]->As<int>(), 8);
    const auto sprites = HaloDraws(loaded.device);
    ASSERT_EQ(sprites.size(), 8u);
    for (const RecordedCall* sprite : sprites) {
        ASSERT_EQ(sprite->Vertices().size(), 4u);
        EXPECT_EQ(sprite->Vertices()[0].color, 0xFFFFFFu);
        float cx = 0, cy = 0;
        for (const Vertex& v : sprite->Vertices()) {
            cx += v.x / 4;
            cy += v.y / 4;
        }
        EXPECT_NEAR(cx, 0.0f, 1e-5f);
        EXPECT_NEAR(cy, 0.0f, 1e-5f);
    }
    EXPECT_FALSE(loaded.device.alphaBlend);
    // 2.5 s later the lives (5 to 9 s) give fades 1 - 2.5 / life; gravity has taken the
    // particles 250 units down, far out of the view: none is drawn.
    clock.Advance(2.5);
    loaded.device.ClearCalls();
    loaded.scene->Draw(0);
    EXPECT_TRUE(HaloDraws(loaded.device).empty());
    for (const ParticleStream::Particle& p : stream.GetParticles()) {
        const float life = 2.5f / (1.0f - p.fade);
        EXPECT_NEAR(life, std::round(life), 1e-3f) << p.fade;
        EXPECT_GE(std::round(life), 5.0f);
        EXPECT_LE(std::round(life), 9.0f);
    }
    // Points the device calls hidden are not drawn either.
    clock.Advance(100.0);
    loaded.device.SetPointsVisibleForTest(false);
    loaded.device.ClearCalls();
    loaded.scene->Draw(0);
    EXPECT_TRUE(HaloDraws(loaded.device).empty());
}

TEST(SceneEffectsTest, PerFrameWorkAllocatesNothing)
{
    SteppedClock clock;
    LoadedScene loaded(MorphScene({"Blob.MorphSrc.f0.EnvMap", "Blob.MorphDest.f20.c0"}));
    Mesh& source = *loaded.scene->GetMeshes()[0];
    ParticleStream stream({0, 0, 0}, {5, 5, 5}, nullptr, 100);
    stream.Update(0.0f);
    SceneLight light;
    const Matrix4 view = Matrix4::RotationY(0.3f);
    AllocationProbe probe;
    for (int frame = 0; frame < 20; ++frame) {
        EvaluateMorph(source, static_cast<float>(frame));
        source.RecomputeNormals();
        source.ComputeEnvironmentCoordinates(view);
        stream.Update(static_cast<float>(frame));
        UpdateHaloFade(light, frame % 3 == 0, static_cast<float>(frame) * 0.05f);
        Vertex quad[4];
        FaceCamera(view, {1, 2, 3}, 4.0f, 0.5f, kHaloQuad, quad);
    }
    EXPECT_EQ(probe.Largest(), 0u);
}
