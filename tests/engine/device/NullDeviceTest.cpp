// Tests of the null device: companions hold memory of the size asked, are reusable, and drawing changes nothing.
#include <gtest/gtest.h>
#include <cstring>
#include <memory>
#include "engine/device/NullDevice.h"
#include "support/FatalText.h"
#include "support/TestImages.h"
#include "support/TestPak.h"

namespace {

// Red, green, blue on the top row; (16, 32, 64), white, black below.
const std::vector<uint8_t> kSixColours = {255, 0, 0, 0, 255, 0, 0, 0, 255, 16, 32, 64, 255, 255, 255, 0, 0, 0};

template <class T>
T Read(const void* pixels, size_t i)
{
    T value;
    std::memcpy(&value, static_cast<const uint8_t*>(pixels) + i * sizeof(T), sizeof(T));
    return value;
}

struct Owned {
    NullDevice& device;
    Texture* texture = nullptr;
    Surface* surface = nullptr;
    VertexBuffer* buffer = nullptr;
    ~Owned()
    {
        device.DestroyTexture(texture);
        device.DestroySurface(surface);
        device.DestroyVertexBuffer(buffer);
    }
};

}  // namespace

TEST(NullDeviceTest, InitChecksSelectionsTakesTheModeAndSetsTheDisplayLayout)
{
    NullDevice unselected;
    EXPECT_EQ("No driver selected.", FatalText([&] { unselected.Init(nullptr, false, 640, 480, 32); }));
    unselected.SelectDriver(unselected.GetDriver(0));
    EXPECT_EQ("No device selected.", FatalText([&] { unselected.Init(nullptr, false, 640, 480, 32); }));
    unselected.SelectDevice(unselected.GetDriver(0).GetDevice(0));
    EXPECT_EQ("No video mode selected.", FatalText([&] { unselected.Init(nullptr, false, 0, 0, 0); }));
    EXPECT_FALSE(unselected.IsInitialised());

    // Width 0 takes the selected mode: the fourth is 800 x 600 x 32.
    NullDevice device;
    const DeviceInfo& modes = device.GetDriver(0).GetDevice(0);
    ASSERT_EQ(6, modes.GetModeCount());
    device.SelectDriver(device.GetDriver(0));
    device.SelectDevice(modes);
    device.SelectMode(modes.GetMode(3));
    EXPECT_TRUE(device.Init(nullptr, true, 0, 0, 0));
    EXPECT_EQ(800, device.GetWidth());
    EXPECT_EQ(600, device.GetHeight());
    EXPECT_EQ(32, device.GetBitsPerPixel());
    EXPECT_TRUE(device.IsFullScreen());
    EXPECT_FLOAT_EQ(0.75f, device.GetAspect());
    EXPECT_EQ(0x00FF0000u, device.GetRedMask());
    // A second Init changes nothing.
    EXPECT_TRUE(device.Init(nullptr, false, 320, 200, 16));
    EXPECT_EQ(800, device.GetWidth());
    EXPECT_EQ(32, device.GetBitsPerPixel());

    NullDevice sixteen;
    sixteen.Open(320, 240, 16);
    EXPECT_EQ(0xF800u, sixteen.GetRedMask());
    EXPECT_EQ(0x07E0u, sixteen.GetGreenMask());
    EXPECT_EQ(0x001Fu, sixteen.GetBlueMask());
}

