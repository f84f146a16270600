// Tests of the five modifier types on the recording device: pulse windows, glow passes and restore, smoke, flies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include "support/PlayerTestKit.h"
#include "engine/scene/Flies.h"
#include "engine/scene/GlowEffect.h"
#include "engine/scene/Material.h"
#include "engine/scene/Mesh.h"
#include "engine/scene/ObjectFlags.h"
#include "engine/scene/OndesRadio.h"
#include "engine/scene/ParticlesCollision.h"
#include "engine/scene/Smoke.h"
#include "support/AllocationProbe.h"

namespace {

constexpr float kPi = 3.14159265f;

// PlayerScene with Box also carrying a track that moves it along x one unit per frame.
MdlFile MovingBoxScene()
{
    MdlFile file = PlayerScene();
    std::vector<MdlVectorKey> keys;
    for (int f = 0; f <= 200; f += 10)
        keys.push_back({f, {static_cast<float>(f), 0, 0}});
    file.tracks.push_back(MakePositionTrack("Box", keys));
    return file;
}

class SceneModifiersTest : public PlayerTest {
protected:
    explicit SceneModifiersTest(const MdlFile& file = PlayerScene()) : PlayerTest(file) {}

    void SetUp() override
    {
        scene_ = std::make_unique<Scene>(device);
        scene_->Load("scene.mdl");
        scene_->LoadTextures();
        SetClock(0.0);
        // Camera01 looks along +z from (0, 0, -10).
        scene_->Draw(0.0f);
    }
    void TearDown() override { scene_->ReleaseTextures(); }

    template <class Type>
    std::unique_ptr<Type> Make(const std::vector<std::pair<std::string, std::string>>& parameters)
    {
        auto modifier = std::make_unique<Type>(device, *scene_);
        modifier->SetName("M");
        for (const auto& [name, value] : parameters)
            modifier->SetParameter(name, value);
        modifier->Init();
        modifier->Restart(0.0f);
        return modifier;
    }

    // One frame of modifier at local time t (its StartTime 0, origin 0).
    void FrameAt(MDLModifier& modifier, double t)
    {
        SetClock(t);
        device.ClearCalls();
        modifier.Frame();
    }

    Mesh& Box() { return static_cast<Mesh&>(*scene_->FindObject("Box")); }

    std::unique_ptr<Scene> scene_;
};

class MovingBoxModifiersTest : public SceneModifiersTest {
protected:
    MovingBoxModifiersTest() : SceneModifiersTest(MovingBoxScene()) {}
};

Vector3 Centre(const RecordedCall& draw)
{
    Vector3 c;
    for (const Vertex& v : draw.Vertices())
        c = c + Vector3{v.x, v.y, v.z} * (1.0f / static_cast<float>(draw.Vertices().size()));
    return c;
}

}  // namespace

TEST_F(SceneModifiersTest, OndesRadioPulsesInTwoWindowsOfEveryTurn)
{
    auto wave = Make<OndesRadio>({{"Texture", "spark.png"}, {"ObjetName", "Box"}, {"XScale", "2"}});
    struct Step {
        double t;
        bool draws;
    } steps[] = {{0.0, false}, {0.5, true}, {1.5, true}, {1.6, false}, {3.0, false},
                 {3.5, true}, {4.8, false}, {2 * kPi + 0.3, true}};
    for (const Step& step : steps) {
        FrameAt(*wave, step.t);
        ASSERT_EQ(device.Count(Op::Draw), step.draws ? 1 : 0) << step.t;
        // The device is handed back in the same state either way.
        EXPECT_EQ(device.stages[0].alphaOp, AlphaOp::Disable) << step.t;
        EXPECT_FALSE(device.alphaBlend) << step.t;
        if (!step.draws)
            continue;
        const RecordedCall& draw = *device.Last(Op::Draw);
        const float s = std::fabs(std::sin(static_cast<float>(step.t)));
        EXPECT_EQ(draw.Vertices()[0].color >> 24, static_cast<uint32_t>(static_cast<int>(s * 255.0f))) << step.t;
        EXPECT_NEAR(draw.Vertices()[0].x, 1.0f * (s + 2.0f) + 2.0f, 1e-4f) << step.t;  // + the box's pivot
        EXPECT_NEAR(draw.Vertices()[0].y, -1.0f * (s + 1.0f), 1e-4f) << step.t;
        EXPECT_EQ(device.srcBlend, BlendFactor::SrcAlpha);
    }
}

