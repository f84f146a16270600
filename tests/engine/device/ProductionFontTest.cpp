// The production's font sheet (data/font1.png) cut by the engine's own font loader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/device/Font.h"
#include "support/RecordingDevice.h"
#include "support/TestPak.h"

namespace {

std::string ReadDataFile(const std::string& name)
{
    std::ifstream in(std::string(STARFALL_SOURCE_DIR) + "/data/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t BigEndian32(const std::string& bytes, size_t at)
{
    return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
           (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint32_t(uint8_t(bytes[at + 3]));
}

int Width(const Font& font, char c)
{
    return font.GetGlyphWidth(c - 33);
}

class ProductionFontTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GT(sheet_.size(), 33u) << "data/font1.png is missing";
        sheetWidth_ = static_cast<int>(BigEndian32(sheet_, 16));
        sheetHeight_ = static_cast<int>(BigEndian32(sheet_, 20));
        device_.Open(640, 480, 32);
    }

    std::string sheet_ = ReadDataFile("font1.png");
    ScopedTestPak pak_{{{"font1.png", sheet_}}};
    RecordingDevice device_;
    int sheetWidth_ = 0;
    int sheetHeight_ = 0;
};

}  // namespace

TEST_F(ProductionFontTest, SheetCutsIntoSixRowsOfGlyphsOfOneReadableHeight)
{
    Font font(&device_, "font1.png");

    // Rows of h pixels with one separating line each: six rows fill the sheet exactly.
    const int h = font.GetHeight();
    EXPECT_GE(h, 10);
    EXPECT_LE(h, 24);
    EXPECT_EQ(sheetHeight_, 6 * (h + 1));

    // Every glyph was found, and the widest row (glyphs plus their closing markers) is the
    // sheet's width: a marker missed or seen twice would shift the sum.
    int widest = 0;
    for (int row = 0; row < 6; ++row) {
        int used = 0;
        for (int k = row * 16; k < row * 16 + 16 && k < Font::kGlyphCount; ++k) {
            EXPECT_GE(font.GetGlyphWidth(k), 1) << "glyph " << k;
            used += font.GetGlyphWidth(k) + 1;
        }
        EXPECT_LE(used, sheetWidth_) << "row " << row;
        widest = std::max(widest, used);
    }
    EXPECT_EQ(widest, sheetWidth_);

    // Proportional widths, and a narrow blank tilde that also serves as the space.
    EXPECT_GT(Width(font, 'W'), Width(font, 'i'));
    EXPECT_GT(Width(font, 'M'), Width(font, '.'));
    EXPECT_LT(Width(font, '~'), Width(font, 'M'));
}

TEST_F(ProductionFontTest, PrintsEveryCharacterWithInkButNoMarkerColourAndTransparentBlack)
{
    Font font(&device_, "font1.png");
    const int h = font.GetHeight();
    std::string all;
    for (int c = 33; c <= 126; ++c)
        all += static_cast<char>(c);
    const std::string first = all.substr(0, 47), second = all.substr(47);

    const int end1 = font.Print(nullptr, 4, 10, "%s", first.c_str()) > 0 ? font.MeasureText(4, first.c_str()) : 0;
    font.Print(nullptr, 4, 40, "%s", second.c_str());
    ASSERT_LT(end1, 640) << "the first half must fit the test screen";

    int ink = 0, red = 0, strayBelow = 0;
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 640; ++x) {
            const uint32_t p = device_.BackBufferPixel(x, y) & 0xFFFFFF;
            if (p == 0)
                continue;
            ++ink;
            if (p == Font::kMarkerColor)
                ++red;
            const bool inLine = (y >= 10 && y < 10 + h) || (y >= 40 && y < 40 + h);
            if (!inLine)
                ++strayBelow;
        }
    }
    EXPECT_GT(ink, 47 * 4) << "glyphs carry visible pixels";
    EXPECT_EQ(red, 0) << "marker pixels leaked into glyphs";
    EXPECT_EQ(strayBelow, 0) << "glyph surfaces are exactly one row high";

    // The last glyph of the first half ends right where the pen stops (less the spacing).
    int lastInk = -1;
    for (int x = 0; x < 640; ++x)
        for (int y = 10; y < 10 + h; ++y)
            if (device_.BackBufferPixel(x, y) & 0xFFFFFF)
                lastInk = x;
    EXPECT_LT(lastInk, end1 - font.GetSpacing());
    EXPECT_GT(lastInk, end1 - font.GetSpacing() - Width(font, first.back()) - 1);
}
