// Rendering tests of the OpenGL device: render targets, their locks, and 16-bit modes.
#include "support/GLTestSupport.h"
#include "engine/device/Texture.h"

TEST(GLDeviceRenderTarget, DrawIntoTextureLockItAndSampleItBack)
{
    auto device = MakeTestDevice(32, 32);
    Texture* target = device->CreateTexture();
    target->CreateRenderTarget(16);
    EXPECT_EQ(target->GetWidth(), 16u);
    int pitch = 0;
    auto* fresh = static_cast<uint32_t*>(target->Lock(pitch));
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(pitch, 64);
    EXPECT_EQ(fresh[0], 0u);
    EXPECT_EQ(fresh[16 * 16 - 1], 0u);
    target->Unlock();

    device->BeginScene();
    device->SetRenderTarget(target);
    device->SetOrtho(16, 16, 0, 1);
    device->SetClearColor(1, 0, 0);
    device->Clear(0);
    std::vector<Vertex> quad = ScreenQuad(16, 16, 0, 0, 8, 8, 0.5f, 0xFF00FF00u);
    device->Draw(PrimitiveType::TriangleStrip, quad.data(), 4);
    device->SetRenderTarget(nullptr);
    device->EndScene();

    // Rows top-down; XRGB32 with a zero free byte.
    auto* pixels = static_cast<uint32_t*>(target->Lock(pitch));
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[0], 0x0000FF00u);
    EXPECT_EQ(pixels[7 * 16 + 7], 0x0000FF00u);
    EXPECT_EQ(pixels[8], 0x00FF0000u);
    EXPECT_EQ(pixels[15 * 16 + 15], 0x00FF0000u);
    target->Unlock();

    // The back buffer was not touched.
    ExpectedImage black(32, 32);
    black.Fill(0, 0, 32, 32, 0);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), black, "target_back_buffer_untouched", 0));

    // Sampled over the whole (restored) viewport: green top-left quarter, red elsewhere.
    device->SetOrtho(32, 32, 0, 1);
    device->SetTexture(0, target);
    device->SetColorOp(0, ColorOp::SelectArg1);
    DrawQuad(*device, 0, 0, 32, 32, 0.5f, 0xFFFFFFFFu);
    ExpectedImage image(32, 32);
    image.Fill(0, 0, 32, 32, 0xFF0000);
    image.Fill(0, 0, 16, 16, 0x00FF00);
    image.Ignore(14, 0, 18, 32);  // filtered seam
    image.Ignore(0, 14, 32, 18);
    image.Ignore(30, 0, 32, 32);  // wrap-around filtering at the far edges
    image.Ignore(0, 30, 32, 32);
    image.Ignore(0, 0, 2, 32);
    image.Ignore(0, 0, 32, 2);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), image, "target_sampled"));

    // Unlock writes the CPU copy back to the texture.
    pixels = static_cast<uint32_t*>(target->Lock(pitch));
    for (int i = 0; i < 16 * 16; ++i) pixels[i] = 0x000000FFu;
    target->Unlock();
    device->Clear(0);
    DrawQuad(*device, 0, 0, 32, 32, 0.5f, 0xFFFFFFFFu);
    ExpectedImage blue(32, 32);
    blue.Fill(0, 0, 32, 32, 0x0000FF);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), blue, "target_unlocked_copy"));
    device->DestroyTexture(target);
}

