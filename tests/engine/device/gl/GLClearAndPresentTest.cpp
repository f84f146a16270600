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