TEST_F(SceneModifiersTest, OndesRadioTimedIsTenTimesStrongerAndTurned)
{
    auto wave = Make<OndesRadio>({{"Texture", "spark.png"}, {"LifeTime", "100"}, {"RotateZ", "1.5707963"}});
    FrameAt(*wave, 0.5);
    const RecordedCall& draw = *device.Last(Op::Draw);
    const float s = std::fabs(std::sin(0.5f)) * 10.0f;
    // The low byte of s x 255 (> 255 here) is the alpha.
    EXPECT_EQ(draw.Vertices()[0].color >> 24, static_cast<uint32_t>(static_cast<int>(s * 255.0f)) & 0xFFu);
    EXPECT_NEAR(draw.Vertices()[0].x, s + 1.0f, 1e-3f);
    const Matrix4 world = device.Last(Op::SetWorld)->As<Matrix4>();
    EXPECT_NEAR(TransformPoint(world, {1, 0, 0}).y, 1.0f, 1e-5f);
}

TEST_F(MovingBoxModifiersTest, OndesRadioStaysAtTheObjectsRestingPlace)
{
    auto wave = Make<OndesRadio>({{"Texture", "spark.png"}, {"ObjetName", "Box"}});
    FrameAt(*wave, 1.0);
    EXPECT_NEAR(Centre(*device.Last(Op::Draw)).x, 2.0f, 1e-4f);
}

TEST_F(SceneModifiersTest, GlowEffectDrawsThreeAccumulatingPassesInItsWindows)
{
    Mesh& box = Box();
    const std::vector<Vertex> rest = box.vertices;
    Texture* boxTexture = box.material->GetTexture(0);
    auto glow = Make<GlowEffect>({{"Texture", "glow.png"}, {"ObjetName", "Box"}, {"XScale", "2"}});
    EXPECT_FALSE(box.isStatic);
    struct Step {
        double t;
        bool draws;
    } steps[] = {{0.5, true}, {1.5, true}, {1.6, false}, {3.0, false}, {3.2, true}, {4.7, true}, {4.8, false}};
    for (const Step& step : steps) {
        FrameAt(*glow, step.t);
        const auto draws = device.All(Op::DrawIndexed);
        // Each pass draws the mesh twice (it carries the alpha flag while glowing).
        ASSERT_EQ(draws.size(), step.draws ? 6u : 0u) << step.t;
        // Swapped in and put back every frame.
        EXPECT_EQ(box.material->GetTexture(0), boxTexture) << step.t;
        EXPECT_EQ(box.flags & kFlagAlpha, 0u) << step.t;
        EXPECT_EQ(box.vertices[0].x, rest[0].x) << step.t;
        EXPECT_EQ(box.vertices[0].color, rest[0].color) << step.t;
        EXPECT_EQ(device.Count(Op::BeginStateBlock), 2) << step.t;
        if (!step.draws)
            continue;
        const float s = std::fabs(std::sin(static_cast<float>(step.t)));
        const float x1 = rest[0].x * (s + 2.0f), x2 = x1 * (s + 1.1f), x3 = x2 * (s + 1.2f);
        const float y1 = rest[0].y * (s + 1.0f);
        EXPECT_NEAR(draws[0]->Vertices()[0].x, x1, 1e-4f);
        EXPECT_NEAR(draws[0]->Vertices()[0].y, y1, 1e-4f);
        EXPECT_NEAR(draws[2]->Vertices()[0].x, x2, 1e-4f);
        EXPECT_NEAR(draws[4]->Vertices()[0].x, x3, 1e-4f);
        EXPECT_EQ(draws[0]->Vertices()[0].color & 0xFF, static_cast<uint32_t>(255.0f - 255.0f * s));
        EXPECT_EQ(draws[2]->Vertices()[0].color & 0xFF, static_cast<uint32_t>(200.0f - 200.0f * s));
        EXPECT_EQ(draws[4]->Vertices()[0].color & 0xFF, static_cast<uint32_t>(150.0f - 150.0f * s));
        // Drawn with the glow texture at the box's place, additively.
        EXPECT_EQ(device.All(Op::SetTexture)[0]->As<StageArgs>().texture, glow->GetTexture());
        EXPECT_FLOAT_EQ(device.Last(Op::SetWorld)->As<Matrix4>()[3][0], 2.0f);
    }
}

TEST_F(SceneModifiersTest, TimedGlowNeverDrawsButStillSwapsAndRestores)
{
    Mesh& box = Box();
    box.flags |= kFlagAlpha;  // an alpha mesh keeps its own flag
    Texture* boxTexture = box.material->GetTexture(0);
    auto glow = Make<GlowEffect>({{"Texture", "glow.png"}, {"ObjetName", "Box"}, {"LifeTime", "10"}});
    FrameAt(*glow, 0.5);
    EXPECT_EQ(device.Count(Op::DrawIndexed), 0);
    EXPECT_EQ(device.Count(Op::BeginStateBlock), 2);
    EXPECT_EQ(box.material->GetTexture(0), boxTexture);
    EXPECT_NE(box.flags & kFlagAlpha, 0u);
    glow->Release();
    EXPECT_EQ(box.material->GetTexture(0), boxTexture);
}

