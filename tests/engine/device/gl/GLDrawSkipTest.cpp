// Draws that cannot change the picture are dropped, and the picture is the same with and without dropping them.
#include "engine/device/gl/GLDrawSkip.h"
#include "support/GLTestSupport.h"

namespace {

// Stage 0 as the transparent image layers set it: colour texture x diffuse, alpha likewise.
PipelineKey ModulatedKey(bool textured)
{
    PipelineKey key;
    key.stages[0].colorOp = static_cast<uint8_t>(ColorOp::Modulate);
    key.stages[0].colorArg1 = static_cast<uint8_t>(ColorArg::Texture);
    key.stages[0].colorArg2 = static_cast<uint8_t>(ColorArg::Diffuse);
    key.stages[0].alphaOp = static_cast<uint8_t>(AlphaOp::Modulate);
    key.stages[0].alphaArg1 = static_cast<uint8_t>(AlphaArg::Texture);
    key.stages[0].alphaArg2 = static_cast<uint8_t>(AlphaArg::Diffuse);
    key.stages[0].textured = textured;
    key.stages[1].colorOp = kStageDisabled;
    return key;
}

}  // namespace

TEST(GLDrawSkip, OnlyDrawsWhoseSourceAddsNothingAndThatWriteNoDepthAreInvisible)
{
    struct Case {
        const char* what;
        uint32_t color;  // every vertex
        BlendFactor src, dest;
        bool blend, depthTest, lighting, fog;
        int alphaOp;  // stage 0's; AlphaOp value
        bool invisible;
    };
    using B = BlendFactor;
    const int modulate = static_cast<int>(AlphaOp::Modulate), add = static_cast<int>(AlphaOp::Add);
    const int select = static_cast<int>(AlphaOp::SelectArg1);  // arg 1 is the texture
    const Case cases[] = {
        {"faded out, transparent", 0x00FFFFFF, B::SrcAlpha, B::InvSrcAlpha, true, false, false, false, modulate, true},
        {"faded out, additive by alpha", 0x00FFFFFF, B::SrcAlpha, B::One, true, false, false, false, modulate, true},
        {"black, additive", 0xFF000000, B::One, B::One, true, false, false, false, modulate, true},
        {"black, additive, fog", 0xFF000000, B::One, B::One, true, false, false, true, modulate, false},
        {"black, additive, lit", 0xFF000000, B::One, B::One, true, false, true, false, modulate, false},
        {"faded out, lit (alpha stays)", 0x00FFFFFF, B::SrcAlpha, B::InvSrcAlpha, true, false, true, false, modulate,
         true},
        {"one alpha step", 0x01FFFFFF, B::SrcAlpha, B::InvSrcAlpha, true, false, false, false, modulate, false},
        {"blending off", 0x00FFFFFF, B::SrcAlpha, B::InvSrcAlpha, false, false, false, false, modulate, false},
        {"depth test writes depth", 0x00FFFFFF, B::SrcAlpha, B::InvSrcAlpha, true, true, false, false, modulate, false},
        {"destination scaled", 0x00FFFFFF, B::SrcAlpha, B::Zero, true, false, false, false, modulate, false},
        {"alpha from the texture alone", 0x00FFFFFF, B::SrcAlpha, B::InvSrcAlpha, true, false, false, false, select,
         false},
        {"alpha added to the texture's", 0x00FFFFFF, B::SrcAlpha, B::InvSrcAlpha, true, false, false, false, add,
         false},
        {"zero source factor", 0xFFFFFFFF, B::Zero, B::One, true, false, false, false, modulate, true},
        {"source alpha factor, white and opaque", 0xFFFFFFFF, B::SrcAlpha, B::One, true, false, false, false,
         modulate, false},
    };
    for (const Case& c : cases) {
        DrawEffectState state;
        state.pipeline = ModulatedKey(true);
        state.pipeline.stages[0].alphaOp = static_cast<uint8_t>(c.alphaOp);
        state.pipeline.lighting = c.lighting;
        state.pipeline.fog = c.fog;
        state.blend = c.blend;
        state.src = c.src;
        state.dest = c.dest;
        state.depthTest = c.depthTest;
        Vertex v[3] = {MakeVertex(0, 0, 0, c.color), MakeVertex(1, 0, 0, c.color), MakeVertex(0, 1, 0, c.color)};
        EXPECT_EQ(DrawLeavesPictureUnchanged(state, v, 3), c.invisible) << c.what;
    }
    // One vertex that shows is enough to keep the draw.
    DrawEffectState state;
    state.pipeline = ModulatedKey(true);
    state.blend = true;
    state.src = BlendFactor::SrcAlpha;
    state.dest = BlendFactor::InvSrcAlpha;
    state.depthTest = false;
    Vertex v[3] = {MakeVertex(0, 0, 0, 0), MakeVertex(1, 0, 0, 0), MakeVertex(0, 1, 0, 0x80FFFFFF)};
    EXPECT_FALSE(DrawLeavesPictureUnchanged(state, v, 3));
    EXPECT_TRUE(DrawLeavesPictureUnchanged(state, v, 2));
}

TEST(GLDrawSkip, PictureIsTheSameWithAndWithoutDroppingInvisibleDraws)
{
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint64_t> skipped;
    for (bool skip : {false, true}) {
        auto device = MakeTestDevice(48, 32);
        device->SetSkipInvisibleDraws(skip);
        DrawQuad(*device, 0, 0, 48, 32, 0.5f, 0xFF336699u);
        device->EnableAlphaBlend(true);
        device->SetAlphaOp(0, AlphaOp::Modulate);
        device->SetAlphaArg1(0, AlphaArg::Texture);
        device->SetAlphaArg2(0, AlphaArg::Diffuse);
        device->SetSrcBlend(BlendFactor::SrcAlpha);
        device->SetDestBlend(BlendFactor::InvSrcAlpha);
        DrawQuad(*device, 0, 0, 24, 32, 0.5f, 0x00FF0000u);  // faded out: dropped
        DrawQuad(*device, 24, 0, 48, 16, 0.5f, 0x80FF0000u);  // half: drawn
        device->SetDestBlend(BlendFactor::One);
        DrawQuad(*device, 0, 16, 48, 32, 0.5f, 0xFF000000u);  // black added: dropped
        DrawQuad(*device, 0, 0, 8, 8, 0.5f, 0xFF202020u);     // grey added: drawn
        // With the depth test on a faded draw still writes depth, which the next draw meets.
        device->EnableDepth(true);
        device->SetDepthFunc(CompareFunc::Less);
        device->SetDestBlend(BlendFactor::InvSrcAlpha);
        DrawQuad(*device, 30, 20, 40, 30, 0.1f, 0x00FFFFFFu);  // kept: its depth hides the next
        DrawQuad(*device, 28, 18, 44, 31, 0.3f, 0xFF00FF00u);
        device->EndScene();
        frames.push_back(device->ReadBackBuffer());
        skipped.push_back(device->GetSkippedDrawCount());
    }
    EXPECT_EQ(skipped[0], 0u);
    EXPECT_EQ(skipped[1], 2u);
    ASSERT_EQ(frames[0].size(), frames[1].size());
    EXPECT_TRUE(frames[0] == frames[1]) << "the picture changed when invisible draws were dropped";
    // The faded draw with the depth test really mattered: the green quad is cut where it lay.
    EXPECT_NE(PixelAt(frames[1], 48, 35, 25), 0x00FF00u);
    EXPECT_EQ(PixelAt(frames[1], 48, 29, 19), 0x00FF00u);
}
