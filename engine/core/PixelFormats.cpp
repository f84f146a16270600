// Pixel conversions of decoded images: display formats, nearest-neighbour resampling, texture formats with alpha.
#include "engine/core/PixelFormats.h"
#include <cstring>

void ConvertRGB24To16(std::vector<uint8_t>& pixels, uint32_t count, uint32_t redMask)
{
    if (redMask != 0xF800 && redMask != 0x7C00)
        return;
    if (pixels.size() < static_cast<size_t>(count) * 3)
        count = static_cast<uint32_t>(pixels.size() / 3);
    uint8_t* p = pixels.data();
    // Pixel i is written at 2i after it was read at 3i, so the pass can run forwards.
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t r = p[3 * i], g = p[3 * i + 1], b = p[3 * i + 2];
        if (redMask == 0xF800) {
            p[2 * i] = static_cast<uint8_t>(((g >> 2) << 5) | (b >> 3));
            p[2 * i + 1] = static_cast<uint8_t>((r & 0xF8) | (g >> 5));
        } else {
            p[2 * i] = static_cast<uint8_t>(((g >> 3) << 5) | (b >> 3));
            p[2 * i + 1] = static_cast<uint8_t>(((r >> 3) << 2) | (g >> 6));
        }
    }
    pixels.resize(static_cast<size_t>(count) * 2);
}

std::vector<uint8_t> ConvertRGB24ToXRGB32(const std::vector<uint8_t>& rgb, uint32_t count)
{
    if (rgb.size() < static_cast<size_t>(count) * 3)
        count = static_cast<uint32_t>(rgb.size() / 3);
    std::vector<uint8_t> out(static_cast<size_t>(count) * 4);
    for (uint32_t i = 0; i < count; ++i) {
        out[4 * i] = rgb[3 * i + 2];
        out[4 * i + 1] = rgb[3 * i + 1];
        out[4 * i + 2] = rgb[3 * i];
        out[4 * i + 3] = 0;
    }
    return out;
}

DisplayLayout LayoutForDisplay(ImageConversion conversion, const DisplayFormat& display)
{
    if (conversion == ImageConversion::XRGB32 || display.bitsPerPixel == 32)
        return DisplayLayout::XRGB32;
    return display.bitsPerPixel == 16 ? DisplayLayout::RGB16 : DisplayLayout::RGB24;
}

std::vector<uint8_t> ConvertForDisplay(std::vector<uint8_t> rgb, uint32_t count, ImageConversion conversion,
                                       const DisplayFormat& display)
{
    switch (LayoutForDisplay(conversion, display)) {
    case DisplayLayout::RGB16:
        ConvertRGB24To16(rgb, count, display.redMask);
        return rgb;
    case DisplayLayout::XRGB32:
        return ConvertRGB24ToXRGB32(rgb, count);
    case DisplayLayout::RGB24:
        break;
    }
    return rgb;
}

std::vector<uint8_t> ResampleNearest(const uint8_t* source, uint32_t sourceWidth, uint32_t sourceHeight,
                                     uint32_t destWidth, uint32_t destHeight, int bytesPerPixel)
{
    std::vector<uint8_t> out(static_cast<size_t>(destWidth) * destHeight * bytesPerPixel);
    if (destWidth == 0 || destHeight == 0 || sourceWidth == 0 || sourceHeight == 0)
        return out;
    const uint64_t stepX = (static_cast<uint64_t>(sourceWidth) << 16) / destWidth;
    const uint64_t stepY = (static_cast<uint64_t>(sourceHeight) << 16) / destHeight;
    for (uint32_t j = 0; j < destHeight; ++j) {
        const uint64_t row = (j * stepY) >> 16;
        const uint8_t* sourceRow = source + row * sourceWidth * bytesPerPixel;
        uint8_t* destRow = out.data() + static_cast<size_t>(j) * destWidth * bytesPerPixel;
        for (uint32_t i = 0; i < destWidth; ++i) {
            const uint64_t column = (i * stepX) >> 16;
            std::memcpy(destRow + static_cast<size_t>(i) * bytesPerPixel, sourceRow + column * bytesPerPixel,
                        bytesPerPixel);
        }
    }
    return out;
}

// ---- Texture formats with alpha --------------------------------------------------------

static uint16_t Pixel16(const void* pixels, uint32_t i)
{
    uint16_t v;
    std::memcpy(&v, static_cast<const uint8_t*>(pixels) + 2 * static_cast<size_t>(i), 2);
    return v;
}

static uint32_t Pixel32(const void* pixels, uint32_t i)
{
    uint32_t v;
    std::memcpy(&v, static_cast<const uint8_t*>(pixels) + 4 * static_cast<size_t>(i), 4);
    return v;
}

std::vector<uint16_t> ToARGB4444(const void* pixels, const uint32_t* alpha, uint32_t count,
                                 const DisplayFormat& display)
{
    std::vector<uint16_t> out(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t r, g, b;
        if (display.bitsPerPixel == 16) {
            const uint16_t v = Pixel16(pixels, i);
            if (display.redMask == 0x7C00) {
                r = (v >> 11) & 0xF;
                g = (v >> 6) & 0xF;
            } else {
                r = (v >> 12) & 0xF;
                g = (v >> 7) & 0xF;
            }
            b = (v >> 1) & 0xF;
        } else {
            const uint32_t v = Pixel32(pixels, i);
            r = ((v >> 16) & 0xFF) >> 4;
            g = ((v >> 8) & 0xFF) >> 4;
            b = (v & 0xFF) >> 4;
        }
        const uint32_t a = (alpha[i] & 0xFF) >> 4;
        out[i] = static_cast<uint16_t>(a << 12 | r << 8 | g << 4 | b);
    }
    return out;
}

std::vector<uint16_t> ToARGB1555(const void* pixels, const uint32_t* alpha, uint32_t count,
                                 const DisplayFormat& display)
{
    std::vector<uint16_t> out(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t v;
        if (display.bitsPerPixel == 16) {
            v = Pixel16(pixels, i);
            if (display.redMask != 0x7C00)
                v = ((v >> 6) << 5) | (v & 0x1F);
        } else {
            const uint32_t p = Pixel32(pixels, i);
            v = (((p >> 16) & 0xFF) >> 3) << 10 | (((p >> 8) & 0xFF) >> 3) << 5 | ((p & 0xFF) >> 3);
        }
        v &= 0x7FFF;
        if (alpha[i] != 0)
            v |= 0x8000;
        out[i] = static_cast<uint16_t>(v);
    }
    return out;
}

std::vector<uint32_t> ToARGB32(const void* pixels, const uint32_t* alpha, uint32_t count,
                               const DisplayFormat& display)
{
    std::vector<uint32_t> out(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t rgb;
        if (display.bitsPerPixel == 16) {
            const uint32_t v = Pixel16(pixels, i);
            uint32_t r, g, b;
            if (display.redMask == 0x7C00) {
                r = ((v >> 10) & 0x1F) << 3;
                g = ((v >> 5) & 0x1F) << 3;
            } else {
                r = ((v >> 11) & 0x1F) << 3;
                g = ((v >> 5) & 0x3F) << 2;
            }
            b = (v & 0x1F) << 3;
            rgb = r << 16 | g << 8 | b;
        } else {
            rgb = Pixel32(pixels, i) & 0x00FFFFFF;
        }
        out[i] = (alpha[i] & 0xFF) << 24 | rgb;
    }
    return out;
}
