// Tests of bitmap fonts: cutting sheets, the load failures, printing and the pen.
#include <gtest/gtest.h>
#include <functional>
#include "engine/core/Fatal.h"
#include "engine/device/Font.h"
#include "support/FatalText.h"
#include "support/RecordingDevice.h"
#include "support/TestImages.h"
#include "support/TestPak.h"

namespace {

// Six rows of 16 glyphs (the last of 14): glyph k is widths[k] wide.
std::vector<std::vector<int>> StandardRows(const std::function<int(int)>& width)
{
    std::vector<std::vector<int>> rows;
    for (int k = 0; k < Font::kGlyphCount; ++k) {
        if (k % 16 == 0)
            rows.emplace_back();
        rows.back().push_back(width(k));
    }
    return rows;
}

std::string SheetPng(int height, const std::vector<std::vector<int>>& rows, bool marker = true, int extraRows = 0)
{
    int w = 0, h = 0;
    const std::vector<uint8_t> rgb = DrawFontSheet(height, rows, w, h, marker, extraRows);
    return EncodePng(w, h, rgb);
}

int WidthOf(int k)
{
    return 3 + k % 5;
}

}  // namespace

TEST(FontTest, SheetIsCutIntoGlyphsOfItsRowsAndHeight)
{
    ScopedTestPak pak({{"font.png", SheetPng(12, StandardRows(WidthOf))}});
    RecordingDevice device;
    device.Open(640, 480, 32);
    Font font(&device, "font.png");
    EXPECT_EQ(12, font.GetHeight());
    EXPECT_EQ(2, font.GetSpacing());
    for (int k = 0; k < Font::kGlyphCount; ++k)
        EXPECT_EQ(WidthOf(k), font.GetGlyphWidth(k)) << k;

    // Each glyph carries its own pixels: print one from each row (rows start at
    // y = 0, 13, 26, ...) and find its colour on screen, black left transparent.
    for (int k : {0, 17, 40, 63, 70, 93}) {
        device.backBuffer.assign(device.backBuffer.size(), 0);
        const char text[2] = {static_cast<char>(33 + k), 0};
        font.PrintText(nullptr, 50, 60, text);
        EXPECT_EQ(GlyphColor(k), device.BackBufferPixel(50, 60)) << k;
        EXPECT_EQ(GlyphColor(k), device.BackBufferPixel(50 + WidthOf(k) - 1, 60 + 10)) << k;
        EXPECT_EQ(0u, device.BackBufferPixel(50 + WidthOf(k) - 1, 60 + 11)) << k;  // the black corner
        EXPECT_EQ(0u, device.BackBufferPixel(50 + WidthOf(k), 60)) << k;
    }
}

TEST(FontTest, SixteenBitDisplaysGetGlyphsInTheirPacking)
{
    ScopedTestPak pak({{"font.png", SheetPng(4, StandardRows([](int) { return 2; }))}});
    RecordingDevice device;
    device.Open(640, 480, 16);
    Font font(&device, "font.png");
    font.PrintText(nullptr, 0, 0, "#");
    const uint32_t c = GlyphColor('#' - 33);
    const uint32_t packed = ((c >> 16) & 0xF8) << 8 | ((c >> 8) & 0xFC) << 3 | (c & 0xFF) >> 3;
    EXPECT_EQ(packed, device.BackBufferPixel(0, 0));
}

