// Tests of the image readers, display conversions, resampling, texture formats and hostile files.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>
#include <cstring>
#include <functional>
#include <map>
#include "support/FatalText.h"
#include "support/MemoryArchive.h"
#include "support/TestImages.h"
#include "support/TestPak.h"
#include "engine/core/Fatal.h"
#include "engine/core/FilePath.h"
#include "engine/core/Image.h"
#include "engine/core/ImageReaders.h"

namespace {

const DisplayFormat kDisplay32{32, 0x00FF0000};
const DisplayFormat kDisplay565{16, 0xF800};
const DisplayFormat kDisplay555{16, 0x7C00};

uint32_t Pixel32(const std::vector<uint8_t>& pixels, size_t i)
{
    uint32_t v;
    std::memcpy(&v, pixels.data() + 4 * i, 4);
    return v;
}

uint16_t Pixel16(const std::vector<uint8_t>& pixels, size_t i)
{
    uint16_t v;
    std::memcpy(&v, pixels.data() + 2 * i, 2);
    return v;
}

// A PNG chunk with its length and CRC.
std::string Chunk(const char* type, const std::string& data)
{
    std::string out;
    const uint32_t length = static_cast<uint32_t>(data.size());
    out += static_cast<char>(length >> 24);
    out += static_cast<char>(length >> 16);
    out += static_cast<char>(length >> 8);
    out += static_cast<char>(length);
    std::string body = std::string(type, 4) + data;
    out += body;
    const uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size()));
    out += static_cast<char>(crc >> 24);
    out += static_cast<char>(crc >> 16);
    out += static_cast<char>(crc >> 8);
    out += static_cast<char>(crc);
    return out;
}

std::string Big32(uint32_t v)
{
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

// A PNG whose header claims width x height and whose data is a few bytes only.
std::string HostilePng(uint32_t width, uint32_t height)
{
    std::string ihdr = Big32(width) + Big32(height) + std::string("\x08\x02\x00\x00\x00", 5);
    return std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", ihdr) + Chunk("IDAT", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)) +
           Chunk("IEND", "");
}

}  // namespace

TEST(ImageTest, ExtensionChoosesReaderWhateverItsCase)
{
    ScopedTestPak pak({{"pic.png", EncodePng(2, 1, {255, 0, 0, 0, 0, 255})},
                       {"pic2.png", EncodePng(1, 1, {1, 2, 3})},
                       {"pic.bmp", "BM"},
                       {"noext", "x"}});
    uint32_t w = 0, h = 0;
    std::vector<uint8_t> a = LoadGFX("pic.Png", ImageConversion::XRGB32, kDisplay32, w, h);
    EXPECT_EQ(2u, w);
    EXPECT_EQ(1u, h);
    std::vector<uint8_t> b = LoadGFX("pic2.PNG", ImageConversion::XRGB32, kDisplay32, w, h);
    EXPECT_EQ(1u, w);
    EXPECT_EQ(0x00010203u, Pixel32(b, 0));
    EXPECT_EQ(0x00FF0000u, Pixel32(a, 0));
    EXPECT_EQ(0x000000FFu, Pixel32(a, 1));

    EXPECT_EQ("LoadGFX : Unable to load file [pic.bmp], unsupported file type [BMP]",
              FatalText([&] { LoadGFX("pic.bmp", ImageConversion::ForDisplay, kDisplay32, w, h); }));
    EXPECT_EQ("LoadGFX : Unable to load file [noext], unsupported file type []",
              FatalText([&] { LoadGFX("noext", ImageConversion::ForDisplay, kDisplay32, w, h); }));
    // The last dot decides.
    EXPECT_EQ("LoadGFX : Unable to load file [a.png.bmp], unsupported file type [BMP]",
              FatalText([&] { LoadGFX("a.png.bmp", ImageConversion::ForDisplay, kDisplay32, w, h); }));
}

