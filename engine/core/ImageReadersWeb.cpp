// PNG and JPEG readers of the web build: stb_image decodes the bytes read through File, in one pass.
#include <cstring>
#include <string>
#include <vector>
#include "engine/core/Fatal.h"
#include "engine/core/File.h"
#include "engine/core/ImageReaders.h"

// One decoder for both formats, without its file access, HDR and the formats the
// production never uses; every buffer comes from the engine's own reads.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#include <stb_image.h>

namespace {

// Decodes bytes into RGB24 rows, top first; false when stb cannot. The size in the file is
// checked before any buffer is made for it.
bool DecodeRgb(const std::vector<uint8_t>& bytes, const char* reader, const char* fileName,
               std::vector<uint8_t>& rgb, uint32_t& width, uint32_t& height)
{
    int w = 0, h = 0, components = 0;
    if (bytes.size() > 0x7FFFFFFFu ||
        !stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &components))
        return false;
    CheckImageSize(reader, fileName, static_cast<uint64_t>(w), static_cast<uint64_t>(h));
    stbi_uc* pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h,
                                            &components, 3);
    if (pixels == nullptr)
        return false;
    rgb.assign(pixels, pixels + static_cast<size_t>(w) * h * 3);
    stbi_image_free(pixels);
    width = static_cast<uint32_t>(w);
    height = static_cast<uint32_t>(h);
    return true;
}

std::vector<uint8_t> ReadPng(const char* fileName)
{
    File file;
    if (!file.Open(fileName))
        ReportFatal("PngLoad : Cannot open File [%s].", fileName);
    std::vector<uint8_t> bytes = file.ReadAll();
    static const uint8_t kSignature[4] = {0x89, 'P', 'N', 'G'};
    if (bytes.size() < 4 || std::memcmp(bytes.data(), kSignature, 4) != 0)
        ReportFatal("PngLoad : File [%s] is not a valid PNG file.", fileName);
    return bytes;
}

std::vector<uint8_t> ReadJpeg(const char* fileName)
{
    File file;
    if (!file.Open(fileName)) {
        const std::string inGfx = std::string("gfx\\") + fileName;
        if (!file.Open(inGfx.c_str()))
            ReportFatal("Error opening file : [%s]", fileName);
    }
    return file.ReadAll();
}

}  // namespace

void PngLoad(const char* fileName, std::vector<uint8_t>& rgb, uint32_t& width, uint32_t& height)
{
    if (!DecodeRgb(ReadPng(fileName), "PngLoad", fileName, rgb, width, height))
        ReportFatal("PngLoad : Error while reading PNG.");
}

void JpegLoad(const char* fileName, std::vector<uint8_t>& rgb, uint32_t& width, uint32_t& height)
{
    if (!DecodeRgb(ReadJpeg(fileName), "JpegLoad", fileName, rgb, width, height))
        ReportFatal("JpegLoad : Unable to decode file [%s] (%s)", fileName, stbi_failure_reason());
}
