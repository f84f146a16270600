// Draws that cannot change the picture are dropped, and the picture is the same with and without dropping them.
#include "engine/device/gl/GLDrawSkip.h"
#include <cmath>
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

TEST(GLDrawSkip, OnlyTrianglesWhollyBeyondOneClipPlaneAreOffScreen)
{
    // Identity matrices: clip = (x, y, z, 1), then y mirrored and z' = 2z - 1, so the screen
    // is -1..1 in x and y and the depth range 0..1 in z.
    const Matrix4 identity;
    const ClipTransform plain{identity, identity, identity};
    struct Case {
        const char* what;
        Vertex v[3];
        bool offScreen;
    };
    auto at = [](float x, float y, float z) { return MakeVertex(x, y, z, 0xFFFFFFFFu); };
    const Case cases[] = {
        {"inside", {at(-0.5f, -0.5f, 0.5f), at(0.5f, -0.5f, 0.5f), at(0, 0.5f, 0.5f)}, false},
        {"left of the screen", {at(-1.5f, 0, 0.5f), at(-3, 0.9f, 0.5f), at(-1.1f, -0.9f, 0.5f)}, true},
        {"right of the screen", {at(1.5f, 0, 0.5f), at(3, 0.9f, 0.5f), at(1.1f, -0.9f, 0.5f)}, true},
        {"above the screen", {at(0, 1.5f, 0.5f), at(0.9f, 3, 0.5f), at(-0.9f, 1.1f, 0.5f)}, true},
        {"below the screen", {at(0, -1.5f, 0.5f), at(0.9f, -3, 0.5f), at(-0.9f, -1.1f, 0.5f)}, true},
        {"nearer than the near plane", {at(0, 0, -0.5f), at(0.5f, 0, -0.1f), at(0, 0.5f, -2)}, true},
        {"beyond the far plane", {at(0, 0, 1.5f), at(0.5f, 0, 1.1f), at(0, 0.5f, 3)}, true},
        {"straddling the left edge", {at(-1.5f, 0, 0.5f), at(-3, 0.9f, 0.5f), at(-0.5f, -0.9f, 0.5f)}, false},
        {"straddling the far plane", {at(0, 0, 1.5f), at(0.5f, 0, 0.9f), at(0, 0.5f, 3)}, false},
        // Each vertex is off the screen, but on a different side: the triangle crosses it.
        {"around the screen", {at(-2, -2, 0.5f), at(2, -2, 0.5f), at(0, 2, 0.5f)}, false},
        {"left and below, cutting the corner", {at(-2, 0.5f, 0.5f), at(0.5f, -2, 0.5f), at(-2, -2, 0.5f)}, false},
        // The slack: within 1/256 of the coordinates' size from the edge still counts as in.
        {"on the left edge", {at(-1, 0, 0.5f), at(-2, 0.5f, 0.5f), at(-2, -0.5f, 0.5f)}, false},
        {"just past the left edge", {at(-1.005f, 0, 0.5f), at(-2, 0.5f, 0.5f), at(-2, -0.5f, 0.5f)}, false},
        {"clear of the left edge", {at(-1.02f, 0, 0.5f), at(-2, 0.5f, 0.5f), at(-2, -0.5f, 0.5f)}, true},
        {"not a number", {at(NAN, 0, 0.5f), at(-2, 0.5f, 0.5f), at(-2, -0.5f, 0.5f)}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(DrawIsOffScreen(plain, c.v, 3), c.offScreen) << c.what;
    EXPECT_FALSE(DrawIsOffScreen(plain, nullptr, 3));
    EXPECT_FALSE(DrawIsOffScreen(plain, cases[1].v, 0));

    // World, view and projection all apply, in that order: 10 right, 10 left, then halved.
    const Vertex right[3] = {at(1.2f, 0, 0.5f), at(1.6f, 0.5f, 0.5f), at(1.6f, -0.5f, 0.5f)};
    const Matrix4 there = Matrix4::Translation(10, 0, 0), back = Matrix4::Translation(-10, 0, 0);
    const Matrix4 half = Matrix4::Scaling(0.5f, 0.5f, 1);
    EXPECT_TRUE(DrawIsOffScreen(ClipTransform{there, identity, identity}, right, 3));
    EXPECT_TRUE(DrawIsOffScreen(ClipTransform{there, back, identity}, right, 3));
    EXPECT_FALSE(DrawIsOffScreen(ClipTransform{there, back, half}, right, 3));
    EXPECT_FALSE(DrawIsOffScreen(ClipTransform{identity, identity, half}, right, 3));
    // The half-pixel shift moves x by offset * w: -1.2 + 0.5 is on the screen.
    const Vertex left[3] = {at(-1.2f, 0, 0.5f), at(-1.6f, 0.5f, 0.5f), at(-1.3f, -0.5f, 0.5f)};
    EXPECT_TRUE(DrawIsOffScreen(ClipTransform{identity, identity, identity, 0.0f, 0.5f}, left, 3));
    EXPECT_FALSE(DrawIsOffScreen(ClipTransform{identity, identity, identity, 0.5f, 0.0f}, left, 3));
    // y is mirrored before the shift: below the screen is y' > w, where only a negative shift helps.
    const Vertex low[3] = {at(0, -1.2f, 0.5f), at(0.5f, -1.6f, 0.5f), at(-0.5f, -1.3f, 0.5f)};
    EXPECT_FALSE(DrawIsOffScreen(ClipTransform{identity, identity, identity, 0.0f, -0.5f}, low, 3));
    EXPECT_TRUE(DrawIsOffScreen(ClipTransform{identity, identity, identity, 0.0f, 0.5f}, low, 3));
}

TEST(GLDrawSkip, NegativeWIsJudgedPlaneByPlane)
{
    // w = z and z' = 2 (z / 2) - w = 0: in front (w > 0) only x and y can leave the volume;
    // behind (w < 0) no point lies inside it.
    Matrix4 perspective;
    perspective.m[2][2] = 0.5f;
    perspective.m[2][3] = 1.0f;
    perspective.m[3][3] = 0.0f;
    const Matrix4 identity;
    const ClipTransform clip{identity, identity, perspective};
    auto at = [](float x, float y, float w) { return MakeVertex(x, y, w, 0xFFFFFFFFu); };
    struct Case {
        const char* what;
        Vertex v[3];
        bool offScreen;
    };
    const Case cases[] = {
        {"in front", {at(0, 0, 1), at(0.5f, 0, 1), at(0, 0.5f, 2)}, false},
        // With w < 0 no x lies between -w and w: the centre is beyond both x planes.
        {"behind, at the centre", {at(0, 0, -1), at(0.5f, 0, -1), at(0, 0.5f, -2)}, true},
        // One vertex in front: the triangle passes through w = 0 and can fill the screen.
        {"reaching from behind", {at(0, 0, 1), at(0.5f, 0, -1), at(0, 0.5f, -2)}, false},
        // x + w < 0 here and x - w > 0 there: no plane in common, and the edge between them
        // meets the screen near w = 0.
        {"beyond different planes across w = 0", {at(-3, 0, -1), at(2, 0, 1), at(2, 0.5f, 1)}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(DrawIsOffScreen(clip, c.v, 3), c.offScreen) << c.what;
}

TEST(GLDrawSkip, PictureIsTheSameWithAndWithoutDroppingOffScreenDraws)
{
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint64_t> dropped, sent;
    for (bool skip : {false, true}) {
        auto device = MakeTestDevice(48, 32);
        device->SetSkipOffScreenDraws(skip);
        const uint64_t drawsBefore = device->GetGLDrawCount();
        DrawQuad(*device, 4, 4, 20, 20, 0.5f, 0xFF336699u);
        DrawQuad(*device, -20, 0, -4, 16, 0.5f, 0xFFFF0000u);  // left of the screen
        DrawQuad(*device, 0, 40, 48, 50, 0.5f, 0xFFFF0000u);   // below it
        DrawQuad(*device, 40, 8, 60, 24, 0.5f, 0xFF00FF00u);   // across the right edge: drawn
        std::vector<Vertex> right = ScreenQuad(*device, 50, 0, 70, 32, 0.5f, 0xFFFF0000u);
        const uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
        device->DrawIndexed(PrimitiveType::TriangleList, right.data(), 4, indices, 6);
        std::vector<Vertex> above = ScreenQuad(*device, 0, -30, 48, -2, 0.5f, 0xFFFF0000u);
        std::swap(above[2], above[3]);  // corners in turn, for a fan
        device->Draw(PrimitiveType::TriangleFan, above.data(), 4);
        // Lines and points are never dropped: their width and size can reach the screen.
        device->Draw(PrimitiveType::LineList, above.data(), 2);
        device->Draw(PrimitiveType::PointList, above.data(), 1);
        device->EndScene();
        frames.push_back(device->ReadBackBuffer());
        dropped.push_back(device->GetOffScreenDrawCount());
        sent.push_back(device->GetGLDrawCount() - drawsBefore);
    }
    EXPECT_EQ(dropped[0], 0u);
    EXPECT_EQ(dropped[1], 4u);
    // Triangles, lines and points: three GL draws either way, as the kept draws batch alike.
    EXPECT_EQ(sent[0], 3u);
    EXPECT_EQ(sent[1], 3u);
    ASSERT_EQ(frames[0].size(), frames[1].size());
    EXPECT_TRUE(frames[0] == frames[1]) << "the picture changed when off-screen draws were dropped";
    EXPECT_EQ(PixelAt(frames[1], 48, 10, 10), 0x336699u);
    EXPECT_EQ(PixelAt(frames[1], 48, 45, 15), 0x00FF00u);
    EXPECT_EQ(PixelAt(frames[1], 48, 30, 28), 0u);
}
