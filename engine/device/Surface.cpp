// Surface base: size bookkeeping and loading a PNG into the display format.
#include "engine/device/Surface.h"
#include <cstring>
#include <vector>
#include "engine/core/Fatal.h"
#include "engine/core/ImageReaders.h"
#include "engine/core/PixelFormats.h"
#include "engine/device/RenderDevice.h"

Surface::Surface(RenderDevice* device) : device_(device)
{
    bitsPerPixel_ = device && device->GetBitsPerPixel() == 16 ? 16 : 32;
}

bool Surface::Create(int width, int height, bool, bool)
{
    width_ = width;
    height_ = height;
    bitsPerPixel_ = device_ && device_->GetBitsPerPixel() == 16 ? 16 : 32;
    return true;
}

void Surface::LoadFromFile(const char* fileName)
{
    uint32_t w = 0, h = 0;
    std::vector<uint8_t> rgb;
    PngLoad(fileName, rgb, w, h);
    const DisplayFormat display = device_->GetDisplayFormat();
    const uint32_t count = w * h;
    std::vector<uint8_t> pixels;
    int bytesPerPixel = 4;
    if (display.bitsPerPixel == 16) {
        ConvertRGB24To16(rgb, count, display.redMask);
        pixels = std::move(rgb);
        bytesPerPixel = 2;
    } else {
        pixels = ConvertRGB24ToXRGB32(rgb, count);
    }
    Create(static_cast<int>(w), static_cast<int>(h), false, false);

    int pitch = 0;
    auto* target = static_cast<uint8_t*>(Lock(pitch));
    if (!target)
        return;
    const size_t rowBytes = static_cast<size_t>(w) * bytesPerPixel;
    // A display layout the converter does not know leaves fewer bytes than expected.
    if (pixels.size() >= rowBytes * h && pitch >= static_cast<int>(rowBytes)) {
        for (uint32_t y = 0; y < h; ++y)
            std::memcpy(target + static_cast<size_t>(y) * pitch, pixels.data() + y * rowBytes, rowBytes);
    }
    Unlock();
}
