// Tests of the scene's effects: morph blending, halo fading and facing, particle streams, allocation-free frames.
#include <gtest/gtest.h>
#include <cmath>
#include <cstdlib>
#include <set>
#include "SceneTestKit.h"
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
    for (const RecordedCall* call : CallsNamed(device, "Draw"))
        if (call->IntArg(0) == static_cast<int>(PrimitiveType::TriangleStrip))
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
    EXPECT_EQ(CallCount(loaded.device, "DrawIndexed"), 1);
    EXPECT_EQ(CallCount(loaded.device, "VertexBuffer::Draw"), 0);
    EXPECT_NEAR(CallsNamed(loaded.device, "DrawIndexed")[0]->vertices[0].x, x0 + 1.0f, 1e-4f);

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
    ScopedManualClock clock;
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
        return static_cast<int>(strips[0]->vertices[0].color & 0xFF);
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
    EXPECT_EQ(CallCount(device, "IsPointVisible"), 1);
    // After all halos: blending off, depth on, clockwise culling.
    EXPECT_FALSE(device.alphaBlend);
    EXPECT_TRUE(device.depthTest);
    EXPECT_EQ(device.cullMode, CullMode::Clockwise);
}

TEST(SceneEffectsTest, AHaloHiddenFromTheStartIsNeverDrawn)
{
    ScopedManualClock clock;
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
    ScopedManualClock clock;
    MdlFile file;
    AddTrackedCamera(file, "Camera01", {0, 0, -10}, {});
    file.lights.push_back({"H.Halo.m\"flare.png\"", {0, 0, 0}, {1, 1, 1}, 1});
    LoadedScene loaded(file, {{"flare.png", Png()}});
    loaded.scene->Draw(0);
    const auto strips = HaloDraws(loaded.device);
    ASSERT_EQ(strips.size(), 1u);
    const std::vector<Vertex>& quad = strips[0]->vertices;
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
    EXPECT_EQ(CallsNamed(loaded.device, "SetTexture").back()->object, own);
    loaded.device.DestroyTexture(own);
}

TEST(SceneEffectsTest, StreamParticlesAreSpreadOnTheFirstFrameWheneverItComes)
{
    ScopedManualClock clock;
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
    ScopedManualClock clock;
    MdlFile file;
    AddTrackedCamera(file, "Camera01", {0, 0, -30}, {});
    file.lights = {{"S.ParticleGenSrc.c8.m\"dot.png\"", {0, 0, 0}, {}, 1},
                   {"S.ParticleGenDest", {0, 1, 0}, {}, 1}};
    LoadedScene loaded(file, {{"dot.png", Png()}});
    clock.Advance(1.0);
    loaded.device.ClearCalls();
    loaded.scene->Draw(0);
    const ParticleStream& stream = *loaded.scene->GetStreams()[0];
    const auto visibility = CallsNamed(loaded.device, "ArePointsVisible");
    ASSERT_EQ(visibility.size(), 1u);
    EXPECT_EQ(visibility[0]->IntArg(0), 8);
    const auto sprites = HaloDraws(loaded.device);
    // Particles that flew off screen are not drawn; every drawn one carries its fade.
    std::multiset<uint32_t> expected, drawn;
    for (const ParticleStream::Particle& p : stream.GetParticles()) {
        TransformedVertex projected;
        if (loaded.device.ProjectPoint(p.position.x, p.position.y, p.position.z, 640, 480, projected)) {
            const uint32_t grey = static_cast<uint32_t>(p.fade * 255.0f);
            expected.insert(grey << 16 | grey << 8 | grey);
        }
    }
    for (const RecordedCall* sprite : sprites) {
        ASSERT_EQ(sprite->vertices.size(), 4u);
        drawn.insert(sprite->vertices[0].color);
    }
    EXPECT_EQ(drawn, expected);
    EXPECT_FALSE(loaded.device.alphaBlend);
    loaded.device.SetPointsVisibleForTest(false);
    loaded.device.ClearCalls();
    loaded.scene->Draw(0);
    EXPECT_TRUE(HaloDraws(loaded.device).empty());
}

TEST(SceneEffectsTest, PerFrameWorkAllocatesNothing)
{
    ScopedManualClock clock;
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
