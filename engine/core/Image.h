// Image loading: a .png or .jpg file into pixels in the display's layout (LoadGFX).
#pragma once
#include <cstdint>
#include <vector>
#include "engine/core/DisplayFormat.h"
#include "engine/core/PixelFormats.h"

// A .png or .jpg (any case) decoded in one pass: RGB24 pixels, rows top to bottom, size
// checked before the pixels are allocated. Failures are fatal (an unknown type as LoadGFX's).
std::vector<uint8_t> DecodeImage(const char* fileName, uint32_t& width, uint32_t& height);

// Reads a .png or .jpg (any case) into pixels converted as conversion says (see
// ImageConversion) and sets width and height. An image the installed ImagePrefetch has
// decoded is taken from it instead of being decoded again.
std::vector<uint8_t> LoadGFX(const char* fileName, ImageConversion conversion, const DisplayFormat& display,
                             uint32_t& width, uint32_t& height);
