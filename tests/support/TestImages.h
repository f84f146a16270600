// Test helper: encodes small PNG and JPEG images in memory, draws font sheets, captures log lines.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// An 8-bit RGB PNG of width x height from rgb (3 bytes per pixel, rows top first).
std::string EncodePng(int width, int height, const std::vector<uint8_t>& rgb);
// Any PNG layout: colorType/bitDepth as libpng numbers them, samples packed per row as
// libpng expects them (16-bit samples big-endian). palette: RGB triples for palette images;
// transparency: their alpha values (a tRNS chunk), none when empty.
std::string EncodePngLayout(int width, int height, int colorType, int bitDepth, bool interlaced,
                            const std::vector<uint8_t>& samples, const std::vector<uint8_t>& palette = {},
                            const std::vector<uint8_t>& transparency = {});
// A baseline JPEG with 1 (greyscale) or 3 (RGB) components.
std::string EncodeJpeg(int width, int height, int components, const std::vector<uint8_t>& samples,
                       int quality = 100);
// A width x height RGB image filled with one colour.
std::vector<uint8_t> SolidRgb(int width, int height, uint8_t r, uint8_t g, uint8_t b);

// A font sheet: glyph height h, rows of glyph widths; glyph k is filled with GlyphColor(k)
// except its bottom-right pixel, left black (transparent when printed). Markers close every
// glyph on its row's top line and stand at (0, h). extraRows adds blank rows at the bottom.
std::vector<uint8_t> DrawFontSheet(int height, const std::vector<std::vector<int>>& rows, int& sheetWidth,
                                   int& sheetHeight, bool heightMarker = true, int extraRows = 0);
// The RGB colour of glyph k in DrawFontSheet sheets (never black, never pure red).
uint32_t GlyphColor(int k);

// Collects log lines while alive (restores the previous callback afterwards).
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    const std::vector<std::string>& Lines() const;
    bool Contains(const std::string& line) const;
    int CountOf(const std::string& line) const;
};