TEST(ImageTest, DisplayConversionsPackChannelsAsTheDisplayExpects)
{
    // Colours chosen so every bit of the packing shows.
    const std::vector<uint8_t> rgb = {0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x84, 0x46, 0x2B};
    ScopedTestPak pak({{"c.png", EncodePng(4, 1, rgb)}});
    uint32_t w = 0, h = 0;

    std::vector<uint8_t> p565 = LoadGFX("c.png", ImageConversion::ForDisplay, kDisplay565, w, h);
    ASSERT_EQ(8u, p565.size());
    EXPECT_EQ(0xF800, Pixel16(p565, 0));
    EXPECT_EQ(0x07E0, Pixel16(p565, 1));
    EXPECT_EQ(0x001F, Pixel16(p565, 2));
    EXPECT_EQ((0x84 >> 3) << 11 | (0x46 >> 2) << 5 | (0x2B >> 3), Pixel16(p565, 3));

    std::vector<uint8_t> p555 = LoadGFX("c.png", ImageConversion::ForDisplay, kDisplay555, w, h);
    EXPECT_EQ(0x7C00, Pixel16(p555, 0));
    EXPECT_EQ(0x03E0, Pixel16(p555, 1));
    EXPECT_EQ(0x001F, Pixel16(p555, 2));
    EXPECT_EQ((0x84 >> 3) << 10 | (0x46 >> 3) << 5 | (0x2B >> 3), Pixel16(p555, 3));

    std::vector<uint8_t> p32 = LoadGFX("c.png", ImageConversion::ForDisplay, kDisplay32, w, h);
    ASSERT_EQ(16u, p32.size());
    EXPECT_EQ(0x0084462Bu, Pixel32(p32, 3));

    // Unconverted loads are XRGB32 whatever the display; an unknown 16-bit layout and an
    // unknown depth keep RGB24.
    EXPECT_EQ(0x0084462Bu, Pixel32(LoadGFX("c.png", ImageConversion::XRGB32, kDisplay565, w, h), 3));
    EXPECT_EQ(12u, LoadGFX("c.png", ImageConversion::ForDisplay, DisplayFormat{16, 0x1234}, w, h).size());
    EXPECT_EQ(rgb, LoadGFX("c.png", ImageConversion::ForDisplay, DisplayFormat{24, 0xFF0000}, w, h));
}

TEST(ImageTest, PngOfEveryLayoutBecomesEightBitRgb)
{
    // 3 x 2 pixels: expected RGB for each layout below.
    const std::vector<uint8_t> grey = {0, 128, 255, 10, 20, 30};
    std::vector<uint8_t> grey16;
    for (uint8_t g : grey) {
        grey16.push_back(g);
        grey16.push_back(0x55);  // low byte dropped
    }
    std::vector<uint8_t> greyAlpha, rgba, rgb;
    for (uint8_t g : grey) {
        greyAlpha.insert(greyAlpha.end(), {g, 0x11});
        rgba.insert(rgba.end(), {g, static_cast<uint8_t>(255 - g), 7, 0x22});
        rgb.insert(rgb.end(), {g, static_cast<uint8_t>(255 - g), 7});
    }
    std::vector<uint8_t> greyAsRgb;
    for (uint8_t g : grey)
        greyAsRgb.insert(greyAsRgb.end(), {g, g, g});
    // Palette, 2 bits per index: indices 0,1,2 / 3,0,1 packed into one byte per row.
    const std::vector<uint8_t> palette = {1, 2, 3, 40, 50, 60, 200, 100, 0, 9, 9, 9};
    const std::vector<uint8_t> indices = {0b00011000, 0b11000100};
    const std::vector<uint8_t> paletteRgb = {1, 2, 3, 40, 50, 60, 200, 100, 0, 9, 9, 9, 1, 2, 3, 40, 50, 60};

    ScopedTestPak pak({{"grey.png", EncodePngLayout(3, 2, PNG_COLOR_TYPE_GRAY, 8, false, grey)},
                       {"grey16.png", EncodePngLayout(3, 2, PNG_COLOR_TYPE_GRAY, 16, false, grey16)},
                       {"greyalpha.png", EncodePngLayout(3, 2, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, greyAlpha)},
                       {"rgba.png", EncodePngLayout(3, 2, PNG_COLOR_TYPE_RGBA, 8, false, rgba)},
                       {"interlaced.png", EncodePngLayout(3, 2, PNG_COLOR_TYPE_RGB, 8, true, rgb)},
                       {"palette.png", EncodePngLayout(3, 2, PNG_COLOR_TYPE_PALETTE, 2, false, indices, palette)}});
    struct Case {
        const char* name;
        const std::vector<uint8_t>& expected;
    } cases[] = {{"grey.png", greyAsRgb},         {"grey16.png", greyAsRgb}, {"greyalpha.png", greyAsRgb},
                 {"rgba.png", rgb},               {"interlaced.png", rgb},   {"palette.png", paletteRgb}};
    for (const Case& c : cases) {
        std::vector<uint8_t> out;
        uint32_t w = 0, h = 0;
        PngLoad(c.name, out, w, h);
        EXPECT_EQ(3u, w) << c.name;
        EXPECT_EQ(2u, h) << c.name;
        EXPECT_EQ(c.expected, out) << c.name;
    }
}

