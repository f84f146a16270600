// Texture pixel formats of the OpenGL device: the format list, the alpha-format choice, GL upload parameters (internal).
#pragma once
#include <cstdint>
#include "engine/device/DeviceTypes.h"
#include "engine/device/gl/GLError.h"

enum class TextureFormat { RGB565, RGB555, XRGB32, ARGB1555, ARGB4444, ARGB32 };

struct TextureFormatInfo {
    TextureFormat format;
    int bits;
    uint32_t alphaMask;  // 0 without alpha
    GLenum internalFormat;
    GLenum dataFormat;
    GLenum dataType;
    bool forceOpaque;    // the data carries a free bit or byte that must not read as alpha
};

const TextureFormatInfo& GetTextureFormatInfo(TextureFormat format);

// The formats with alpha the device offers, in the order they are searched.
const TextureFormat* GetAlphaFormats(int& count);

// The first offered alpha format with exactly wantedBits (16 for alpha mode 1, 32 for
// alpha mode 8) whose alpha mask is not 0x8000 (a one-bit alpha loses soft edges); then
// the same search with 16. False when nothing matches.
bool ChooseAlphaFormat(int alphaMode, TextureFormat& chosen);

// The texture format that holds display-format pixels unchanged.
TextureFormat DisplayTextureFormat(const DisplayFormat& display);

int BytesPerPixel(TextureFormat format);
