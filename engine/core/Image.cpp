// Image loading: the reader chosen by extension, then the conversion LoadGFX was asked for.
#include "engine/core/Image.h"
#include <string>
#include <utility>
#include "engine/core/Fatal.h"
#include "engine/core/FilePath.h"
#include "engine/core/ImagePrefetch.h"
#include "engine/core/ImageReaders.h"

std::vector<uint8_t> DecodeImage(const char* fileName, uint32_t& width, uint32_t& height)
{
    const std::string ext = UpperExtension(fileName);
    std::vector<uint8_t> pixels;
    if (ext == "JPG")
        JpegLoad(fileName, pixels, width, height);
    else if (ext == "PNG")
        PngLoad(fileName, pixels, width, height);
    else
        ReportFatal("LoadGFX : Unable to load file [%s], unsupported file type [%s]", fileName, ext.c_str());
    return pixels;
}

std::vector<uint8_t> LoadGFX(const char* fileName, ImageConversion conversion, const DisplayFormat& display,
                             uint32_t& width, uint32_t& height)
{
    std::vector<uint8_t> pixels;
    ImagePrefetch* prefetch = GetImagePrefetch();
    if (prefetch != nullptr && prefetch->Take(fileName, conversion, display, pixels, width, height))
        return pixels;
    uint32_t w = 0, h = 0;
    pixels = DecodeImage(fileName, w, h);
    width = w;
    height = h;
    return ConvertForDisplay(std::move(pixels), w * h, conversion, display);
}
