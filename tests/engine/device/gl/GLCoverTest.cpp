// Which draws provably overwrite the whole viewport whatever lies beneath them.
#include <gtest/gtest.h>
#include "engine/device/RenderDevice.h"
#include "engine/device/gl/GLBatch.h"
#include "engine/device/gl/GLCover.h"
#include "support/GLTestSupport.h"

namespace {

constexpr int kWidth = 48, kHeight = 32;

// Stage 0 as the transparent image layers set it: texture x diffuse for colour and alpha.
CoverState ModulatedState()
{
    CoverState state;
    StageKey& stage = state.effects.pipeline.stages[0];
    stage.colorOp = static_cast<uint8_t>(ColorOp::Modulate);
    stage.colorArg1 = static_cast<uint8_t>(ColorArg::Texture);
    stage.colorArg2 = static_cast<uint8_t>(ColorArg::Diffuse);
    stage.alphaOp = static_cast<uint8_t>(AlphaOp::Modulate);
    stage.alphaArg1 = static_cast<uint8_t>(AlphaArg::Texture);
    stage.alphaArg2 = static_cast<uint8_t>(AlphaArg::Diffuse);
    stage.textured = true;
    state.effects.pipeline.stages[1].colorOp = kStageDisabled;
    state.effects.blend = false;
    state.effects.depthTest = false;
    state.cullMode = CullMode::None;
    // The test device's camera: screen pixels, depth 0..1.
    state.projection = RenderDevice::OrthoMatrix(kWidth, kHeight, 0.0f, 1.0f);
    state.viewportWidth = kWidth;
    state.viewportHeight = kHeight;
    return state;
}

// A screen quad as a strip, turned into the list the device batches.
PrimitiveBatch QuadBatch(float x0, float y0, float x1, float y1, float z, uint32_t color)
{
    std::vector<Vertex> quad = ScreenQuad(kWidth, kHeight, x0, y0, x1, y1, z, color);
    PrimitiveBatch batch;
    batch.Append(PrimitiveType::TriangleStrip, quad.data(), 4, nullptr, 0);
    return batch;
}

bool Covers(const CoverState& state, const PrimitiveBatch& batch)
{
    return DrawCoversViewport(state, batch.GetVertices().data(), batch.GetVertices().size(),
                              batch.GetIndices().data(), batch.GetIndices().size());
}

}  // namespace

TEST(GLCover, OnlyOpaqueDrawsWhoseTrianglesHoldTheWholeViewportCoverIt)
{
    enum Change {
        None, OnePixelShort, OnePixelShortAtTop, Blended, BlendedHalfAlpha, BlendedAlphaTexture, DepthLessEqual,
        DepthAlways, CullClockwise, CullCounterClockwise, BeyondFarPlane, DestinationZero, SourceReadsDestination,
        AlphaFromUntexturedStage, BiggerThanScreen
    };
    struct Case {
        const char* what;
        Change change;
        bool covers;
    };
    const Case cases[] = {
        {"opaque quad over the screen", None, true},
        {"one pixel short on the right", OnePixelShort, false},
        {"one pixel short at the top", OnePixelShortAtTop, false},
        {"transparent, opaque vertices, texture without alpha", Blended, true},
        {"transparent, half alpha", BlendedHalfAlpha, false},
        {"transparent, texture with alpha", BlendedAlphaTexture, false},
        {"depth test LessEqual", DepthLessEqual, false},
        {"depth test Always", DepthAlways, true},
        {"culled winding", CullClockwise, false},
        {"kept winding", CullCounterClockwise, true},
        {"beyond the far plane (clipped)", BeyondFarPlane, false},
        {"blending with a zero destination factor", DestinationZero, true},
        {"source factor reading the destination", SourceReadsDestination, false},
        {"alpha of an untextured stage is white", AlphaFromUntexturedStage, true},
        {"larger than the screen", BiggerThanScreen, true},
    };
    for (const Case& c : cases) {
        CoverState state = ModulatedState();
        float x1 = kWidth, y0 = 0, z = 0.5f;
        uint32_t color = 0xFF808080u;
        switch (c.change) {
        case OnePixelShort: x1 = kWidth - 1; break;
        case OnePixelShortAtTop: y0 = 1; break;
        case Blended:
        case BlendedHalfAlpha:
        case BlendedAlphaTexture:
        case AlphaFromUntexturedStage:
            state.effects.blend = true;
            state.effects.src = BlendFactor::SrcAlpha;
            state.effects.dest = BlendFactor::InvSrcAlpha;
            if (c.change == BlendedHalfAlpha) color = 0x80808080u;
            if (c.change == BlendedAlphaTexture) state.textureAlphaOne[0] = false;
            if (c.change == AlphaFromUntexturedStage) {
                state.textureAlphaOne[0] = false;  // not read: nothing is bound
                state.effects.pipeline.stages[0].textured = false;
            }
            break;
        case DepthLessEqual:
        case DepthAlways:
            state.effects.depthTest = true;
            state.depthFunc = c.change == DepthAlways ? CompareFunc::Always : CompareFunc::LessEqual;
            break;
        case CullClockwise: state.cullMode = CullMode::Clockwise; break;
        case CullCounterClockwise: state.cullMode = CullMode::CounterClockwise; break;
        case BeyondFarPlane: z = 1.5f; break;
        case DestinationZero:
        case SourceReadsDestination:
            state.effects.blend = true;
            state.effects.src = c.change == DestinationZero ? BlendFactor::One : BlendFactor::DestColor;
            state.effects.dest = BlendFactor::Zero;
            break;
        case BiggerThanScreen: break;
        case None: break;
        }
        const float grow = c.change == BiggerThanScreen ? 100.0f : 0.0f;
        EXPECT_EQ(Covers(state, QuadBatch(-grow, y0 - grow, x1 + grow, kHeight + grow, z, color)), c.covers)
            << c.what;
    }
}

