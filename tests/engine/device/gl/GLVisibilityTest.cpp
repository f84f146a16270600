// Rendering tests of the OpenGL device: point visibility by the depth buffer.
#include "support/GLTestSupport.h"
#include "engine/device/Texture.h"

namespace {

// World position of screen pixel (sx, sy) under the 32 x 16 ortho camera, at depth z.
TransformedVertex PointAt(float sx, float sy, float z)
{
    TransformedVertex p{};
    p.x = sx - 16.0f;
    p.y = 8.0f - sy;
    p.z = z;
    return p;
}

}  // namespace

TEST(GLDeviceVisibility, PointsInFrontOfAndBehindGeometry)
{
    auto device = MakeTestDevice(32, 16);
    device->EnableDepth(true);
    device->SetDepthFunc(CompareFunc::LessEqual);
    DrawQuad(*device, 0, 0, 16, 16, 0.5f, 0xFFFF0000u);  // left half at depth 0.5
    std::vector<uint8_t> before = device->ReadBackBuffer();

    TransformedVertex front = PointAt(8, 8, 0.3f), behind = PointAt(8, 8, 0.7f), open = PointAt(24, 8, 0.7f);
    EXPECT_TRUE(device->IsPointVisible(front.x, front.y, front.z));
    EXPECT_FALSE(device->IsPointVisible(behind.x, behind.y, behind.z));
    EXPECT_TRUE(device->IsPointVisible(open.x, open.y, open.z));
    EXPECT_FALSE(device->IsPointVisible(100.0f, 0.0f, 0.3f));   // off screen
    EXPECT_FALSE(device->IsPointVisible(-8.0f, 0.0f, 1.5f));    // beyond the far plane

    TransformedVertex points[4] = {front, behind, open, PointAt(-40, 8, 0.1f)};
    uint32_t results[4] = {7, 7, 7, 7};
    device->ArePointsVisible(points, results, 4);
    EXPECT_EQ(results[0], kPointVisible);
    EXPECT_EQ(results[1], kPointHidden);
    EXPECT_EQ(results[2], kPointVisible);
    EXPECT_EQ(results[3], kPointHidden);
    // Records hold their projection; the off-screen one is marked with x = -1.
    EXPECT_FLOAT_EQ(points[0].x, 8.0f);
    EXPECT_FLOAT_EQ(points[0].y, 8.0f);
    EXPECT_NEAR(points[0].z, 0.3f, 1e-6f);
    EXPECT_FLOAT_EQ(points[0].rhw, 1.0f);
    EXPECT_EQ(points[0].color, 0x00FFFFFFu);
    EXPECT_FLOAT_EQ(points[3].x, -1.0f);

    // The image is left as it was.
    ExpectedImage same(32, 16);
    same.Fill(0, 0, 16, 16, 0xFF0000);
    same.Fill(16, 0, 32, 16, 0);
    EXPECT_EQ(device->ReadBackBuffer(), before);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), same, "visibility_image_unchanged", 0));
}

TEST(GLDeviceVisibility, TestsLeaveStageZeroAsTheyDrewThePoint)
{
    auto device = MakeTestDevice(16, 16);
    Texture* yellow = device->CreateTexture();
    yellow->CreateRenderTarget(4);
    device->SetRenderTarget(yellow);
    device->SetClearColor(1, 1, 0);
    device->Clear(0);
    device->SetRenderTarget(nullptr);
    device->SetClearColor(0, 0, 0);
    device->SetTexture(0, yellow);
    device->EnableDepth(true);
    device->Clear(0);
    DrawQuad(*device, 0, 0, 16, 8, 0.5f, 0xFF0000FFu);  // top half at depth 0.5

    // Visible: stage 0 stays SelectArg1(Diffuse), so a quad shows its vertex colour.
    ASSERT_TRUE(device->IsPointVisible(0.0f, -4.0f, 0.9f));
    device->Clear(0);
    DrawQuad(*device, 0, 0, 16, 16, 0.5f, 0xFF00FF00u);
    EXPECT_EQ(PixelAt(device->ReadBackBuffer(), 16, 8, 8), 0x00FF00u);

    // Hidden: argument 1 goes back to Texture, the operation stays SelectArg1.
    DrawQuad(*device, 0, 0, 16, 8, 0.2f, 0xFF0000FFu);
    ASSERT_FALSE(device->IsPointVisible(0.0f, 4.0f, 0.9f));
    device->Clear(0);
    DrawQuad(*device, 0, 0, 16, 16, 0.5f, 0xFF00FF00u);
    EXPECT_EQ(PixelAt(device->ReadBackBuffer(), 16, 8, 8), 0xFFFF00u);
    device->DestroyTexture(yellow);
}