TEST(ImageTest, PalettePngsOfEveryDepthLoadWithOrWithoutTransparencyAndInterlace)
{
    // 5 x 2 pixels per depth; indices packed by hand, most significant bits first, rows
    // padded to whole bytes. Expected colours are the palette entries of those indices.
    struct Depth {
        int bits;
        std::vector<uint8_t> palette;
        std::vector<uint8_t> packed;
        std::vector<uint8_t> transparency;  // alpha of the first entries (a tRNS chunk)
        std::vector<uint8_t> expected;
    };
    std::vector<uint8_t> palette16, palette256;
    for (int k = 0; k < 16; ++k)
        palette16.insert(palette16.end(), {static_cast<uint8_t>(16 * k), static_cast<uint8_t>(255 - 16 * k),
                                           static_cast<uint8_t>(k)});
    for (int k = 0; k < 256; ++k)
        palette256.insert(palette256.end(), {static_cast<uint8_t>(k), static_cast<uint8_t>(255 - k), 7});
    const std::vector<Depth> depths = {
        // indices 1 0 1 1 0 / 0 1 0 0 1
        {1, {10, 20, 30, 200, 100, 0}, {0xB0, 0x48}, {0, 77},
         {200, 100, 0, 10, 20, 30, 200, 100, 0, 200, 100, 0, 10, 20, 30,
          10, 20, 30, 200, 100, 0, 10, 20, 30, 10, 20, 30, 200, 100, 0}},
        // indices 3 2 1 0 3 / 0 1 2 3 1
        {2, {10, 20, 30, 200, 100, 0, 0, 255, 64, 90, 90, 90}, {0xE4, 0xC0, 0x1B, 0x40}, {0, 255, 128},
         {90, 90, 90, 0, 255, 64, 200, 100, 0, 10, 20, 30, 90, 90, 90,
          10, 20, 30, 200, 100, 0, 0, 255, 64, 90, 90, 90, 200, 100, 0}},
        // indices 15 0 7 8 1 / 2 14 3 13 4; entry k is (16k, 255 - 16k, k)
        {4, palette16, {0xF0, 0x78, 0x10, 0x2E, 0x3D, 0x40}, {0, 0, 0, 10},
         {240, 15, 15, 0, 255, 0, 112, 143, 7, 128, 127, 8, 16, 239, 1,
          32, 223, 2, 224, 31, 14, 48, 207, 3, 208, 47, 13, 64, 191, 4}},
        // entry k is (k, 255 - k, 7)
        {8, palette256, {0, 255, 128, 1, 77, 200, 3, 64, 254, 9}, {0, 0, 0, 10},
         {0, 255, 7, 255, 0, 7, 128, 127, 7, 1, 254, 7, 77, 178, 7,
          200, 55, 7, 3, 252, 7, 64, 191, 7, 254, 1, 7, 9, 246, 7}},
    };
    for (const Depth& depth : depths) {
        for (bool withTransparency : {false, true}) {
            for (bool interlaced : {false, true}) {
                const std::string name = "palette" + std::to_string(depth.bits) + (withTransparency ? "-trns" : "") +
                                         (interlaced ? "-interlaced" : "") + ".png";
                SCOPED_TRACE(name);
                ScopedTestPak pak({{name, EncodePngLayout(5, 2, PNG_COLOR_TYPE_PALETTE, depth.bits, interlaced,
                                                          depth.packed, depth.palette,
                                                          withTransparency ? depth.transparency
                                                                           : std::vector<uint8_t>{})}});
                std::vector<uint8_t> out;
                uint32_t w = 0, h = 0;
                EXPECT_EQ(FatalText([&] { PngLoad(name.c_str(), out, w, h); }), "<no fatal error>");
                EXPECT_EQ(5u, w);
                EXPECT_EQ(2u, h);
                EXPECT_EQ(depth.expected, out);
            }
        }
    }
}

