// Image loading: PNG and JPEG readers through File, display-format conversion, resampling, texture formats.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "engine/core/DisplayFormat.h"

// Images beyond these limits are refused (fatal) before any buffer is allocated.
constexpr uint32_t kMaxImageEdge = 16384;
constexpr uint64_t kMaxImageBytes = 256ull << 20;

// Header pass: size of the PNG. Pixel pass: rgb becomes width * height * 3 bytes (RGB24,
// rows top to bottom) and width/height the decoded size. Any colour type, bit depth or
// interlacing is converted to 8-bit RGB (alpha dropped). Failures are fatal.
void PngLoad(const char* fileName, uint32_t& width, uint32_t& height);
void PngLoad(const char* fileName, std::vector<uint8_t>& rgb, uint32_t& width, uint32_t& height);
// The same for JPEG (RGB or greyscale); the name is tried as given, then under "gfx\".
void JpegLoad(const char* fileName, uint32_t& width, uint32_t& height);
void JpegLoad(const char* fileName, std::vector<uint8_t>& rgb, uint32_t& width, uint32_t& height);

// The header and pixel passes of a .png or .jpg (any case) with the size checked between
// them: RGB24 pixels, rows top to bottom. Failures are fatal (an unknown type as LoadGFX's).
std::vector<uint8_t> DecodeImage(const char* fileName, uint32_t& width, uint32_t& height);

// The pixel layout LoadGFX makes of a decoded image (see below); 16-bit also depends on the
// display's red mask.
enum class DisplayLayout { XRGB32, RGB16, RGB24 };
DisplayLayout LayoutForDisplay(bool convert, const DisplayFormat& display);

// LoadGFX's conversion of count decoded RGB24 pixels.
std::vector<uint8_t> ConvertForDisplay(std::vector<uint8_t> rgb, uint32_t count, bool convert,
                                       const DisplayFormat& display);

// Reads a .png or .jpg (any case) into pixels and sets width and height. convert true:
// RGB565/RGB555 on a 16-bit display (by red mask 0xF800 / 0x7C00), XRGB32 on a 32-bit one,
// RGB24 for any other depth. convert false: XRGB32. An image the installed ImagePrefetch
// has decoded is taken from it instead of being decoded again.
std::vector<uint8_t> LoadGFX(const char* fileName, bool convert, const DisplayFormat& display,
                             uint32_t& width, uint32_t& height);

// The extension after the last '.', upper-cased ("" when none).
std::string UpperExtension(const char* fileName);
// The text after the last '\\' (or '/').
std::string StripDirectory(const char* fileName);

// In-place RGB24 conversions of LoadGFX (the buffer keeps 2 bytes per pixel at its front).
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
