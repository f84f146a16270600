// Rendering tests of the OpenGL device: clear colour and flags, test pattern, presentation.
#include "support/GLTestSupport.h"

TEST(GLDeviceClear, ClearColourAndDepthOnlyFlag)
{
    auto device = MakeTestDevice(32, 24);
    device->SetClearColor(1.0f, 0.5f, 0.0f);
    EXPECT_EQ(device->GetClearColor(), 0xFFFF7F00u);
    device->Clear(0);
    ExpectedImage orange(32, 24);
    orange.Fill(0, 0, 32, 24, 0xFF7F00);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), orange, "clear_colour", 0));

    // Bit 0 set: depth only, the colour stays.
    device->SetClearColor(0.0f, 0.0f, 1.0f);
    device->Clear(1);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), orange, "clear_depth_only_flag", 0));

    // Clear colour disabled: depth only as well.
    device->EnableClearColor(false);
    device->Clear(0);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), orange, "clear_colour_disabled", 0));

    device->EnableClearColor(true);
    device->Clear(0);
    ExpectedImage blue(32, 24);
    blue.Fill(0, 0, 32, 24, 0x0000FF);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), blue, "clear_blue", 0));
}

TEST(GLDeviceReadBack, QueuedCopiesMatchReadBackBufferOfTheirFrame)
{
    for (int bits : {32, 16}) {
        SCOPED_TRACE(bits);
        // An odd width: rows of 3-byte pixels are not 4-byte aligned.
        auto device = MakeTestDevice(33, 17, bits);
        std::vector<uint8_t> rgb{1, 2, 3};
        EXPECT_FALSE(device->TakeReadBack(rgb, true));
        EXPECT_EQ(rgb.size(), 3u);
        std::vector<std::vector<uint8_t>> expected;
        const float colours[][3] = {{1.0f, 0.5f, 0.0f}, {0.2f, 0.4f, 0.6f}, {0.0f, 0.0f, 1.0f}, {0.9f, 0.1f, 0.3f}};
        for (const auto& c : colours) {
            device->SetClearColor(c[0], c[1], c[2]);
            device->Clear(0);
            device->DrawTestPattern();
            device->QueueReadBack();
            expected.push_back(device->ReadBackBuffer());
            device->Present(0);
        }
        EXPECT_EQ(device->GetQueuedReadBacks(), 4u);
        // Without waiting the oldest comes back once its copy is done, and only then.
        int polls = 0;
        while (!device->TakeReadBack(rgb, false) && polls < 100000)
            ++polls;
        ASSERT_LT(polls, 100000);
        EXPECT_EQ(rgb, expected[0]);
        for (size_t i = 1; i < expected.size(); ++i) {
            ASSERT_TRUE(device->TakeReadBack(rgb, true));
            EXPECT_EQ(rgb, expected[i]) << "frame " << i;
        }
        EXPECT_FALSE(device->TakeReadBack(rgb, true));
        // Buffers are reused for later frames.
        device->QueueReadBack();
        ASSERT_TRUE(device->TakeReadBack(rgb, true));
        EXPECT_EQ(rgb, device->ReadBackBuffer());
    }
}

TEST(GLDevicePresent, LeavesTheBackBufferBoundForTheNextFramesClearsAndDraws)
{
    auto device = MakeTestDevice(24, 16);
    const uint32_t colours[] = {0xFF0000u, 0x00FF00u, 0x0000FFu};
    for (uint32_t colour : colours) {
        device->SetClearColor(((colour >> 16) & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f,
                              (colour & 0xFF) / 255.0f);
        device->Clear(0);
        DrawQuad(*device, 0, 0, 8, 8, 0.5f, 0xFFFFFFFFu);
        device->EndScene();
        ExpectedImage image(24, 16);
        image.Fill(0, 0, 24, 16, colour);
        image.Fill(0, 0, 8, 8, 0xFFFFFF);
        EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), image, "present_next_frame", 0)) << std::hex << colour;
        device->Present(0);
        // The window is drawn to only while presenting.
        GLint drawn = -1, read = -1;
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawn);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
        EXPECT_NE(drawn, 0);
        EXPECT_EQ(drawn, read);
    }
}