TEST(ImageTest, JpegReaderGivesRgbAndGreyscaleWithEqualChannels)
{
    std::vector<uint8_t> grey(8 * 8);
    for (size_t i = 0; i < grey.size(); ++i)
        grey[i] = static_cast<uint8_t>(i * 4);
    ScopedTestPak pak({{"grey.jpg", EncodeJpeg(8, 8, 1, grey)},
                       {"gfx\\colour.jpg", EncodeJpeg(16, 8, 3, SolidRgb(16, 8, 200, 40, 90))}});
    std::vector<uint8_t> out;
    uint32_t w = 0, h = 0;
    JpegLoad("grey.jpg", out, w, h);
    ASSERT_EQ(8u * 8u * 3u, out.size());
    for (size_t i = 0; i < 64; ++i) {
        EXPECT_EQ(out[3 * i], out[3 * i + 1]);
        EXPECT_EQ(out[3 * i], out[3 * i + 2]);
        EXPECT_NEAR(grey[i], out[3 * i], 3) << i;
    }

    // Found under gfx\ when not found as named.
    JpegLoad("colour.jpg", out, w, h);
    EXPECT_EQ(16u, w);
    EXPECT_EQ(8u, h);
    std::vector<uint8_t> colour = LoadGFX("colour.jpg", ImageConversion::ForDisplay, kDisplay32, w, h);
    const uint32_t v = Pixel32(colour, 5);
    EXPECT_NEAR(200, static_cast<int>((v >> 16) & 0xFF), 3);
    EXPECT_NEAR(40, static_cast<int>((v >> 8) & 0xFF), 3);
    EXPECT_NEAR(90, static_cast<int>(v & 0xFF), 3);
}

namespace {

// Counts the reads of each name the readers ask the archive for.
class CountingArchive : public MemoryArchive {
public:
    bool ReadFile(const std::string& name, void* buffer) const override
    {
        ++reads[name];
        return MemoryArchive::ReadFile(name, buffer);
    }
    mutable std::map<std::string, int> reads;
};

}  // namespace

