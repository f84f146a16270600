// Rendering tests of the OpenGL device: cull modes, depth test and functions, the test pattern.
#include "support/GLTestSupport.h"

namespace {

// Two triangles on a 32 x 16 screen: the left one clockwise as seen on screen (y down),
// the right one counter-clockwise.
void DrawWoundTriangles(GLDevice& device)
{
    auto at = [&](float sx, float sy) { return MakeVertex(sx - 16.0f, 8.0f - sy, 0.5f, 0xFFFFFFFFu); };
    // (1,1) -> (15,1) -> (1,15): right, then down-left: clockwise on screen.
    Vertex clockwise[3] = {at(1, 1), at(15, 1), at(1, 15)};
    // (17,1) -> (17,15) -> (31,1): down, then up-right: counter-clockwise on screen.
    Vertex counterClockwise[3] = {at(17, 1), at(17, 15), at(31, 1)};
    device.Draw(PrimitiveType::TriangleList, clockwise, 3);
    device.Draw(PrimitiveType::TriangleList, counterClockwise, 3);
}

// Pixels well inside each triangle: (4, 4) and (20, 4).
ExpectedImage Wound(bool clockwiseShown, bool counterClockwiseShown)
{
    ExpectedImage image(32, 16);
    image.Fill(4, 4, 5, 5, clockwiseShown ? 0xFFFFFF : 0);
    image.Fill(20, 4, 21, 5, counterClockwiseShown ? 0xFFFFFF : 0);
    image.Fill(12, 12, 13, 13, 0);  // outside both
    return image;
}

}  // namespace

TEST(GLDeviceRaster, CullModesNameWindingsSeenWithYDown)
{
    auto device = MakeTestDevice(32, 16);
    struct {
        CullMode mode;
        bool clockwiseShown, counterClockwiseShown;
        const char* name;
    } cases[] = {{CullMode::None, true, true, "cull_none"},
                 {CullMode::Clockwise, false, true, "cull_clockwise"},
                 {CullMode::CounterClockwise, true, false, "cull_counter_clockwise"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        device->Clear(0);
        device->SetCullMode(c.mode);
        DrawWoundTriangles(*device);
        EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), Wound(c.clockwiseShown, c.counterClockwiseShown), c.name));
    }
    // Strips keep their winding on every second triangle: a clockwise strip quad vanishes whole.
    device->Clear(0);
    device->SetCullMode(CullMode::Clockwise);
    DrawQuad(*device, 2, 2, 30, 14, 0.5f, 0xFFFFFFFFu);  // TL, TR, BL, BR: clockwise
    ExpectedImage none(32, 16);
    none.Fill(0, 0, 32, 16, 0);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), none, "cull_strip"));
}

TEST(GLDeviceRaster, DepthTestKeepsTheNearerSurface)
{
    auto device = MakeTestDevice(32, 16);
    device->EnableDepth(true);
    device->SetDepthFunc(CompareFunc::LessEqual);
    device->Clear(0);
    DrawQuad(*device, 0, 0, 20, 16, 0.5f, 0xFFFF0000u);   // red, middle
    DrawQuad(*device, 10, 0, 32, 16, 0.7f, 0xFF00FF00u);  // green, farther: hidden where red is
    DrawQuad(*device, 16, 4, 24, 12, 0.3f, 0xFF0000FFu);  // blue, nearer than both
    ExpectedImage image(32, 16);
    image.Fill(0, 0, 20, 16, 0xFF0000);
    image.Fill(20, 0, 32, 16, 0x00FF00);
    image.Fill(16, 4, 24, 12, 0x0000FF);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), image, "depth_less_equal", 0));

    // Greater: only what lies behind the stored depth is drawn.
    device->SetDepthFunc(CompareFunc::Greater);
    DrawQuad(*device, 0, 0, 32, 16, 0.6f, 0xFFFFFFFFu);
    image.Fill(0, 0, 16, 16, 0xFFFFFF);  // behind red (0.5)
    image.Fill(16, 0, 20, 4, 0xFFFFFF);
    image.Fill(16, 12, 20, 16, 0xFFFFFF);
    image.Fill(16, 4, 24, 12, 0xFFFFFF);  // behind blue (0.3)
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), image, "depth_greater", 0));

    // Depth off: drawn whatever the buffer holds; Clear resets depth to 1.0 even without colour.
    device->EnableDepth(false);
    DrawQuad(*device, 0, 0, 8, 16, 0.9f, 0xFF000080u);
    image.Fill(0, 0, 8, 16, 0x000080);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), image, "depth_off", 0));
    device->Clear(1);
    device->EnableDepth(true);
    device->SetDepthFunc(CompareFunc::Less);
    DrawQuad(*device, 24, 0, 32, 16, 0.99f, 0xFF808080u);
    image.Fill(24, 0, 32, 16, 0x808080);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), image, "depth_cleared_alone", 0));
}

