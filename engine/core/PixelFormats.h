// Pixel conversions of decoded images: display formats, nearest-neighbour resampling, texture formats with alpha.
#pragma once
#include <cstdint>
#include <vector>
#include "engine/core/DisplayFormat.h"

// What LoadGFX makes of decoded RGB24 pixels: the display's own layout (RGB565/RGB555 on a
// 16-bit display by red mask 0xF800 / 0x7C00, XRGB32 on a 32-bit one, RGB24 left as it is
// for any other depth), or XRGB32 whatever the display (alpha maps, height maps).
enum class ImageConversion { ForDisplay, XRGB32 };

// The pixel layout a conversion gives; 16-bit also depends on the display's red mask.
enum class DisplayLayout { XRGB32, RGB16, RGB24 };
DisplayLayout LayoutForDisplay(ImageConversion conversion, const DisplayFormat& display);

// The conversion of count decoded RGB24 pixels.
std::vector<uint8_t> ConvertForDisplay(std::vector<uint8_t> rgb, uint32_t count, ImageConversion conversion,
                                       const DisplayFormat& display);

// In-place RGB24 conversions (the buffer keeps 2 bytes per pixel at its front).
void ConvertRGB24To16(std::vector<uint8_t>& pixels, uint32_t count, uint32_t redMask);
std::vector<uint8_t> ConvertRGB24ToXRGB32(const std::vector<uint8_t>& rgb, uint32_t count);

// Nearest-neighbour resampling with 16.16 steps: (srcW x srcH) -> (dstW x dstH), bytesPerPixel 2 or 4.
std::vector<uint8_t> ResampleNearest(const uint8_t* source, uint32_t sourceWidth, uint32_t sourceHeight,
                                     uint32_t destWidth, uint32_t destHeight, int bytesPerPixel);

// Texture formats with alpha, from display-format pixels (count of them) and XRGB32 alpha values.
std::vector<uint16_t> ToARGB4444(const void* pixels, const uint32_t* alpha, uint32_t count,
                                 const DisplayFormat& display);
// Alpha in bit 15 where the alpha value is non-zero, colour as RGB555.
std::vector<uint16_t> ToARGB1555(const void* pixels, const uint32_t* alpha, uint32_t count,
                                 const DisplayFormat& display);
// 0xAARRGGBB; alpha byte = low byte of the alpha value.
std::vector<uint32_t> ToARGB32(const void* pixels, const uint32_t* alpha, uint32_t count,
                               const DisplayFormat& display);