TEST(ImageTest, EachImageIsReadOnceAndOnlyJpegNamesAreTriedUnderGfx)
{
    CountingArchive archive;
    archive.Add("a.png", EncodePng(4, 2, SolidRgb(4, 2, 10, 20, 30)));
    archive.Add("b.jpg", EncodeJpeg(4, 2, 3, SolidRgb(4, 2, 10, 20, 30)));
    archive.Add("gfx\\c.jpg", EncodeJpeg(4, 2, 3, SolidRgb(4, 2, 10, 20, 30)));
    archive.Add("gfx\\d.png", EncodePng(4, 2, SolidRgb(4, 2, 10, 20, 30)));
    uint32_t w = 0, h = 0;
    std::vector<uint8_t> out;
    const struct {
        const char* asked;
        const char* stored;  // the archive name that must be read once; nullptr: none found
        const char* fatal;
    } cases[] = {
        {"a.png", "a.png", "<no fatal error>"},
        {"b.jpg", "b.jpg", "<no fatal error>"},
        {"c.jpg", "gfx\\c.jpg", "<no fatal error>"},
        {"d.png", nullptr, "PngLoad : Cannot open File [d.png]."},
    };
    for (const auto& c : cases) {
        archive.reads.clear();
        EXPECT_EQ(FatalText([&] { out = LoadGFX(c.asked, ImageConversion::ForDisplay, kDisplay32, w, h); }), c.fatal)
            << c.asked;
        if (c.stored == nullptr)
            continue;
        EXPECT_EQ(archive.reads[c.stored], 1) << c.asked;
        EXPECT_EQ(w * h, 8u) << c.asked;
        EXPECT_EQ(out.size(), 4u * 2u * 4u) << c.asked;
    }
}

TEST(ImageTest, MissingOrMalformedFilesStopWithTheirMessages)
{
    std::vector<uint8_t> ramp(64 * 64 * 3);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<uint8_t>(i * 7 % 251);
    std::string jpeg = EncodeJpeg(64, 64, 3, ramp);
    ScopedTestPak pak({{"text.png", "not a png at all"},
                       {"short.png", "\x89P"},
                       {"cut.png", EncodePng(16, 16, SolidRgb(16, 16, 9, 9, 9)).substr(0, 60)},
                       {"garbage.jpg", std::string(200, '\x42')},
                       {"cut.jpg", jpeg.substr(0, jpeg.size() * 3 / 4)}});
    std::vector<uint8_t> out;
    uint32_t w = 0, h = 0;
    EXPECT_EQ("PngLoad : Cannot open File [none.png].", FatalText([&] { PngLoad("none.png", out, w, h); }));
    EXPECT_EQ("PngLoad : File [text.png] is not a valid PNG file.", FatalText([&] { PngLoad("text.png", out, w, h); }));
    EXPECT_EQ("PngLoad : File [short.png] is not a valid PNG file.", FatalText([&] { PngLoad("short.png", out, w, h); }));
    EXPECT_EQ("Error opening file : [none.jpg]", FatalText([&] { JpegLoad("none.jpg", out, w, h); }));

    // A truncated PNG stops with the decoder's message instead of reading past the data.
    const std::string cut = FatalText([&] { PngLoad("cut.png", out, w, h); });
    EXPECT_NE("<no fatal error>", cut);
    // A JPEG that cannot be decoded names the file.
    EXPECT_EQ(0u, FatalText([&] { JpegLoad("garbage.jpg", out, w, h); }).find("JpegLoad : Unable to decode file [garbage.jpg]"));
    // A truncated JPEG decodes what it has (the rest grey) without failing.
    JpegLoad("cut.jpg", out, w, h);
    EXPECT_EQ(64u * 64u * 3u, out.size());
}