TEST(NullDeviceTest, TexturesHoldTheirPixelsInTheStoredFormatAndAreReusable)
{
    ScopedTestPak pak({{"six.png", EncodePng(3, 2, kSixColours)},
                       {"grey.png", EncodePng(4, 4, SolidRgb(4, 4, 9, 9, 9))},
                       {"half.png", EncodePng(3, 2, SolidRgb(3, 2, 0, 0, 0x80))}});
    struct Case {
        int bits;
        int pitch;  // 3 pixels a row
        uint32_t expected[4];
    };
    // XRGB32 on a 32-bit display; 5-6-5 on a 16-bit one: (16, 32, 64) is 2 << 11 | 8 << 5 | 8.
    const Case cases[] = {
        {32, 12, {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0x00102040u}},
        {16, 6, {0xF800u, 0x07E0u, 0x001Fu, 0x1108u}},
    };
    for (const Case& c : cases) {
        NullDevice device;
        device.Open(640, 480, c.bits);
        Owned owned{device};
        owned.texture = device.CreateTexture();
        Texture& texture = *owned.texture;
        int pitch = -1;
        EXPECT_EQ(nullptr, texture.Lock(pitch)) << "nothing uploaded yet";

        ASSERT_TRUE(texture.Load("six.png", false));
        uint8_t* pixels = static_cast<uint8_t*>(texture.Lock(pitch));
        ASSERT_NE(nullptr, pixels);
        EXPECT_EQ(c.pitch, pitch) << c.bits;
        ASSERT_EQ(static_cast<size_t>(c.pitch) * 2, static_cast<NullTexture&>(texture).GetPixels()->pixels.size());
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(c.expected[i], c.bits == 16 ? Read<uint16_t>(pixels, i) : Read<uint32_t>(pixels, i))
                << c.bits << " bits, pixel " << i;
        // What is written under a lock is there at the next one.
        pixels[pitch * 2 - 1] = 0x5A;
        texture.Unlock();
        EXPECT_EQ(0x5A, static_cast<uint8_t*>(texture.Lock(pitch))[pitch * 2 - 1]);
        texture.Unlock();

        // The same texture takes another image of another size.
        ASSERT_TRUE(texture.Load("grey.png", false));
        EXPECT_NE(nullptr, texture.Lock(pitch));
        EXPECT_EQ(4 * c.bits / 8, pitch);
        EXPECT_EQ(4u, texture.GetHeight());
        texture.Unlock();
        // And becomes a render target: edge x edge XRGB32, cleared to 0.
        texture.CreateRenderTarget(8);
        const uint8_t* target = static_cast<uint8_t*>(texture.Lock(pitch));
        ASSERT_NE(nullptr, target);
        EXPECT_EQ(32, pitch);
        EXPECT_EQ(std::vector<uint8_t>(8 * 32, 0), std::vector<uint8_t>(target, target + 8 * 32));
        texture.Unlock();
    }

    // An eight-bit alpha map makes ARGB32 texels with the alpha image's blue as alpha.
    NullDevice device;
    device.Open();
    Owned owned{device};
    owned.texture = device.CreateTexture();
    owned.texture->SetAlphaMap("half.png", 255);
    ASSERT_TRUE(owned.texture->Load("six.png", false));
    int pitch = 0;
    const void* argb = owned.texture->Lock(pitch);
    ASSERT_NE(nullptr, argb);
    EXPECT_EQ(12, pitch);
    EXPECT_EQ(0x80FF0000u, Read<uint32_t>(argb, 0));
    EXPECT_EQ(0x80102040u, Read<uint32_t>(argb, 3));
}

TEST(NullDeviceTest, TexturesOfOneImageShareItsPixelsUntilTheLastIsDestroyed)
{
    ScopedTestPak pak({{"six.png", EncodePng(3, 2, kSixColours)}});
    NullDevice device;
    device.Open();
    Texture* first = device.CreateTexture();
    Texture* second = device.CreateTexture();
    ASSERT_TRUE(first->Load("six.png", false));
    ASSERT_TRUE(second->Load("six.png", false));
    int pitch = 0;
    EXPECT_EQ(first->Lock(pitch), second->Lock(pitch));
    EXPECT_EQ(2, device.GetMapCache().GetCount("six.png"));
    device.DestroyTexture(first);
    EXPECT_EQ(0x00FF0000u, Read<uint32_t>(second->Lock(pitch), 0)) << "still held by the second";
    device.DestroyTexture(second);
    EXPECT_EQ(nullptr, device.GetMapCache().Find("six.png"));
}

TEST(NullDeviceTest, SurfacesAndVertexBuffersGiveMemoryOfTheSizeAskedEachTimeTheyAreMade)
{
    for (int bits : {16, 32}) {
        NullDevice device;
        device.Open(640, 480, bits);
        Owned owned{device};
        owned.surface = device.CreateSurface();
        Surface& surface = *owned.surface;
        const int bytes = bits / 8;
        struct Size {
            int width, height;
        };
        for (const Size size : {Size{5, 3}, Size{7, 2}, Size{1, 1}}) {
            ASSERT_TRUE(surface.Create(size.width, size.height, false, false));
            int pitch = 0;
            auto* pixels = static_cast<uint8_t*>(surface.Lock(pitch));
            ASSERT_NE(nullptr, pixels) << size.width;
            EXPECT_EQ(size.width * bytes, pitch);
            EXPECT_EQ(bits, surface.GetBitsPerPixel());
            // Cleared, and writable to its last byte.
            EXPECT_EQ(0, pixels[0]);
            pixels[pitch * size.height - 1] = 0xAB;
            surface.Unlock();
            surface.Draw(nullptr, -3, -3, true);
            surface.Draw(&surface, -1, 0, false);
        }
        int pitch = 0;
        EXPECT_FALSE(surface.Create(-1, 4, false, false));
        ASSERT_TRUE(surface.Create(0, 0, false, false));
        EXPECT_EQ(nullptr, surface.Lock(pitch));
    }

    NullDevice device;
    device.Open();
    Owned owned{device};
    owned.buffer = device.CreateVertexBuffer();
    VertexBuffer& buffer = *owned.buffer;
    EXPECT_EQ(nullptr, buffer.Lock()) << "before Create";
    ASSERT_TRUE(buffer.Create(true, 4, 6));
    Vertex* vertices = buffer.Lock();
    ASSERT_NE(nullptr, vertices);
    EXPECT_EQ(0u, vertices[3].color);
    vertices[3].color = 0xFF00FF00u;
    buffer.Unlock();
    EXPECT_EQ(0xFF00FF00u, buffer.Lock()[3].color);
    EXPECT_EQ(6u, buffer.indices.size());
    buffer.Draw();
    // Made again, larger: all of it is there.
    ASSERT_TRUE(buffer.Create(false, 1000, 3));
    ASSERT_NE(nullptr, buffer.Lock());
    buffer.Lock()[999].x = 1.5f;
    EXPECT_EQ(1000, buffer.GetVertexCount());
    EXPECT_EQ(3u, buffer.indices.size());
    ASSERT_TRUE(buffer.Create(false, 0, 0));
    EXPECT_EQ(nullptr, buffer.Lock());
    buffer.Draw();
}

