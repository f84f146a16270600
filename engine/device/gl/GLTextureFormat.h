// OpenGL upload parameters of the device's texture formats (internal).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>
#include "engine/device/TextureFormat.h"
#include "engine/device/gl/GLError.h"

struct TextureFormatInfo {
    TextureFormat format;
    GLenum internalFormat;
    GLenum dataFormat;
    GLenum dataType;
    bool forceOpaque;    // the data carries a free bit or byte that must not read as alpha
};

const TextureFormatInfo& GetTextureFormatInfo(TextureFormat format);

// The pixels (count of them, in the device's layout of format) as glTexImage2D takes them
// with info's data format and type: the same bytes on the desktop; on the web, which has
// neither BGRA uploads nor swizzles, reordered into scratch.
const void* PixelsForUpload(TextureFormat format, const void* pixels, size_t count,
                            std::vector<uint8_t>& scratch);
