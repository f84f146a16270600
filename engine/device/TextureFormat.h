// Texture pixel formats: the formats a device offers, the choice of a format for an upload and the conversion to it.
#pragma once
#include <cstdint>
#include <vector>
#include "engine/core/DisplayFormat.h"

enum class TextureFormat { RGB565, RGB555, XRGB32, ARGB1555, ARGB4444, ARGB32 };

int FormatBits(TextureFormat format);
// 0 for formats without alpha.
uint32_t FormatAlphaMask(TextureFormat format);
int BytesPerPixel(TextureFormat format);

// The formats with alpha a device offers, in the order they are searched.
const TextureFormat* GetAlphaFormats(int& count);

// The first offered alpha format with exactly wantedBits (16 for alpha mode 1, 32 for
// alpha mode 8) whose alpha mask is not 0x8000 (a one-bit alpha loses soft edges); then
// the same search with 16. False when nothing matches.
bool ChooseAlphaFormat(int alphaMode, TextureFormat& chosen);

// The texture format that holds display-format pixels unchanged.
TextureFormat DisplayTextureFormat(const DisplayFormat& display);

// The pixels a texture upload stores: display-format pixels (count of them) unchanged
// without alpha, else converted to the alpha format chosen for alphaMode. format is set to
// the result's format; false (nothing converted) when no alpha format matches.
bool ConvertForUpload(const void* pixels, const uint32_t* alpha, uint32_t count, const DisplayFormat& display,
                      int alphaMode, TextureFormat& format, std::vector<uint8_t>& converted);
