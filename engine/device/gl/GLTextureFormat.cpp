// The OpenGL device's texture format table and the choice of a format with alpha.
#include "engine/device/gl/GLTextureFormat.h"

namespace {

const TextureFormatInfo kFormats[] = {
    {TextureFormat::RGB565, 16, 0, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, false},
    {TextureFormat::RGB555, 16, 0, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, true},
    {TextureFormat::XRGB32, 32, 0, GL_RGB8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, true},
    {TextureFormat::ARGB1555, 16, 0x8000, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, false},
    {TextureFormat::ARGB4444, 16, 0xF000, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, false},
    {TextureFormat::ARGB32, 32, 0xFF000000u, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, false},
};

// Listed as a driver would: the one-bit format first, so the choice has to skip it.
const TextureFormat kAlphaFormats[] = {TextureFormat::ARGB1555, TextureFormat::ARGB4444, TextureFormat::ARGB32};

}  // namespace

const TextureFormatInfo& GetTextureFormatInfo(TextureFormat format)
{
    return kFormats[static_cast<int>(format)];
}

const TextureFormat* GetAlphaFormats(int& count)
{
    count = static_cast<int>(sizeof(kAlphaFormats) / sizeof(kAlphaFormats[0]));
    return kAlphaFormats;
}

bool ChooseAlphaFormat(int alphaMode, TextureFormat& chosen)
{
    int count = 0;
    const TextureFormat* formats = GetAlphaFormats(count);
    int wanted = alphaMode == 8 ? 32 : 16;
    for (int bits : {wanted, 16}) {
        for (int i = 0; i < count; ++i) {
            const TextureFormatInfo& info = GetTextureFormatInfo(formats[i]);
            if (info.bits >= 16 && info.alphaMask != 0 && info.bits == bits && info.alphaMask != 0x8000) {
                chosen = formats[i];
                return true;
            }
        }
    }
    return false;
}

TextureFormat DisplayTextureFormat(const DisplayFormat& display)
{
    if (display.bitsPerPixel == 16) return display.redMask == 0x7C00 ? TextureFormat::RGB555 : TextureFormat::RGB565;
    return TextureFormat::XRGB32;
}

int BytesPerPixel(TextureFormat format)
{
    return GetTextureFormatInfo(format).bits / 8;
}
