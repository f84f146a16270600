// Tests of the helpers shared by the image layers: alpha bytes, the camera begin, the random range.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include "engine/layers/ScreenSpace.h"
#include "support/RecordingDevice.h"

TEST(ScreenSpace, AlphaBytesAreTruncatedAndKeptWithinAByte)
{
    EXPECT_EQ(FadeAlphaBits(0.999f), 254u << 24);
    EXPECT_EQ(FadeAlphaBits(1.0f), 0xFF000000u);
    EXPECT_EQ(FadeAlphaBits(0.0f), 0u);
    EXPECT_EQ(AlphaBits(127.99), 127u << 24);
    // Out-of-range values (a sine past its zero, a level above 1) never wrap into other bytes.
    EXPECT_EQ(AlphaBits(-0.5), 0u);
    EXPECT_EQ(AlphaBits(-300.0), 0u);
    EXPECT_EQ(AlphaBits(255.08), 0xFF000000u);
    EXPECT_EQ(AlphaBits(1e9), 0xFF000000u);
    EXPECT_EQ(AlphaBits(std::numeric_limits<double>::quiet_NaN()), 0u);
    EXPECT_EQ(WithAlpha(0x12345678u, 0xAB000000u), 0xAB345678u);
}

TEST(ScreenSpace, CameraBeginSavesTransformsAndSetsTheTransparentPreset)
{
    RecordingDevice device;
    device.Open();
    const Matrix4 world = Matrix4::Translation(1.0f, 2.0f, 3.0f);
    device.SetWorld(world);
    const Matrix4 projection = device.GetProjection();
    device.ClearCalls();

    BeginCamera(device, nullptr);
    EXPECT_EQ(device.GetTransformDepth(), 3u);
    EXPECT_EQ(device.calls.front().op, Op::SetWorld);
    EXPECT_EQ(device.calls.front().As<Matrix4>(), Matrix4::Identity());
    EXPECT_EQ(device.GetEye().z, -5.0f);
    EXPECT_EQ(device.GetNearPlane(), 1.0f);
    EXPECT_EQ(device.GetFarPlane(), 1500.0f);
    EXPECT_EQ(device.GetUpHint().y, 1.0f);
    EXPECT_FALSE(device.IsLightingEnabled());
    EXPECT_TRUE(device.alphaBlend);
    EXPECT_FALSE(device.depthTest);
    EXPECT_EQ(device.stages[0].alphaOp, AlphaOp::Modulate);
    EXPECT_EQ(device.stages[0].alphaArg1, AlphaArg::Texture);
    EXPECT_EQ(device.stages[0].alphaArg2, AlphaArg::Diffuse);
    EXPECT_EQ(device.srcBlend, BlendFactor::SrcAlpha);
    EXPECT_EQ(device.destBlend, BlendFactor::InvSrcAlpha);
    EXPECT_EQ(device.calls.back().op, Op::SetTexture);

    EndScreenSpace(device);
    EXPECT_EQ(device.GetTransformDepth(), 0u);
    EXPECT_EQ(device.GetWorld(), world);
    EXPECT_EQ(device.GetProjection(), projection);
    EXPECT_EQ(device.stages[0].alphaOp, AlphaOp::Disable);
    EXPECT_FALSE(device.alphaBlend);
}

TEST(ScreenSpace, LayerRandomNumbersStayInFifteenBits)
{
    std::srand(1);
    int maximum = 0;
    for (int i = 0; i < 10000; ++i) {
        const int r = LayerRand();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, 32767);
        maximum = std::max(maximum, r);
    }
    EXPECT_GT(maximum, 30000);  // the whole range is used
}

TEST(ScreenSpace, QuadsSpanTheirSquareInStripOrderWithTheImageInsetFromItsEdges)
{
    // (x, y, u, v) per corner, worked out from the strip order: right-bottom, right-top,
    // left-bottom, left-top. The screen quad shows the image as it is, the mirrored one
    // flipped left to right over twice the size.
    struct Corner {
        float x, y, u, v;
    };
    const Corner screen[4] = {{0.5f, -0.5f, 0.998f, 0.998f}, {0.5f, 0.5f, 0.998f, 0.002f},
                              {-0.5f, -0.5f, 0.002f, 0.998f}, {-0.5f, 0.5f, 0.002f, 0.002f}};
    const Corner mirrored[4] = {{1.0f, -1.0f, 0.002f, 0.998f}, {1.0f, 1.0f, 0.002f, 0.002f},
                                {-1.0f, -1.0f, 0.998f, 0.998f}, {-1.0f, 1.0f, 0.998f, 0.002f}};
    Vertex made[2][4];
    MakeScreenQuad(made[0]);
    MakeMirroredQuad(made[1]);
    const Corner* expected[2] = {screen, mirrored};
    for (int q = 0; q < 2; ++q) {
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(testing::Message() << "quad " << q << " corner " << i);
            EXPECT_EQ(made[q][i].x, expected[q][i].x);
            EXPECT_EQ(made[q][i].y, expected[q][i].y);
            EXPECT_EQ(made[q][i].u0, expected[q][i].u);
            EXPECT_EQ(made[q][i].v0, expected[q][i].v);
            EXPECT_EQ(made[q][i].z, 0.0f);
            EXPECT_EQ(made[q][i].color, 0xFFFFFFFFu);
        }
    }
}