TEST_F(SceneModifiersTest, GlowWithoutAMeshDrawsAndChangesNothing)
{
    Texture* boxTexture = Box().material->GetTexture(0);
    auto glow = Make<GlowEffect>({{"Texture", "glow.png"}, {"ObjetName", "Omni01"}});
    EXPECT_EQ(glow->GetMesh(), nullptr);
    FrameAt(*glow, 0.5);
    EXPECT_EQ(device.Count(Op::DrawIndexed) + device.Count(Op::VertexBufferDraw), 0);
    EXPECT_EQ(device.Count(Op::BeginStateBlock), 0);
    EXPECT_EQ(Box().material->GetTexture(0), boxTexture);
    EXPECT_TRUE(Box().isStatic);
}

TEST_F(SceneModifiersTest, ParticlesCollisionPreparesButNeverDraws)
{
    auto particles = Make<ParticlesCollision>({{"Texture", "spark.png"}, {"ObjetName", "Box"}, {"NBParticules", "7"}});
    EXPECT_EQ(particles->GetParticles().size(), 7u);
    for (double t : {0.0, 0.5, 2.0, 100.0}) {
        FrameAt(*particles, t);
        EXPECT_EQ(device.Count(Op::Draw) + device.Count(Op::DrawIndexed), 0) << t;
        EXPECT_EQ(device.Count(Op::SetTexture), 1) << t;
        EXPECT_EQ(device.stages[0].alphaOp, AlphaOp::Disable);
        EXPECT_FALSE(device.alphaBlend);
    }
}

TEST_F(SceneModifiersTest, SmokeFlashOfOneParticleJittersEveryFrame)
{
    auto smoke = Make<Smoke>({{"Texture", "spark.png"}, {"ObjetName", "Box"}, {"NBParticle", "1"}, {"Effect", "2"},
                              {"LifeTimeParticules", "100"}});
    std::vector<Vector3> centres;
    std::vector<float> widths;
    for (int i = 0; i < 3; ++i) {
        FrameAt(*smoke, 1.0);  // the same time every frame: only the jitter moves it
        ASSERT_EQ(device.Count(Op::Draw), 1);
        const RecordedCall& draw = *device.Last(Op::Draw);
        centres.push_back(Centre(draw));
        const Vertex& a = draw.Vertices()[0];
        const Vertex& b = draw.Vertices()[3];
        widths.push_back(std::hypot(a.x - b.x, a.y - b.y, a.z - b.z));
        // Within the jitter of the box's pivot.
        EXPECT_NEAR(centres.back().x, 2.0f, 0.15f + 1e-4f);
        EXPECT_NEAR(centres.back().y, 0.0f, 0.15f + 1e-4f);
    }
    EXPECT_NE(centres[0].x, centres[1].x);
    EXPECT_NE(centres[1].y, centres[2].y);
    EXPECT_NE(widths[0], widths[1]);
}

TEST_F(SceneModifiersTest, SmokeSpritesFaceTheCameraAndAreDrawnNearestFirst)
{
    auto smoke = Make<Smoke>({{"Texture", "spark.png"}, {"NBParticle", "40"}, {"Effect", "1"},
                              {"AmplitudeZ", "2"}, {"AmplitudeX", "0.5"}, {"LifeTimeParticules", "50"}});
    FrameAt(*smoke, 0.3);
    const auto draws = device.All(Op::Draw);
    ASSERT_EQ(draws.size(), 40u);
    float previous = -1e9f;
    for (const RecordedCall* draw : draws) {
        // Camera01 looks along +z: the sprite lies in a plane of constant z.
        for (const Vertex& v : draw->Vertices())
            EXPECT_NEAR(v.z, draw->Vertices()[0].z, 1e-4f);
        const float depth = Centre(*draw).z + 10.0f;
        EXPECT_GE(depth, previous - 1e-4f);
        previous = depth;
    }
    EXPECT_GT(Centre(*draws.back()).z, Centre(*draws.front()).z + 0.1f);
    EXPECT_EQ(device.srcBlend, BlendFactor::SrcAlpha);
    EXPECT_FALSE(device.alphaBlend);  // handed back
}