TEST(ImageTest, HugeSizesInHeadersAreRefusedBeforeAllocating)
{
    std::string jpeg = EncodeJpeg(8, 8, 3, SolidRgb(8, 8, 1, 2, 3));
    // Patch the frame header (SOF0) to claim 20000 x 20000.
    const size_t sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(std::string::npos, sof);
    jpeg[sof + 5] = static_cast<char>(20000 >> 8);
    jpeg[sof + 6] = static_cast<char>(20000 & 0xFF);
    jpeg[sof + 7] = static_cast<char>(20000 >> 8);
    jpeg[sof + 8] = static_cast<char>(20000 & 0xFF);
    ScopedTestPak pak({{"wide.png", HostilePng(100000, 1)},
                       {"area.png", HostilePng(16000, 16000)},
                       {"edge.png", HostilePng(16384, 1)},
                       {"huge.jpg", jpeg}});
    uint32_t w = 0, h = 0;
    std::vector<uint8_t> out;
    EXPECT_EQ("PngLoad : Image [wide.png] is too large or empty (100000x1).",
              FatalText([&] { LoadGFX("wide.png", ImageConversion::ForDisplay, kDisplay32, w, h); }));
    EXPECT_EQ("PngLoad : Image [area.png] is too large or empty (16000x16000).",
              FatalText([&] { PngLoad("area.png", out, w, h); }));
    EXPECT_EQ("JpegLoad : Image [huge.jpg] is too large or empty (20000x20000).",
              FatalText([&] { LoadGFX("huge.jpg", ImageConversion::ForDisplay, kDisplay32, w, h); }));
    // At the limit the size is accepted; the missing data then fails in the decoder.
    const std::string edge = FatalText([&] { PngLoad("edge.png", out, w, h); });
    EXPECT_EQ(std::string::npos, edge.find("too large"));
}

TEST(ImageTest, NearestResamplingUsesFixedPointSteps)
{
    // 4 x 2 source of 16-bit values = 10 * row + column.
    std::vector<uint8_t> source(4 * 2 * 2);
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 4; ++col) {
            const uint16_t v = static_cast<uint16_t>(10 * row + col);
            std::memcpy(source.data() + (row * 4 + col) * 2, &v, 2);
        }
    // Shrink to 2 x 2: columns 0 and 2, rows 0 and 1.
    std::vector<uint8_t> shrunk = ResampleNearest(source.data(), 4, 2, 2, 2, 2);
    EXPECT_EQ(0, Pixel16(shrunk, 0));
    EXPECT_EQ(2, Pixel16(shrunk, 1));
    EXPECT_EQ(10, Pixel16(shrunk, 2));
    EXPECT_EQ(12, Pixel16(shrunk, 3));
    // 3 columns from 4: step 0x15555 picks columns 0, 1, 2.
    std::vector<uint8_t> three = ResampleNearest(source.data(), 4, 2, 3, 1, 2);
    EXPECT_EQ(0, Pixel16(three, 0));
    EXPECT_EQ(1, Pixel16(three, 1));
    EXPECT_EQ(2, Pixel16(three, 2));
    // Growing repeats pixels (alpha maps smaller than their colour map).
    std::vector<uint8_t> grown = ResampleNearest(source.data(), 4, 2, 8, 4, 2);
    EXPECT_EQ(3, Pixel16(grown, 7));
    EXPECT_EQ(13, Pixel16(grown, 3 * 8 + 7));
}

