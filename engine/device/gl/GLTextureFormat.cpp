// The OpenGL device's texture format table.
#include "engine/device/gl/GLTextureFormat.h"

namespace {

// Indexed by TextureFormat.
const TextureFormatInfo kFormats[] = {
    {TextureFormat::RGB565, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, false},
    {TextureFormat::RGB555, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, true},
    {TextureFormat::XRGB32, GL_RGB8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, true},
    {TextureFormat::ARGB1555, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false},
    {TextureFormat::ARGB4444, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, false},
    {TextureFormat::ARGB32, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, false},
};

}  // namespace

const TextureFormatInfo& GetTextureFormatInfo(TextureFormat format)
{
    return kFormats[static_cast<int>(format)];
}

const void* PixelsForUpload(TextureFormat, const void* pixels, size_t, std::vector<uint8_t>&)
{
    return pixels;
}