TEST_F(SceneModifiersTest, SmokeBehaviourZeroStartsSpreadAndFadesByAge)
{
    auto smoke = Make<Smoke>({{"Texture", "spark.png"}, {"ObjetName", "Box"}, {"NBParticle", "50"},
                              {"SensY", "0.5"}, {"LifeTimeParticules", "2"}, {"MaxIntensity", "200"}});
    for (const SmokeParticle& p : smoke->GetParticles()) {
        EXPECT_FLOAT_EQ(p.position.x, 2.0f);
        EXPECT_FLOAT_EQ(p.velocity.y, 0.5f);
        EXPECT_FLOAT_EQ(p.lifespan, 0.0f + 2.0f);  // the position's y plus the particles' life
        EXPECT_LE(p.birth, p.lifespan);
        EXPECT_GE(p.birth, -1.0f);
        EXPECT_GE(p.size, 1.0f);
        EXPECT_LT(p.size, 2.0f);
    }
    // Every birth lies before 2 s, so at 10 s all lives (2 s: the Box's y 0 plus 2) are over:
    // drawn at fade 0 and reborn at 10. From then on the alpha is (2 - age) / 2 x 200.
    struct Case {
        double t;
        uint32_t alpha;
    };
    for (const Case& c : {Case{10.0, 0}, Case{10.5, 150}, Case{11.0, 100}, Case{11.5, 50}, Case{12.0, 0}}) {
        FrameAt(*smoke, c.t);
        const auto draws = device.All(Op::Draw);
        ASSERT_EQ(draws.size(), 50u);
        for (const RecordedCall* draw : draws) {
            EXPECT_EQ(draw->Vertices()[0].color >> 24, c.alpha) << "t " << c.t;
            EXPECT_EQ(draw->Vertices()[0].color & 0xFFFFFF, 0xFFFFFFu);
        }
    }
}

TEST_F(SceneModifiersTest, SmokeAlphaStaysWithinItsByte)
{
    // MaxIntensity 400 at fade 1 and a negative MaxIntensity would spill into the colour bits.
    struct Case {
        const char* intensity;
        uint32_t alpha;
    };
    for (const Case& c : {Case{"400", 255}, Case{"-50", 0}}) {
        auto smoke = Make<Smoke>({{"Texture", "spark.png"}, {"NBParticle", "3"}, {"LifeTimeParticules", "2"},
                                  {"MaxIntensity", c.intensity}});
        FrameAt(*smoke, 10.0);  // every particle reborn at 10
        FrameAt(*smoke, 10.0);  // age 0: fade 1
        for (const RecordedCall* draw : device.All(Op::Draw))
            EXPECT_EQ(draw->Vertices()[0].color, c.alpha << 24 | 0xFFFFFFu) << c.intensity;
    }
}

TEST_F(SceneModifiersTest, SmokeEffectAndAlphaTypeOutsideTheirValuesRunAsZero)
{
    // Effect 7 moves like behaviour 0 (drift along Sens); AlphaType 5 blends like type 0.
    auto smoke = Make<Smoke>({{"Texture", "spark.png"}, {"NBParticle", "1"}, {"Effect", "7"}, {"AlphaType", "5"},
                              {"SensY", "1"}, {"LifeTimeParticules", "2"}});
    FrameAt(*smoke, 10.0);  // reborn at 10 at the origin (no object)
    FrameAt(*smoke, 10.25);
    // Age 0.25: d = 1, k = 1.125, amplitudes 0: one unit up from the origin.
    const Vector3 c = Centre(*device.Last(Op::Draw));
    EXPECT_NEAR(c.x, 0.0f, 1e-4f);
    EXPECT_NEAR(c.y, 1.0f, 1e-4f);
    EXPECT_EQ(device.Count(Op::SetMaterial), 0);
    EXPECT_EQ(device.srcBlend, BlendFactor::SrcAlpha);
    EXPECT_EQ(device.Last(Op::Draw)->Vertices()[0].color >> 24, 223u);  // fade 1.75 / 2 of 255
}

TEST_F(MovingBoxModifiersTest, SmokeIsRebornWhereTheObjectIsAtThatSceneFrame)
{
    auto smoke = Make<Smoke>({{"Texture", "spark.png"}, {"ObjetName", "Box"}, {"NBParticle", "20"},
                              {"Effect", "1"}, {"LifeTimeParticules", "0.5"}});
    FrameAt(*smoke, 2.0);  // every particle's life (at most 0.5 s) is over
    Vector3 expected;
    ASSERT_TRUE(Box().track->PositionAt(2.0f * 33.0f, expected));
    for (const SmokeParticle& p : smoke->GetParticles()) {
        EXPECT_FLOAT_EQ(p.birth, 2.0f);
        EXPECT_NEAR(p.position.x, expected.x, 1e-3f);
    }
}

