// Tests of the null device: companions hold memory of the size asked, are reusable, and drawing changes nothing.
// (Init, sharing through the map cache and the visibility answers are tested through the
// recording device, which is the null device underneath.)
#include <gtest/gtest.h>
#include <cstring>
#include "engine/device/NullDevice.h"
#include "support/TestImages.h"
#include "support/TestPak.h"

namespace {

template <class T>
T Read(const void* pixels, size_t i)
{
    T value;
    std::memcpy(&value, static_cast<const uint8_t*>(pixels) + i * sizeof(T), sizeof(T));
    return value;
}

}  // namespace

TEST(NullDeviceTest, TexturesHoldTheirPixelsInTheStoredFormatAndAreReusable)
{
    // Red, green, blue, (16, 32, 64) on top; white, black below.
    const std::vector<uint8_t> six = {255, 0, 0, 0, 255, 0, 0, 0, 255, 16, 32, 64, 255, 255, 255, 0, 0, 0};
    ScopedTestPak pak({{"six.png", EncodePng(3, 2, six)}, {"grey.png", EncodePng(4, 4, SolidRgb(4, 4, 9, 9, 9))},
                       {"half.png", EncodePng(3, 2, SolidRgb(3, 2, 0, 0, 0x80))}});
    struct Case {
        int bits;
        const char* alphaMap;
        int pitch;  // 3 pixels a row
        uint32_t expected[4];
    };
    const Case cases[] = {
        {32, nullptr, 12, {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0x00102040u}},
        // 5-6-5: (16, 32, 64) is 2 << 11 | 8 << 5 | 8.
        {16, nullptr, 6, {0xF800u, 0x07E0u, 0x001Fu, 0x1108u}},
        // An eight-bit alpha map: ARGB32 with the alpha image's blue as alpha.
        {32, "half.png", 12, {0x80FF0000u, 0x8000FF00u, 0x800000FFu, 0x80102040u}},
    };
    for (const Case& c : cases) {
        NullDevice device;
        device.Open(640, 480, c.bits);
        Texture* texture = device.CreateTexture();
        int pitch = -1;
        EXPECT_EQ(nullptr, texture->Lock(pitch)) << "nothing uploaded yet";
        if (c.alphaMap)
            texture->SetAlphaMap(c.alphaMap, 255);
        ASSERT_TRUE(texture->Load("six.png", false));
        auto* pixels = static_cast<uint8_t*>(texture->Lock(pitch));
        ASSERT_NE(nullptr, pixels);
        EXPECT_EQ(c.pitch, pitch) << c.bits;
        EXPECT_EQ(static_cast<size_t>(c.pitch) * 2, static_cast<NullTexture*>(texture)->GetPixels()->pixels.size());
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(c.expected[i], c.bits == 16 ? Read<uint16_t>(pixels, i) : Read<uint32_t>(pixels, i))
                << c.bits << " bits, pixel " << i;
        // What is written under a lock is there at the next one.
        pixels[pitch * 2 - 1] = 0x5A;
        texture->Unlock();
        EXPECT_EQ(0x5A, static_cast<uint8_t*>(texture->Lock(pitch))[pitch * 2 - 1]);
        texture->Unlock();

        // The same texture takes another image of another size, then becomes a render
        // target: edge x edge XRGB32, cleared to 0.
        ASSERT_TRUE(texture->Load("grey.png", false));
        EXPECT_NE(nullptr, texture->Lock(pitch));
        EXPECT_EQ(4 * (c.alphaMap ? 4 : c.bits / 8), pitch);
        texture->CreateRenderTarget(8);
        const auto* target = static_cast<uint8_t*>(texture->Lock(pitch));
        ASSERT_NE(nullptr, target);
        EXPECT_EQ(32, pitch);
        EXPECT_EQ(std::vector<uint8_t>(8 * 32, 0), std::vector<uint8_t>(target, target + 8 * 32));
        device.DestroyTexture(texture);
    }
}