TEST(GLDeviceRaster, TestPatternShowsUnderTheDefaultCullMode)
{
    auto device = MakeTestDevice(64, 64);
    device->SetCullMode(CullMode::Clockwise);
    device->EnableLighting(true);  // the pattern is never lit
    EXPECT_TRUE(device->DrawTestPattern());
    std::vector<uint8_t> image = device->ReadBackBuffer();
    // The square spans world -10..10, screen pixels 22..41 under the 64 x 64 ortho camera.
    EXPECT_EQ(PixelAt(image, 64, 5, 5), 0u);
    EXPECT_EQ(PixelAt(image, 64, 45, 32), 0u);
    uint32_t nearRedCorner = PixelAt(image, 64, 22, 41);     // bottom-left: red
    uint32_t nearGreenCorner = PixelAt(image, 64, 41, 22);   // top-right: green
    EXPECT_GT(nearRedCorner >> 16, 200u) << std::hex << nearRedCorner;
    EXPECT_GT((nearGreenCorner >> 8) & 0xFF, 200u) << std::hex << nearGreenCorner;
    EXPECT_TRUE(device->IsLightingEnabled());
}

TEST(GLDeviceRaster, InitStartsCullingClockwiseWithDepthTestAndAdditiveFactors)
{
    // No state set after Init beyond the camera: what the device starts from.
    auto device = std::make_unique<GLDevice>();
    device->SelectDriver(device->GetDriver(0));
    device->SelectDevice(device->GetDriver(0).GetDevice(0));
    ASSERT_TRUE(device->Init(nullptr, false, 32, 16, 32));
    device->SetOrtho(32.0f, 16.0f, 0.0f, 1.0f);
    device->EnableClearColor(true);
    device->Clear(0);
    DrawWoundTriangles(*device);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), Wound(false, true), "initial_cull"));

    // Untextured stage 0 shows the vertex colour; the nearer quad hides the farther one;
    // blending without factors set adds (One, One); the depth function lets an equal depth
    // through.
    device->SetCullMode(CullMode::None);
    device->Clear(0);
    DrawQuad(*device, 0, 0, 16, 16, 0.25f, 0xFF204060u);
    DrawQuad(*device, 8, 0, 32, 16, 0.75f, 0xFF808080u);
    device->EnableAlphaBlend(true);
    DrawQuad(*device, 0, 0, 8, 16, 0.1f, 0xFF404040u);
    DrawQuad(*device, 16, 0, 24, 16, 0.75f, 0xFF101010u);
    ExpectedImage image(32, 16);
    image.Fill(0, 0, 8, 16, 0x6080A0);
    image.Fill(8, 0, 16, 16, 0x204060);
    image.Fill(16, 0, 24, 16, 0x909090);
    image.Fill(24, 0, 32, 16, 0x808080);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), image, "initial_depth_and_blend", 1));
}