TEST(FontTest, MalformedSheetsStopWithTheirMessages)
{
    auto rows15 = StandardRows(WidthOf);
    rows15[0].pop_back();  // 15 glyphs in the first row
    auto rows32 = StandardRows(WidthOf);  // two rows of 16 on one line is fine
    rows32[0].insert(rows32[0].end(), rows32[1].begin(), rows32[1].end());
    rows32.erase(rows32.begin() + 1);
    auto rowsShort = StandardRows(WidthOf);
    rowsShort.resize(3);  // the sheet ends after 48 glyphs
    ScopedTestPak pak({{"f15.png", SheetPng(8, rows15)},
                       {"f32.png", SheetPng(8, rows32)},
                       {"nomark.png", SheetPng(8, StandardRows(WidthOf), false)},
                       {"short.png", SheetPng(8, rowsShort)},
                       {"blankrows.png", SheetPng(8, rowsShort, true, 4)},
                       {"top.png", EncodePng(4, 4, {255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})}});
    RecordingDevice device;
    device.Open();
    EXPECT_EQ("Malformed font for file [f15.png] (at char 15)", FatalText([&] { Font f(&device, "f15.png"); }));
    {
        Font f32(&device, "f32.png");
        EXPECT_EQ(WidthOf(31), f32.GetGlyphWidth(31));
    }
    EXPECT_EQ("Error loading font from file [nomark.png] (Can't find height of font)\n",
              FatalText([&] { Font f(&device, "nomark.png"); }));
    EXPECT_EQ("Error loading font from file [top.png] (Can't find height of font)\n",
              FatalText([&] { Font f(&device, "top.png"); }));
    // Running out of sheet stops instead of reading below it.
    EXPECT_EQ("Malformed font for file [short.png] (at char 48)", FatalText([&] { Font f(&device, "short.png"); }));
    EXPECT_EQ("Malformed font for file [blankrows.png] (at char 48)", FatalText([&] { Font f(&device, "blankrows.png"); }));
    EXPECT_EQ("Font system only accepts PNG files. ([font.jpg] is invalid)",
              FatalText([&] { Font f(&device, "fonts\\font.jpg"); }));
    // Failed loads give back every surface they made.
    EXPECT_EQ(0, device.liveSurfaces);
}

TEST(FontTest, PrintAdvancesThePenByWidthAndSpacingOnOneLine)
{
    // 'a' is glyph 64 and 'b' glyph 65: widths 7 and 8; the tilde (space) is 5.
    auto rows = StandardRows([](int k) { return k == 64 ? 7 : k == 65 ? 8 : k == 93 ? 5 : 3; });
    ScopedTestPak pak({{"font.png", SheetPng(6, rows)}});
    RecordingDevice device;
    device.Open();
    Font font(&device, "font.png");

    device.ClearCalls();
    EXPECT_EQ(2, font.Print(nullptr, 10, 40, "%s", "ab"));
    auto draws = device.All(Op::SurfaceDraw);
    ASSERT_EQ(2u, draws.size());
    EXPECT_EQ(10, draws[0]->As<SurfaceDrawArgs>().x);
    EXPECT_EQ(19, draws[1]->As<SurfaceDrawArgs>().x);
    EXPECT_EQ(40, draws[1]->As<SurfaceDrawArgs>().y);
    EXPECT_TRUE(draws[1]->As<SurfaceDrawArgs>().keyed);  // keyed
    EXPECT_EQ(29, font.MeasureText(10, "ab"));

    // Space and line feed draw the tilde glyph; y never changes.
    device.ClearCalls();
    EXPECT_EQ(3, font.PrintText(nullptr, 0, 7, "a\nb"));
    draws = device.All(Op::SurfaceDraw);
    ASSERT_EQ(3u, draws.size());
    EXPECT_EQ(9, draws[1]->As<SurfaceDrawArgs>().x);
    EXPECT_EQ(7, draws[2]->As<SurfaceDrawArgs>().y);
    EXPECT_EQ(16, draws[2]->As<SurfaceDrawArgs>().x);
    EXPECT_EQ(font.MeasureText(0, "a b"), font.MeasureText(0, "a\nb"));

    // An empty result draws nothing; text is never taken as a format.
    device.ClearCalls();
    EXPECT_EQ(0, font.Print(nullptr, 0, 0, "%s", ""));
    EXPECT_EQ(0, device.Count(Op::SurfaceDraw));
    EXPECT_EQ(3, font.PrintText(nullptr, 0, 0, "%d%"));
    EXPECT_EQ(3, device.Count(Op::SurfaceDraw));
    // Characters without a glyph are skipped without moving the pen.
    EXPECT_EQ(font.MeasureText(0, "ab"), font.MeasureText(0, "a\tb"));
}

TEST(FontTest, DestroyingAFontGivesBackEveryGlyphSurface)
{
    ScopedTestPak pak({{"font.png", SheetPng(5, StandardRows(WidthOf))}});
    RecordingDevice device;
    device.Open();
    {
        Font font(&device, "font.png");
        EXPECT_EQ(Font::kGlyphCount, device.liveSurfaces);  // the sheet is gone already
    }
    EXPECT_EQ(0, device.liveSurfaces);
}
