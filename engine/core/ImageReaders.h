// The PNG and JPEG readers: a file read through File and decoded in one pass into RGB24 pixels.
#pragma once
#include <cstdint>
#include <vector>
#include "engine/core/Fatal.h"

// Images beyond these limits are refused (fatal) before any buffer is allocated.
constexpr uint32_t kMaxImageEdge = 16384;
constexpr uint64_t kMaxImageBytes = 256ull << 20;

// rgb becomes width * height * 3 bytes (RGB24, rows top to bottom) and width/height the
// decoded size, the size being checked against the limits before the pixels are decoded.
// Any colour type, bit depth or interlacing is converted to 8-bit RGB (alpha dropped).
// Failures are fatal. The file is opened once.
void PngLoad(const char* fileName, std::vector<uint8_t>& rgb, uint32_t& width, uint32_t& height);
// The same for JPEG (RGB or greyscale); the name is tried as given, then under "gfx\".
void JpegLoad(const char* fileName, std::vector<uint8_t>& rgb, uint32_t& width, uint32_t& height);

// The readers' refusal of a size read from a file (reader names the routine in the text).
inline void CheckImageSize(const char* reader, const char* fileName, uint64_t width, uint64_t height)
{
    if (width == 0 || height == 0 || width > kMaxImageEdge || height > kMaxImageEdge ||
        width * height * 4 > kMaxImageBytes)
        ReportFatal("%s : Image [%s] is too large or empty (%llux%llu).", reader, fileName,
                    static_cast<unsigned long long>(width), static_cast<unsigned long long>(height));
}