TEST(GLDeviceRenderTarget, SixteenBitModesKeepRgb565Pixels)
{
    auto device = MakeTestDevice(16, 16, 16);
    EXPECT_EQ(device->GetRedMask(), 0xF800u);
    EXPECT_EQ(device->GetGreenMask(), 0x07E0u);
    EXPECT_EQ(device->GetBlueMask(), 0x001Fu);
    device->SetClearColor(1.0f, 0.5f, 0.0f);
    device->Clear(0);
    uint32_t shown = PixelAt(device->ReadBackBuffer(), 16, 3, 3);
    // 31 of 31 red, 31 of 63 green (125.5 of 255), no blue.
    EXPECT_EQ(shown >> 16, 0xFFu);
    EXPECT_NEAR(static_cast<int>((shown >> 8) & 0xFF), 125, 1);
    EXPECT_EQ(shown & 0xFF, 0u);

    Texture* target = device->CreateTexture();
    target->CreateRenderTarget(8);
    device->SetRenderTarget(target);
    device->Clear(0);
    device->SetRenderTarget(nullptr);
    int pitch = 0;
    auto* texels = static_cast<uint16_t*>(target->Lock(pitch));
    ASSERT_NE(texels, nullptr);
    EXPECT_EQ(pitch, 16);
    EXPECT_EQ(texels[0], 0xFBE0u);
    EXPECT_EQ(texels[63], 0xFBE0u);
    target->Unlock();
    device->DestroyTexture(target);
}

TEST(GLDeviceRenderTarget, LockTouchesItsOwnTextureWhicheverStageWasBoundLast)
{
    auto device = MakeTestDevice(16, 16);
    Texture* first = device->CreateTexture();
    Texture* second = device->CreateTexture();
    first->CreateRenderTarget(4);
    second->CreateRenderTarget(4);
    auto fill = [&](Texture* target, float r, float g, float b) {
        device->SetRenderTarget(target);
        device->SetClearColor(r, g, b);
        device->Clear(0);
        device->SetRenderTarget(nullptr);
    };
    fill(first, 1, 0, 0);
    fill(second, 0, 0, 1);
    // A draw with both stages textured leaves stage 1's unit the active one.
    device->SetTexture(0, first);
    device->SetTexture(1, second);
    DrawQuad(*device, 0, 0, 16, 16, 0.5f, 0xFFFFFFFFu);
    device->EndScene();

    int pitch = 0;
    auto* pixels = static_cast<uint32_t*>(first->Lock(pitch));
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[0], 0x00FF0000u);
    pixels[0] = 0x0000FF00u;
    first->Unlock();
    pixels = static_cast<uint32_t*>(second->Lock(pitch));
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[0], 0x000000FFu);
    second->Unlock();
    pixels = static_cast<uint32_t*>(first->Lock(pitch));
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[0], 0x0000FF00u);
    first->Unlock();

    device->SetTexture(0, nullptr);
    device->SetTexture(1, nullptr);
    device->DestroyTexture(first);
    device->DestroyTexture(second);
}

TEST(GLDeviceRenderTarget, DestroyingTheCurrentTargetReturnsToTheScreenLikeSettingNone)
{
    // Both ways back to the screen must leave the same state: later screen draws land on
    // exactly the pixels they name, with no offset left from the small target's viewport.
    for (bool destroyWhileCurrent : {false, true}) {
        SCOPED_TRACE(destroyWhileCurrent ? "target destroyed while current" : "SetRenderTarget(none)");
        auto device = MakeTestDevice(64, 64);
        Texture* target = device->CreateTexture();
        target->CreateRenderTarget(4);
        device->SetRenderTarget(target);
        // No state change in between (the camera stays the screen's): the same program
        // draws into the target and then onto the screen.
        DrawQuad(*device, 0, 0, 64, 64, 0.5f, 0xFFFF0000u);
        if (destroyWhileCurrent) {
            device->DestroyTexture(target);
        } else {
            device->SetRenderTarget(nullptr);
            device->DestroyTexture(target);
        }

        DrawQuad(*device, 10, 20, 30, 40, 0.5f, 0xFF00FF00u);
        ExpectedImage image(64, 64);
        image.Fill(0, 0, 64, 64, 0);
        image.Fill(10, 20, 30, 40, 0x00FF00);
        EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), image,
                                 destroyWhileCurrent ? "target_destroyed_while_current" : "target_left_then_destroyed",
                                 0));
    }
}