TEST(ImageTest, TextureFormatsWithAlphaFollowTheConversionTable)
{
    const uint32_t alpha[2] = {0x000000F3, 0};
    // 16-bit 5-6-5 source: full red and a mixed colour.
    const uint16_t p565[2] = {0xF800, static_cast<uint16_t>(0b10101'110011'01101)};
    std::vector<uint16_t> a4 = ToARGB4444(p565, alpha, 2, kDisplay565);
    EXPECT_EQ(0xFF00, a4[0]);
    EXPECT_EQ(0x0AC6, a4[1]);  // r bits 15-12, g bits 10-7, b bits 4-1, no alpha
    std::vector<uint16_t> a1 = ToARGB1555(p565, alpha, 2, kDisplay565);
    EXPECT_EQ(0xFC00, a1[0]);
    EXPECT_EQ(0, a1[1] & 0x8000);
    std::vector<uint32_t> a32 = ToARGB32(p565, alpha, 2, kDisplay565);
    EXPECT_EQ(0xF3F80000u, a32[0]);

    // 5-5-5 source.
    const uint16_t p555[1] = {0x7C00 | 0x001F};
    EXPECT_EQ(0xFF0F, ToARGB4444(p555, alpha, 1, kDisplay555)[0]);
    EXPECT_EQ(0xFC1F, ToARGB1555(p555, alpha, 1, kDisplay555)[0]);
    EXPECT_EQ(0xF3F800F8u, ToARGB32(p555, alpha, 1, kDisplay555)[0]);

    // 32-bit source.
    const uint32_t p32[2] = {0x00FF8040, 0x00123456};
    EXPECT_EQ(0xFF84, ToARGB4444(p32, alpha, 1, kDisplay32)[0]);
    EXPECT_EQ(0x8000 | 31 << 10 | 16 << 5 | 8, ToARGB1555(p32, alpha, 1, kDisplay32)[0]);
    std::vector<uint32_t> b32 = ToARGB32(p32, alpha, 2, kDisplay32);
    EXPECT_EQ(0xF3FF8040u, b32[0]);
    EXPECT_EQ(0x00123456u, b32[1]);
}

TEST(ImageTest, TextureFormatsWithAlphaKeepEachChannelsTopBitsFromEveryDisplay)
{
    // One colour on each display: red 10101, green 110011 (5-6-5) or 11001, blue 01101,
    // that is 0xA8, 0xCC or 0xC8, 0x68 in eight bits. The 5-5-5 pixel has its unused top bit
    // set and the 32-bit one its unused top byte: neither may reach the result.
    const uint16_t p565 = 21 << 11 | 51 << 5 | 13;
    const uint16_t p555 = 0x8000 | 21 << 10 | 25 << 5 | 13;
    const uint32_t p32 = 0xFFA8CC68u;
    struct Case {
        const char* name;
        const void* pixel;
        DisplayFormat display;
        uint32_t alpha;
        uint16_t argb4444, argb1555;
        uint32_t argb32;
    };
    const Case cases[] = {
        // 4444: alpha 5, red 1010, green 1100, blue 0110. 1555: red 10101, green 11001, blue 01101.
        {"565", &p565, kDisplay565, 0x5A, 0x5AC6, 0xD72D, 0x5AA8CC68u},
        {"555", &p555, kDisplay555, 0x5A, 0x5AC6, 0xD72D, 0x5AA8C868u},
        {"32", &p32, kDisplay32, 0x5A, 0x5AC6, 0xD72D, 0x5AA8CC68u},
        // Only the low byte of an alpha value is alpha; any non-zero value sets the one-bit alpha.
        {"32, alpha 0x100", &p32, kDisplay32, 0x100, 0x0AC6, 0xD72D, 0x00A8CC68u},
        {"555, alpha 0", &p555, kDisplay555, 0, 0x0AC6, 0x572D, 0x00A8C868u},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.argb4444, ToARGB4444(c.pixel, &c.alpha, 1, c.display)[0]) << c.name;
        EXPECT_EQ(c.argb1555, ToARGB1555(c.pixel, &c.alpha, 1, c.display)[0]) << c.name;
        EXPECT_EQ(c.argb32, ToARGB32(c.pixel, &c.alpha, 1, c.display)[0]) << c.name;
    }
    EXPECT_TRUE(ToARGB32(&p32, nullptr, 0, kDisplay32).empty());
}

TEST(ImageTest, NamesLoseTheirDirectoryAndExtensionsAreUpperCased)
{
    EXPECT_EQ("a.jpg", StripDirectory("GFX\\sub\\a.jpg"));
    EXPECT_EQ("a.jpg", StripDirectory("gfx/a.jpg"));
    EXPECT_EQ("a.jpg", StripDirectory("a.jpg"));
    EXPECT_EQ("JPG", UpperExtension("dir.v2\\a.jPg"));
    EXPECT_EQ("", UpperExtension("a."));
}
