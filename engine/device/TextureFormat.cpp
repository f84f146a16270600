// Texture pixel formats: the offered list, the alpha-format choice and the upload conversion.
#include "engine/device/TextureFormat.h"
#include <cstring>
#include "engine/core/PixelFormats.h"

namespace {

struct FormatLayout {
    int bits;
    uint32_t alphaMask;
};

// Indexed by TextureFormat.
constexpr FormatLayout kLayouts[] = {
    {16, 0}, {16, 0}, {32, 0}, {16, 0x8000}, {16, 0xF000}, {32, 0xFF000000u},
};

// Listed as a driver would: the one-bit format first, so the choice has to skip it.
const TextureFormat kAlphaFormats[] = {TextureFormat::ARGB1555, TextureFormat::ARGB4444, TextureFormat::ARGB32};

template <class T>
void AppendBytes(const std::vector<T>& values, std::vector<uint8_t>& bytes)
{
    bytes.resize(values.size() * sizeof(T));
    if (!values.empty()) std::memcpy(bytes.data(), values.data(), bytes.size());
}

}  // namespace

int FormatBits(TextureFormat format)
{
    return kLayouts[static_cast<int>(format)].bits;
}

uint32_t FormatAlphaMask(TextureFormat format)
{
    return kLayouts[static_cast<int>(format)].alphaMask;
}

int BytesPerPixel(TextureFormat format)
{
    return FormatBits(format) / 8;
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
            const uint32_t mask = FormatAlphaMask(formats[i]);
            if (mask != 0 && FormatBits(formats[i]) == bits && mask != 0x8000) {
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

bool ConvertForUpload(const void* pixels, const uint32_t* alpha, uint32_t count, const DisplayFormat& display,
                      int alphaMode, TextureFormat& format, std::vector<uint8_t>& converted)
{
    format = DisplayTextureFormat(display);
    if (alpha == nullptr) {
        converted.resize(static_cast<size_t>(count) * BytesPerPixel(format));
        if (count != 0) std::memcpy(converted.data(), pixels, converted.size());
        return true;
    }
    if (!ChooseAlphaFormat(alphaMode, format)) return false;
    switch (format) {
    case TextureFormat::ARGB4444: AppendBytes(ToARGB4444(pixels, alpha, count, display), converted); break;
    case TextureFormat::ARGB1555: AppendBytes(ToARGB1555(pixels, alpha, count, display), converted); break;
    default: AppendBytes(ToARGB32(pixels, alpha, count, display), converted); break;
    }
    return true;
}