TEST_F(SceneModifiersTest, SmokeAdditiveTypeLightsItsSpritesWithAMaterial)
{
    auto smoke = Make<Smoke>({{"Texture", "spark.png"}, {"NBParticle", "3"}, {"AlphaType", "1"},
                              {"MaxIntensity", "0.5"}});
    FrameAt(*smoke, 0.1);
    const RecordedCall* call = device.Last(Op::SetMaterial);
    ASSERT_NE(call, nullptr);
    const MaterialRecord& material = call->As<MaterialRecord>();
    for (float v : {material.diffuseR, material.ambientG, material.emissiveB})
        EXPECT_FLOAT_EQ(v, 0.5f);
    EXPECT_EQ(device.All(Op::EnableLighting)[0]->As<bool>(), true);
    EXPECT_EQ(device.Last(Op::Draw)->Vertices()[0].color, 0xFFFFFFFFu);
    EXPECT_EQ(device.destBlend, BlendFactor::One);
}

TEST_F(SceneModifiersTest, SmokeAllocatesNothingPerFrame)
{
    auto smoke = Make<Smoke>({{"Texture", "spark.png"}, {"NBParticle", "500"}, {"Effect", "2"}});
    FrameAt(*smoke, 0.1);
    device.calls.reserve(device.calls.size() * 4);
    device.ClearCalls();
    SetClock(0.2);
    AllocationProbe probe;
    smoke->Frame();
    // The recorder copies each four-vertex draw; the particle arrays would be far larger.
    EXPECT_LT(probe.Largest(), 1024u);
}

TEST_F(SceneModifiersTest, FliesDriftUpFromTheObjectAndJumpWhenTheyTurn)
{
    auto flies = Make<Flies>({{"Texture", "spark.png"}, {"ObjetName", "Box"}, {"NBFlies", "2"}, {"ZoneMin", "0.5"},
                              {"ZoneMax", "3"}, {"XScale", "0.1"}, {"YScale", "0.2"}});
    // The draws r = (rand & 0x7FFF) / 32768 that the seed gives, three per turn, in fly order.
    std::srand(20);
    std::vector<float> r(60);
    for (float& value : r)
        value = static_cast<float>(std::rand() & 0x7FFF) / 32768.0f;
    std::srand(20);
    const Vector3 box{2, 0, 0};
    std::vector<Vector3> direction(2);  // none until the first turn
    size_t drawn = 0;
    int turnsAfterTheFirst = 0;
    // At 0 the flies sit on the object (inside ZoneMin: both turn). At 0.25 each has gone
    // its direction plus (0, 1, 0); by 1.0 most are past ZoneMax and turn, so at 1.01 they
    // are where the new direction leads from the base, not near where they were.
    for (float t : {0.0f, 0.25f, 1.0f, 1.01f, 1.5f}) {
        FrameAt(*flies, t);
        const auto draws = device.All(Op::Draw);
        ASSERT_EQ(draws.size(), 2u);
        for (size_t k = 0; k < 2; ++k) {
            const Vector3 offset = direction[k] * (4 * t) + Vector3{0, 4 * t, 0};
            const Vector3 c = Centre(*draws[k]);
            EXPECT_NEAR(c.x, box.x + offset.x, 1e-4f) << "t " << t << " fly " << k;
            EXPECT_NEAR(c.y, box.y + offset.y, 1e-4f) << "t " << t << " fly " << k;
            EXPECT_NEAR(c.z, box.z + offset.z, 1e-4f) << "t " << t << " fly " << k;
            // Camera01 looks along +z: corner 1 is up and to the right by the scaled quad.
            EXPECT_NEAR(draws[k]->Vertices()[1].x - c.x, 0.1f, 1e-5f);
            EXPECT_NEAR(draws[k]->Vertices()[1].y - c.y, 0.2f, 1e-5f);
            EXPECT_NEAR(draws[k]->Vertices()[1].z, c.z, 1e-5f);
            const float distance = Length(offset);
            if (distance <= 0.5f || distance >= 3.0f) {
                direction[k] = {(r[drawn] - 0.5f) * 2, (r[drawn + 1] - 0.5f) * 2, (r[drawn + 2] - 0.5f) * 2};
                drawn += 3;
                turnsAfterTheFirst += t > 0 ? 1 : 0;
            }
        }
    }
    EXPECT_GE(turnsAfterTheFirst, 1) << "the seed must make a fly turn after its first turn";
    for (const Fly& fly : flies->GetFlies())
        EXPECT_EQ(Length(fly.base), 0.0f);
}
