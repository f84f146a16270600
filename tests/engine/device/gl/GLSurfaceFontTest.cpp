// Rendering tests of the OpenGL device: surface copies with and without the black key, a font line.
#include "support/GLTestSupport.h"
#include "engine/device/Font.h"
#include "engine/device/Surface.h"
#include "support/TestImages.h"
#include "support/TestPak.h"

TEST(GLDeviceSurface, CopiesPixelsAndSkipsBlackWhenKeyed)
{
    for (int bits : {32, 16}) {
        SCOPED_TRACE(bits);
        auto device = MakeTestDevice(16, 16, bits);
        device->SetClearColor(0.0f, 0.0f, 1.0f);
        device->Clear(0);
        Surface* surface = device->CreateSurface();
        ASSERT_TRUE(surface->Create(3, 2, false, false));
        int pitch = 0;
        void* memory = surface->Lock(pitch);
        ASSERT_NE(memory, nullptr);
        // Row 0: red, black, green; row 1: white, white, black.
        if (bits == 32) {
            EXPECT_EQ(pitch, 12);
            auto* p = static_cast<uint32_t*>(memory);
            const uint32_t values[6] = {0xFF0000, 0, 0x00FF00, 0xFFFFFF, 0xFFFFFF, 0};
            std::copy(values, values + 6, p);
        } else {
            EXPECT_EQ(pitch, 6);
            auto* p = static_cast<uint16_t*>(memory);
            const uint16_t values[6] = {0xF800, 0, 0x07E0, 0xFFFF, 0xFFFF, 0};
            std::copy(values, values + 6, p);
        }
        surface->Unlock();
        surface->Draw(nullptr, 2, 3, false);
        surface->Draw(nullptr, 10, 8, true);
        ExpectedImage image(16, 16);
        image.Fill(0, 0, 16, 16, 0x0000FF);
        image.Fill(2, 3, 3, 4, 0xFF0000);
        image.Fill(3, 3, 4, 4, 0x000000);
        image.Fill(4, 3, 5, 4, 0x00FF00);
        image.Fill(2, 4, 4, 5, 0xFFFFFF);
        image.Fill(4, 4, 5, 5, 0x000000);
        image.Fill(10, 8, 11, 9, 0xFF0000);
        image.Fill(12, 8, 13, 9, 0x00FF00);
        image.Fill(10, 9, 12, 10, 0xFFFFFF);
        EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), image, "surface_copy_" + std::to_string(bits), 0));

        // Stretched over another surface: 3 x 2 onto 6 x 4 doubles every pixel.
        Surface* big = device->CreateSurface();
        ASSERT_TRUE(big->Create(6, 4, false, false));
        surface->Draw(big, -1, 0, false);
        device->Clear(0);
        big->Draw(nullptr, 0, 0, false);
        ExpectedImage stretched(16, 16);
        stretched.Fill(0, 0, 16, 16, 0x0000FF);
        stretched.Fill(0, 0, 2, 2, 0xFF0000);
        stretched.Fill(2, 0, 4, 2, 0x000000);
        stretched.Fill(4, 0, 6, 2, 0x00FF00);
        stretched.Fill(0, 2, 4, 4, 0xFFFFFF);
        stretched.Fill(4, 2, 6, 4, 0x000000);
        EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), stretched, "surface_stretch_" + std::to_string(bits), 0));
        device->DestroySurface(big);
        device->DestroySurface(surface);
    }
}

TEST(GLDeviceFont, PrintsALineOfKeyedGlyphs)
{
    int sheetWidth = 0, sheetHeight = 0;
    std::vector<std::vector<int>> rows(5, std::vector<int>(16, 3));
    rows.push_back(std::vector<int>(14, 3));
    std::vector<uint8_t> sheet = DrawFontSheet(5, rows, sheetWidth, sheetHeight);
    ScopedTestPak pak({{"font.png", EncodePng(sheetWidth, sheetHeight, sheet)}});
    auto device = MakeTestDevice(24, 12);
    device->SetClearColor(0.0f, 0.0f, 0.5f);
    device->Clear(0);
    Font* font = device->GetFont("font.png");
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->GetHeight(), 5);
    EXPECT_EQ(font->Print(nullptr, 2, 3, "%s", "ab"), 2);

    // 'a' is glyph 64 at x 2..4, 'b' glyph 65 at x 7..9 (width 3 + spacing 2), rows 3..7;
    // each glyph's bottom-right pixel is black and lets the background through.
    ExpectedImage image(24, 12);
    image.Fill(0, 0, 24, 12, 0x00007F);
    image.Fill(2, 3, 5, 8, GlyphColor(64));
    image.Fill(4, 7, 5, 8, 0x00007F);
    image.Fill(7, 3, 10, 8, GlyphColor(65));
    image.Fill(9, 7, 10, 8, 0x00007F);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), image, "font_line", 0));
}
