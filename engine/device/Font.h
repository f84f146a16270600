// Font: a bitmap font cut from a PNG sheet into one device Surface per printable character.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "engine/core/LibObject.h"

class RenderDevice;
class Surface;

class Font : public LibObject {
public:
    static constexpr int kGlyphCount = 94;              // '!' (33) to '~' (126)
    static constexpr uint32_t kMarkerColor = 0xFF0000;  // pure red, XRGB32

    // Loads and cuts the sheet; fatal for a non-PNG name, a missing height marker or a
    // row whose glyph count is not a multiple of 16.
    Font(RenderDevice* device, const char* fileName);
    // Gives every glyph surface back to the device.
    ~Font() override;
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Formats and draws at (x, y) on target (nullptr: the back buffer); answers the length.
    int Print(Surface* target, int x, int y, const char* format, ...) __attribute__((format(printf, 5, 6)));
    // Draws text as it is (no formatting). Space and line feed use the '~' glyph; y never
    // changes. Characters without a glyph are skipped. Answers the length.
    int PrintText(Surface* target, int x, int y, const char* text);
    // The pen position after printing text from x.
    int MeasureText(int x, const char* text) const;

    int GetHeight() const { return height_; }
    int GetSpacing() const { return spacing_; }
    // The device is being destroyed: glyph surfaces are deleted directly from now on.
    void DetachFromDevice() { device_ = nullptr; }

    // Width of glyph index (0..93), 0 when out of range.
    int GetGlyphWidth(int index) const;
    const std::string& GetFileName() const { return fileName_; }

private:
    struct Glyph {
        Surface* surface = nullptr;
        int width = 0;
    };
    void Cut(Surface* sheet, const std::vector<uint32_t>& sheetPixels, int sheetWidth, int sheetHeight);
    void ReleaseSurface(Surface* surface);
    void ReleaseGlyphs();
    static int GlyphIndex(char c);

    Glyph glyphs_[kGlyphCount];
    RenderDevice* device_ = nullptr;
    std::string fileName_;
    int spacing_ = 2;
    int height_ = 0;
};