TEST(NullDeviceTest, SurfacesAndVertexBuffersGiveMemoryOfTheSizeAskedEachTimeTheyAreMade)
{
    for (int bits : {16, 32}) {
        NullDevice device;
        device.Open(640, 480, bits);
        Surface* surface = device.CreateSurface();
        for (const auto& [width, height] : {std::pair{5, 3}, std::pair{7, 2}, std::pair{1, 1}}) {
            ASSERT_TRUE(surface->Create(width, height, false, false));
            int pitch = 0;
            auto* pixels = static_cast<uint8_t*>(surface->Lock(pitch));
            ASSERT_NE(nullptr, pixels) << width;
            EXPECT_EQ(width * bits / 8, pitch);
            EXPECT_EQ(0, pixels[0]);
            pixels[pitch * height - 1] = 0xAB;  // the last byte is there to write
            surface->Unlock();
            surface->Draw(nullptr, -3, -3, true);
            surface->Draw(surface, -1, 0, false);
        }
        int pitch = 0;
        EXPECT_FALSE(surface->Create(-1, 4, false, false));
        ASSERT_TRUE(surface->Create(0, 0, false, false));
        EXPECT_EQ(nullptr, surface->Lock(pitch));
        device.DestroySurface(surface);
    }

    NullDevice device;
    device.Open();
    VertexBuffer* buffer = device.CreateVertexBuffer();
    EXPECT_EQ(nullptr, buffer->Lock()) << "before Create";
    ASSERT_TRUE(buffer->Create(true, 4, 6));
    ASSERT_NE(nullptr, buffer->Lock());
    EXPECT_EQ(0u, buffer->Lock()[3].color);
    buffer->Lock()[3].color = 0xFF00FF00u;
    buffer->Unlock();
    EXPECT_EQ(0xFF00FF00u, buffer->Lock()[3].color);
    EXPECT_EQ(6u, buffer->indices.size());
    buffer->Draw();
    // Made again, larger: all of it is there.
    ASSERT_TRUE(buffer->Create(false, 1000, 3));
    ASSERT_NE(nullptr, buffer->Lock());
    buffer->Lock()[999].x = 1.5f;
    EXPECT_EQ(3u, buffer->indices.size());
    ASSERT_TRUE(buffer->Create(false, 0, 0));
    EXPECT_EQ(nullptr, buffer->Lock());
    buffer->Draw();
    device.DestroyVertexBuffer(buffer);
}

TEST(NullDeviceTest, DrawingChangesNoStateAndTakesNullOrEmptyInput)
{
    NullDevice device;
    device.Open();
    Texture* texture = device.CreateTexture();
    device.SetTexture(0, texture);
    device.SetColorOp(0, ColorOp::Add);
    device.EnableDepth(false);
    const Vertex triangle[3] = {};
    const uint16_t indices[3] = {0, 1, 2};

    EXPECT_TRUE(device.Clear(0));
    device.BeginScene();
    device.Draw(PrimitiveType::TriangleList, triangle, 3);
    device.Draw(PrimitiveType::LineList, nullptr, 10);
    device.DrawIndexed(PrimitiveType::TriangleList, triangle, 3, indices, 3);
    device.DrawIndexed(PrimitiveType::TriangleList, nullptr, 5, nullptr, 9);
    device.SetRenderTarget(texture);
    device.SetRenderTarget(nullptr);
    EXPECT_TRUE(device.DrawTestPattern());
    device.EndScene();
    EXPECT_TRUE(device.Present(0));
    EXPECT_EQ(texture, device.GetState().stages[0].texture);
    EXPECT_EQ(ColorOp::Add, device.GetState().stages[0].colorOp);
    EXPECT_FALSE(device.GetState().depthTest);
    EXPECT_TRUE(device.ReadBackBuffer().empty()) << "nothing to read back";

    // Visibility tests without points to test.
    device.ArePointsVisible(nullptr, nullptr, 4);
    uint32_t result = 7;
    TransformedVertex point{};
    device.ArePointsVisible(&point, &result, 0);
    EXPECT_EQ(7u, result);

    // A texture given back leaves the stage that drew with it; nullptr is ignored.
    device.DestroyTexture(texture);
    EXPECT_EQ(nullptr, device.GetState().stages[0].texture);
    device.DestroyTexture(nullptr);
    device.DestroySurface(nullptr);
    device.DestroyVertexBuffer(nullptr);
}
