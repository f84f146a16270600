// OpenGL upload parameters of the device's texture formats (internal).
#pragma once
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
