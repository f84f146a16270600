// Bitmap fonts: cutting a marked PNG sheet into glyph surfaces and printing with them.
#include "engine/device/Font.h"
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include "engine/core/Fatal.h"
#include "engine/core/FilePath.h"
#include "engine/core/ImageReaders.h"
#include "engine/device/RenderDevice.h"
#include "engine/device/Surface.h"

Font::Font(RenderDevice* device, const char* fileName) : device_(device), fileName_(fileName)
{
    if (UpperExtension(fileName) != "PNG")
        ReportFatal("Font system only accepts PNG files. ([%s] is invalid)", StripDirectory(fileName).c_str());

    Surface* sheet = device_->CreateSurface();
    try {
        sheet->LoadFromFile(fileName);

        // The marker test works on true colours whatever the display depth.
        uint32_t w = 0, h = 0;
        std::vector<uint8_t> rgb;
        PngLoad(fileName, rgb, w, h);
        std::vector<uint32_t> sheetPixels(static_cast<size_t>(w) * h);
        for (size_t i = 0; i < sheetPixels.size(); ++i)
            sheetPixels[i] = static_cast<uint32_t>(rgb[3 * i]) << 16 | static_cast<uint32_t>(rgb[3 * i + 1]) << 8 |
                             rgb[3 * i + 2];
        std::vector<uint8_t>().swap(rgb);

        Cut(sheet, sheetPixels, static_cast<int>(w), static_cast<int>(h));
    } catch (...) {
        device_->DestroySurface(sheet);
        ReleaseGlyphs();
        throw;
    }
    device_->DestroySurface(sheet);
}

Font::~Font()
{
    ReleaseGlyphs();
}

void Font::ReleaseSurface(Surface* surface)
{
    if (device_)
        device_->DestroySurface(surface);
    else
        delete surface;
}

void Font::ReleaseGlyphs()
{
    for (Glyph& glyph : glyphs_) {
        if (glyph.surface)
            ReleaseSurface(glyph.surface);
        glyph.surface = nullptr;
    }
}

void Font::Cut(Surface* sheet, const std::vector<uint32_t>& sheetPixels, int sheetWidth, int sheetHeight)
{
    height_ = 0;
    for (int y = 0; y < sheetHeight; ++y)
        if (sheetPixels[static_cast<size_t>(y) * sheetWidth] == kMarkerColor) {
            height_ = y;
            break;
        }
    if (height_ <= 0)
        ReportFatal("Error loading font from file [%s] (Can't find height of font)\n", fileName_.c_str());

    int pitch = 0;
    auto* source = static_cast<const uint8_t*>(sheet->Lock(pitch));
    const int bytesPerPixel = sheet->GetBitsPerPixel() / 8;
    // The sheet surface holds the same pixels; its size must match before copying out of it.
    const bool sheetUsable = source && sheet->GetWidth() >= sheetWidth && sheet->GetHeight() >= sheetHeight &&
                             pitch >= sheetWidth * bytesPerPixel;
    try {
        int rowTop = 0, x = 0, k = 0, inRow = 0;
        while (k < kGlyphCount) {
            // A row that does not fit on the sheet cannot be searched or cut.
            if (rowTop + height_ > sheetHeight || !sheetUsable)
                ReportFatal("Malformed font for file [%s] (at char %d)", fileName_.c_str(), k);
            const uint32_t* line = sheetPixels.data() + static_cast<size_t>(rowTop) * sheetWidth;
            int marker = -1;
            for (int i = x; i < sheetWidth; ++i)
                if (line[i] == kMarkerColor) {
                    marker = i;
                    break;
                }
            if (marker > x) {
                const int width = marker - x;
                Surface* glyph = device_->CreateSurface();
                glyphs_[k].surface = glyph;
                glyph->Create(width, height_, false, false);
                int glyphPitch = 0;
                auto* target = static_cast<uint8_t*>(glyph->Lock(glyphPitch));
                if (target) {
                    const size_t rowBytes = static_cast<size_t>(width) * bytesPerPixel;
                    if (glyphPitch >= static_cast<int>(rowBytes))
                        for (int y = 0; y < height_; ++y)
                            std::memcpy(target + static_cast<size_t>(y) * glyphPitch,
                                        source + static_cast<size_t>(rowTop + y) * pitch +
                                            static_cast<size_t>(x) * bytesPerPixel,
                                        rowBytes);
                    glyph->Unlock();
                }
                glyphs_[k].width = width;
                x = marker + 1;
                ++inRow;
                ++k;
            } else {
                if (k == 0 || inRow % 16 != 0)
                    ReportFatal("Malformed font for file [%s] (at char %d)", fileName_.c_str(), k);
                rowTop += height_ + 1;
                x = 0;
                inRow = 0;
            }
        }
    } catch (...) {
        if (source)
            sheet->Unlock();
        throw;
    }
    if (source)
        sheet->Unlock();
}

int Font::GlyphIndex(char c)
{
    if (c == ' ' || c == '\n')
        return kGlyphCount - 1;  // the tilde glyph, drawn blank on sheets
    const int index = static_cast<unsigned char>(c) - 33;
    return index >= 0 && index < kGlyphCount ? index : -1;
}

int Font::GetGlyphWidth(int index) const
{
    return index >= 0 && index < kGlyphCount ? glyphs_[index].width : 0;
}

int Font::Print(Surface* target, int x, int y, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<size_t>(length));
    }
    va_end(args);
    if (text.empty())
        return 0;
    return PrintText(target, x, y, text.c_str());
}

int Font::PrintText(Surface* target, int x, int y, const char* text)
{
    if (!text)
        return 0;
    const int length = static_cast<int>(std::strlen(text));
    for (int i = 0; i < length; ++i) {
        const int index = GlyphIndex(text[i]);
        if (index < 0)
            continue;
        if (glyphs_[index].surface)
            glyphs_[index].surface->Draw(target, x, y, true);
        x += glyphs_[index].width + spacing_;
    }
    return length;
}

int Font::MeasureText(int x, const char* text) const
{
    for (const char* p = text; p && *p; ++p) {
        const int index = GlyphIndex(*p);
        if (index >= 0)
            x += glyphs_[index].width + spacing_;
    }
    return x;
}
