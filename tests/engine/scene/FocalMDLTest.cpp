// Tests of the glowing scene layer on the recording device: two scene draws, the glow quad and its stages.
#include <gtest/gtest.h>

#include "support/PlayerTestKit.h"
#include "engine/scene/FocalMDL.h"

namespace {

class DrivenFocal : public FocalMDL {
public:
    using FocalMDL::FocalMDL;
    void DrawAt(float t, float fadeValue)
    {
        time = t;
        fade = fadeValue;
        DrawFrame();
    }
};

using FocalMDLTest = PlayerTest;

}  // namespace

TEST_F(FocalMDLTest, ParametersQuadAndTextures)
{
    const int before = device.liveTextures;
    auto focal = Make<DrivenFocal>({}, {{"AlphaMap", "sparka.png"}});
    EXPECT_EQ(focal->GetName(), "");
    EXPECT_EQ(focal->ListParameters(), " - AlphaMap\r\n - MDLFile\r\n - FallingTime\r\n - LifeTime\r\n"
                                       " - RisingTime\r\n - StableTime\r\n - StartTime\r\n");
    // 640 x 480: the aspect factor is 0.75.
    const float expected[4][4] = {{10, -7.5f, 0.002f, 0.998f}, {10, 7.5f, 0.002f, 0.002f},
                                  {-10, -7.5f, 0.998f, 0.998f}, {-10, 7.5f, 0.998f, 0.002f}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(focal->GetQuad()[i].x, expected[i][0]);
        EXPECT_FLOAT_EQ(focal->GetQuad()[i].y, expected[i][1]);
        EXPECT_FLOAT_EQ(focal->GetQuad()[i].u0, expected[i][2]);
        EXPECT_FLOAT_EQ(focal->GetQuad()[i].v0, expected[i][3]);
        // Stage 1 (the scene's picture) reads one corner texel over the whole quad.
        EXPECT_EQ(focal->GetQuad()[i].u1, 0.0f);
        EXPECT_EQ(focal->GetQuad()[i].v1, 0.0f);
    }
    EXPECT_EQ(focal->GetChromic()->GetName(), "chromic.jpg");
    EXPECT_EQ(focal->GetChromic()->GetAlphaName(), "sparka.png");
    EXPECT_EQ(focal->GetTarget()->GetWidth(), 64u);
    EXPECT_EQ(device.liveTextures, before + 3);  // the box material's, the target, the chromic
    focal->Release();
    EXPECT_EQ(device.liveTextures, before);
    EXPECT_EQ(focal->GetScene(), nullptr);
}

TEST_F(FocalMDLTest, SceneIntoTheTargetThenOnScreenThenTheGlowQuad)
{
    auto focal = Make<DrivenFocal>();
    device.ClearCalls();
    focal->DrawAt(2.0f, 0.5f);
    std::vector<std::string> sequence;
    for (const RecordedCall& call : device.calls)
        if (call.op == Op::SetRenderTarget || call.op == Op::VertexBufferDraw || call.op == Op::Clear ||
            call.op == Op::Draw)
            sequence.push_back(OpName(call.op) +
                               (call.op == Op::SetRenderTarget ? (call.object ? "(target)" : "(screen)")
                                : call.op == Op::Clear         ? std::to_string(call.As<ClearArgs>().flags)
                                                               : ""));
    EXPECT_EQ(sequence, (std::vector<std::string>{"SetRenderTarget(target)", "VertexBuffer::Draw", "Clear1",
                                                  "SetRenderTarget(screen)", "VertexBuffer::Draw", "Draw"}));
    EXPECT_EQ(device.All(Op::SetRenderTarget)[0]->object, focal->GetTarget());
    EXPECT_FLOAT_EQ(device.GetFarPlane(), 1500.0f);
    ASSERT_NE(device.Last(Op::Draw), nullptr);

    const RecordedCall& quad = *device.Last(Op::Draw);
    EXPECT_EQ(quad.Draw().primitive, PrimitiveType::TriangleStrip);
    for (const Vertex& v : quad.Vertices())
        EXPECT_EQ(v.color, 0x7FFFFFFFu);  // 0.5 x 255 truncates to 127
    // While it drew: chromic on stage 0, the scene picture on stage 1; both cleared after.
    const auto textures = device.All(Op::SetTexture);
    ASSERT_GE(textures.size(), 4u);
    const size_t n = textures.size();
    EXPECT_EQ(textures[n - 4]->As<StageArgs>().texture, focal->GetChromic());
    EXPECT_EQ(textures[n - 3]->As<StageArgs>().texture, focal->GetTarget());
    EXPECT_EQ(textures[n - 2]->As<StageArgs>().texture, nullptr);
    EXPECT_EQ(textures[n - 1]->As<StageArgs>().texture, nullptr);
    EXPECT_EQ(device.stages[1].colorOp, ColorOp::Modulate);
    EXPECT_EQ(device.stages[1].alphaOp, AlphaOp::Disable);
    EXPECT_EQ(device.stages[0].alphaOp, AlphaOp::Modulate);
    EXPECT_FALSE(device.depthTest);
    EXPECT_EQ(device.cullMode, CullMode::None);
    EXPECT_FLOAT_EQ(device.GetEye().z, 6.5f);
    EXPECT_FLOAT_EQ(device.GetFieldOfView(), 1.5707963f);
}

TEST_F(FocalMDLTest, EveryPhaseDrawsTheSameWayWithTheEnvelopesFade)
{
    // Rising 1 s, stable 1 s, falling 1 s: fades 0.25, 1 and 0.75 at these times.
    auto focal = Make<DrivenFocal>({}, {{"RisingTime", "1"}, {"StableTime", "1"}, {"FallingTime", "1"}});
    for (auto [t, alpha] : {std::pair{0.25, 63u}, std::pair{1.5, 255u}, std::pair{2.25, 191u}}) {
        FrameAt(*focal, t);
        ASSERT_EQ(device.Count(Op::Draw), 1) << t;
        EXPECT_EQ(device.Last(Op::Draw)->Vertices()[0].color >> 24, alpha) << t;
        EXPECT_EQ(device.Count(Op::VertexBufferDraw), 2) << t;
    }
}

TEST_F(FocalMDLTest, GlowQuadIsNotLitByTheScenesDynamicLights)
{
    MdlFile file = PlayerScene();
    file.lights.push_back({"Omni02.dyna", {0, 0, -5}, {1, 1, 1}, 10});
    UseScene(file);
    auto focal = Make<DrivenFocal>();
    device.ClearCalls();
    focal->DrawAt(1.0f, 1.0f);
    const size_t quad = device.Find(Op::Draw);
    ASSERT_LT(quad, device.calls.size());
    bool lighting = false;
    for (size_t i = 0; i < quad; ++i)
        if (device.calls[i].op == Op::EnableLighting)
            lighting = device.calls[i].As<bool>();
    EXPECT_FALSE(lighting);
    EXPECT_GT(device.Count(Op::SetLight), 0);  // the scene did light its meshes
}
