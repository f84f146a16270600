// Shared helpers of the remaining image layers' tests: in-memory PNG images, a test archive, driving a layer's frame.
#pragma once
#include <png.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// An 8-bit RGB PNG file of width x height whose pixel (x, y) is colour(x, y) as 0xRRGGBB.
inline std::string MakeTestPng(uint32_t width, uint32_t height, const std::function<uint32_t(uint32_t, uint32_t)>& colour)
{
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t length) {
            static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<const char*>(data), length);
        },
        nullptr);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(width * 3);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t c = colour(x, y);
            row[x * 3] = static_cast<png_byte>(c >> 16);
            row[x * 3 + 1] = static_cast<png_byte>(c >> 8);
            row[x * 3 + 2] = static_cast<png_byte>(c);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

inline std::string MakePlainPng(uint32_t width, uint32_t height, uint32_t rgb)
{
    return MakeTestPng(width, height, [rgb](uint32_t, uint32_t) { return rgb; });
}

// Lets a test draw a fading layer's frame at a chosen time and fade.
template <class LayerType>
class Driven : public LayerType {
public:
    using LayerType::LayerType;
    void DrawAt(float t, float fade)
    {
        this->time = t;
        this->fade = fade;
        this->DrawFrame();
    }
};