TEST(GLCover, GeometryMustFormOneShapeInFrontOfTheEye)
{
    CoverState state = ModulatedState();
    // One triangle reaching well beyond every corner covers on its own.
    const Vertex big[3] = {MakeVertex(-100, -100, 0.5f, 0xFFFFFFFFu), MakeVertex(100, -100, 0.5f, 0xFFFFFFFFu),
                           MakeVertex(0, 100, 0.5f, 0xFFFFFFFFu)};
    const uint32_t one[3] = {0, 1, 2};
    EXPECT_TRUE(DrawCoversViewport(state, big, 3, one, 3));

    // Two triangles over the two halves, not sharing an edge: each alone leaves pixels out,
    // and they are not taken as one shape.
    PrimitiveBatch halves;
    std::vector<Vertex> left = ScreenQuad(kWidth, kHeight, 0, 0, kWidth / 2, kHeight, 0.5f, 0xFFFFFFFFu);
    std::vector<Vertex> right = ScreenQuad(kWidth, kHeight, kWidth / 2, 0, kWidth, kHeight, 0.5f, 0xFFFFFFFFu);
    halves.Append(PrimitiveType::TriangleStrip, left.data(), 4, nullptr, 0);
    halves.Append(PrimitiveType::TriangleStrip, right.data(), 4, nullptr, 0);
    EXPECT_FALSE(Covers(state, halves));

    // The covering quad later in a batch of small draws still covers.
    PrimitiveBatch mixed = QuadBatch(2, 2, 6, 6, 0.5f, 0xFFFFFFFFu);
    std::vector<Vertex> whole = ScreenQuad(kWidth, kHeight, 0, 0, kWidth, kHeight, 0.5f, 0xFFFFFFFFu);
    mixed.Append(PrimitiveType::TriangleStrip, whole.data(), 4, nullptr, 0);
    EXPECT_TRUE(Covers(state, mixed));

    // Perspective with w = z: a quad far wider than the screen at z = 1 covers; with one
    // corner behind the eye (w < 0) it is no longer a quad on screen.
    state.projection = Matrix4{};
    state.projection.m[2][2] = 0.5f;
    state.projection.m[2][3] = 1.0f;
    state.projection.m[3][3] = 0.0f;
    std::vector<Vertex> wide = {MakeVertex(-2, 2, 1, 0xFFFFFFFFu), MakeVertex(2, 2, 1, 0xFFFFFFFFu),
                                MakeVertex(-2, -2, 1, 0xFFFFFFFFu), MakeVertex(2, -2, 1, 0xFFFFFFFFu)};
    PrimitiveBatch front;
    front.Append(PrimitiveType::TriangleStrip, wide.data(), 4, nullptr, 0);
    EXPECT_TRUE(Covers(state, front));
    wide[3].z = -1.0f;
    PrimitiveBatch behind;
    behind.Append(PrimitiveType::TriangleStrip, wide.data(), 4, nullptr, 0);
    EXPECT_FALSE(Covers(state, behind));

    // Two triangles on the same side of their shared edge do not make a quad.
    std::vector<Vertex> folded = ScreenQuad(kWidth, kHeight, -10, -10, kWidth + 10, kHeight + 10, 0.5f, 0xFFFFFFFFu);
    const uint32_t bow[6] = {0, 1, 3, 0, 3, 2};   // split along the diagonal 0-3
    const uint32_t fold[6] = {0, 1, 2, 0, 1, 3};  // both on the same side of edge 0-1
    state.projection = RenderDevice::OrthoMatrix(kWidth, kHeight, 0.0f, 1.0f);
    EXPECT_TRUE(DrawCoversViewport(state, folded.data(), 4, bow, 6)) << "split along the other diagonal";
    EXPECT_FALSE(DrawCoversViewport(state, folded.data(), 4, fold, 6));
}
