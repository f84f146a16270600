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

namespace {

uint16_t Pixel16(const void* pixels, uint32_t i)
{
    uint16_t v;
    std::memcpy(&v, static_cast<const uint8_t*>(pixels) + 2 * static_cast<size_t>(i), 2);
    return v;
}

uint32_t Pixel32(const void* pixels, uint32_t i)
{
    uint32_t v;
    std::memcpy(&v, static_cast<const uint8_t*>(pixels) + 4 * static_cast<size_t>(i), 4);
    return v;
}

// One display pixel as 8-bit channels. The bits a 16-bit channel lacks stay 0, so narrowing
// a channel again by a shift gives its top bits as the display held them.
struct Channels {
    uint32_t r, g, b;
};

Channels DisplayChannels(const void* pixels, uint32_t i, const DisplayFormat& display)
{
    if (display.bitsPerPixel != 16) {
        const uint32_t v = Pixel32(pixels, i);
        return {(v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF};
    }
    const uint32_t v = Pixel16(pixels, i);
    if (display.redMask == 0x7C00)
        return {((v >> 10) & 0x1F) << 3, ((v >> 5) & 0x1F) << 3, (v & 0x1F) << 3};
    return {((v >> 11) & 0x1F) << 3, ((v >> 5) & 0x3F) << 2, (v & 0x1F) << 3};
}

// Every pixel packed with its alpha value by pack(channels, alpha).
template <class Texel, class Pack>
std::vector<Texel> PackWithAlpha(const void* pixels, const uint32_t* alpha, uint32_t count,
                                 const DisplayFormat& display, Pack pack)
{
    std::vector<Texel> out(count);
    for (uint32_t i = 0; i < count; ++i)
        out[i] = static_cast<Texel>(pack(DisplayChannels(pixels, i, display), alpha[i]));
    return out;
}

}  // namespace

std::vector<uint16_t> ToARGB4444(const void* pixels, const uint32_t* alpha, uint32_t count,
                                 const DisplayFormat& display)
{
    return PackWithAlpha<uint16_t>(pixels, alpha, count, display, [](Channels c, uint32_t a) {
        return ((a & 0xFF) >> 4) << 12 | (c.r >> 4) << 8 | (c.g >> 4) << 4 | c.b >> 4;
    });
}

std::vector<uint16_t> ToARGB1555(const void* pixels, const uint32_t* alpha, uint32_t count,
                                 const DisplayFormat& display)
{
    return PackWithAlpha<uint16_t>(pixels, alpha, count, display, [](Channels c, uint32_t a) {
        return (a != 0 ? 0x8000u : 0u) | (c.r >> 3) << 10 | (c.g >> 3) << 5 | c.b >> 3;
    });
}

std::vector<uint32_t> ToARGB32(const void* pixels, const uint32_t* alpha, uint32_t count,
                               const DisplayFormat& display)
{
    return PackWithAlpha<uint32_t>(pixels, alpha, count, display, [](Channels c, uint32_t a) {
        return (a & 0xFF) << 24 | c.r << 16 | c.g << 8 | c.b;
    });
}