TEST(NullDeviceTest, DrawingChangesNoStateAndTakesNullOrEmptyInput)
{
    NullDevice device;
    device.Open();
    Owned owned{device};
    owned.texture = device.CreateTexture();
    device.SetTexture(0, owned.texture);
    device.SetColorOp(0, ColorOp::Add);
    device.EnableDepth(false);
    device.SetCullMode(CullMode::None);
    const Vertex triangle[3] = {};
    const uint16_t indices[3] = {0, 1, 2};

    EXPECT_TRUE(device.Clear(0));
    device.BeginScene();
    device.Draw(PrimitiveType::TriangleList, triangle, 3);
    device.Draw(PrimitiveType::PointList, nullptr, 0);
    device.Draw(PrimitiveType::LineList, nullptr, 10);
    device.DrawIndexed(PrimitiveType::TriangleList, triangle, 3, indices, 3);
    device.DrawIndexed(PrimitiveType::TriangleList, nullptr, 5, nullptr, 9);
    device.SetRenderTarget(owned.texture);
    device.SetRenderTarget(nullptr);
    EXPECT_TRUE(device.DrawTestPattern());
    device.EndScene();
    EXPECT_TRUE(device.Present(0));

    const DeviceState& state = device.GetState();
    EXPECT_EQ(owned.texture, state.stages[0].texture);
    EXPECT_EQ(ColorOp::Add, state.stages[0].colorOp);
    EXPECT_FALSE(state.depthTest);
    EXPECT_EQ(CullMode::None, state.cullMode);
    EXPECT_TRUE(device.ReadBackBuffer().empty()) << "nothing to read back";
    EXPECT_EQ(0xFF123456u, device.ConvertColor(0xFF123456u));

    // A texture given back leaves the stage that drew with it; nullptr is ignored.
    device.DestroyTexture(owned.texture);
    owned.texture = nullptr;
    EXPECT_EQ(nullptr, device.GetState().stages[0].texture);
    device.DestroyTexture(nullptr);
    device.DestroySurface(nullptr);
    device.DestroyVertexBuffer(nullptr);
}

TEST(NullDeviceTest, PointsOnScreenAreVisibleAndOffScreenOnesAreNot)
{
    NullDevice device;
    device.Open(640, 480, 32);
    // Identity transforms: screen x = (x + 1) * 320, screen y = (1 - y) * 240.
    device.SetProjection(Matrix4::Identity());
    device.SetView(Matrix4::Identity());
    device.SetWorld(Matrix4::Identity());
    device.SetColorOp(0, ColorOp::Modulate);
    device.EnableDepth(false);

    EXPECT_FALSE(device.IsPointVisible(5.0f, 0.0f, 0.0f));
    EXPECT_EQ(ColorOp::Modulate, device.GetState().stages[0].colorOp) << "off screen: nothing drawn, nothing set";
    EXPECT_TRUE(device.IsPointVisible(0.0f, 0.0f, 0.0f));
    // The state the test drew with stays, as on a device that draws.
    const StageState& stage = device.GetState().stages[0];
    EXPECT_EQ(ColorOp::SelectArg1, stage.colorOp);
    EXPECT_EQ(ColorArg::Diffuse, stage.colorArg1);
    EXPECT_EQ(AlphaOp::Disable, stage.alphaOp);
    EXPECT_TRUE(device.GetState().depthTest);

    TransformedVertex points[3] = {};
    points[0].x = 0.5f, points[0].y = 0.5f, points[0].z = 0.25f;
    points[1].x = -3.0f;
    points[2].x = -0.5f, points[2].y = -0.5f;
    uint32_t results[3] = {7, 7, 7};
    device.ArePointsVisible(points, results, 3);
    EXPECT_EQ(kPointVisible, results[0]);
    EXPECT_FLOAT_EQ(480.0f, points[0].x);
    EXPECT_FLOAT_EQ(120.0f, points[0].y);
    EXPECT_FLOAT_EQ(0.25f, points[0].z);
    EXPECT_EQ(kPointHidden, results[1]);
    EXPECT_FLOAT_EQ(-1.0f, points[1].x);
    EXPECT_EQ(kPointVisible, results[2]);
    EXPECT_FLOAT_EQ(160.0f, points[2].x);
    EXPECT_FLOAT_EQ(360.0f, points[2].y);

    device.ArePointsVisible(nullptr, nullptr, 4);
    device.ArePointsVisible(points, results, 0);
    EXPECT_EQ(kPointVisible, results[0]) << "nothing to test: results untouched";
}
