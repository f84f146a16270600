// Builds the in-memory PNG, font sheet and WAV files the timeline and sound tests feed the engine.
#include "support/TestMedia.h"

#include <png.h>
#include <cmath>
#include <cstring>

namespace {

void AppendToString(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}

void AppendLittleEndian(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

std::string MakePng(int width, int height, const std::vector<uint8_t>& rgb) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, AppendToString, nullptr);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(rgb.data() + static_cast<size_t>(y) * width * 3));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string MakeFontSheetPng(int glyphWidth, int glyphHeight) {
    const int perRow = 16;
    const int rows = 6;
    const int width = perRow * (glyphWidth + 1);
    const int height = rows * (glyphHeight + 1);
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3, 0);
    auto set = [&](int x, int y, uint8_t r, uint8_t g, uint8_t b) {
        uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
        p[0] = r;
        p[1] = g;
        p[2] = b;
    };
    for (int glyph = 0; glyph < 94; ++glyph) {
        const int top = (glyph / perRow) * (glyphHeight + 1);
        const int left = (glyph % perRow) * (glyphWidth + 1);
        for (int y = 0; y < glyphHeight; ++y)
            for (int x = 0; x < glyphWidth; ++x) set(left + x, top + y, 255, 255, 255);
        set(left + glyphWidth, top, 255, 0, 0);  // closes the glyph
    }
    set(0, glyphHeight, 255, 0, 0);  // the height marker in column 0
    return MakePng(width, height, rgb);
}

std::string MakeSineWav(double seconds, double frequency) {
    const uint32_t rate = 44100;
    const uint32_t samples = static_cast<uint32_t>(seconds * rate);
    std::string out = "RIFF";
    AppendLittleEndian(out, 36 + samples * 2, 4);
    out += "WAVEfmt ";
    AppendLittleEndian(out, 16, 4);
    AppendLittleEndian(out, 1, 2);  // PCM
    AppendLittleEndian(out, 1, 2);  // mono
    AppendLittleEndian(out, rate, 4);
    AppendLittleEndian(out, rate * 2, 4);
    AppendLittleEndian(out, 2, 2);
    AppendLittleEndian(out, 16, 2);
    out += "data";
    AppendLittleEndian(out, samples * 2, 4);
    for (uint32_t i = 0; i < samples; ++i) {
        const double value = std::sin(2.0 * M_PI * frequency * i / rate) * 12000.0;
        AppendLittleEndian(out, static_cast<uint32_t>(static_cast<int16_t>(value)) & 0xFFFF, 2);
    }
    return out;
}
