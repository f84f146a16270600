// Test helper: in-memory PNG/JPEG encoding, font sheet drawing and log capture.
#include "support/TestImages.h"
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <png.h>
#include <jpeglib.h>
#include "engine/core/Log.h"

static void AppendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}

static void FlushNothing(png_structp) {}

std::string EncodePngLayout(int width, int height, int colorType, int bitDepth, bool interlaced,
                            const std::vector<uint8_t>& samples, const std::vector<uint8_t>& palette,
                            const std::vector<uint8_t>& transparency)
{
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("EncodePngLayout failed");
    }
    png_set_write_fn(png, &out, AppendBytes, FlushNothing);
    png_set_IHDR(png, info, width, height, bitDepth, colorType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> colours;
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        for (size_t i = 0; i + 2 < palette.size(); i += 3)
            colours.push_back({palette[i], palette[i + 1], palette[i + 2]});
        png_set_PLTE(png, info, colours.data(), static_cast<int>(colours.size()));
        if (!transparency.empty())
            png_set_tRNS(png, info, transparency.data(), static_cast<int>(transparency.size()), nullptr);
    }
    png_write_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<png_bytep> rows(height);
    std::vector<uint8_t> copy = samples;
    copy.resize(rowBytes * height, 0);
    for (int y = 0; y < height; ++y)
        rows[y] = copy.data() + rowBytes * y;
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string EncodePng(int width, int height, const std::vector<uint8_t>& rgb)
{
    return EncodePngLayout(width, height, PNG_COLOR_TYPE_RGB, 8, false, rgb);
}

std::string EncodeJpeg(int width, int height, int components, const std::vector<uint8_t>& samples, int quality)
{
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + static_cast<size_t>(info.next_scanline) * width * components);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&info);
    free(buffer);
    return out;
}

std::vector<uint8_t> SolidRgb(int width, int height, uint8_t r, uint8_t g, uint8_t b)
{
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = r;
        rgb[i + 1] = g;
        rgb[i + 2] = b;
    }
    return rgb;
}

uint32_t GlyphColor(int k)
{
    return static_cast<uint32_t>(0x10 + k) << 16 | static_cast<uint32_t>(0x80 + k) << 8 | static_cast<uint32_t>(0x40);
}

std::vector<uint8_t> DrawFontSheet(int height, const std::vector<std::vector<int>>& rows, int& sheetWidth,
                                   int& sheetHeight, bool heightMarker, int extraRows)
{
    sheetWidth = 1;
    for (const auto& row : rows) {
        int w = 0;
        for (int glyph : row)
            w += glyph + 1;
        sheetWidth = std::max(sheetWidth, w + 1);
    }
    const int rowCount = static_cast<int>(rows.size()) + extraRows;
    sheetHeight = std::max(rowCount * (height + 1), height + 1);
    std::vector<uint8_t> rgb(static_cast<size_t>(sheetWidth) * sheetHeight * 3, 0);
    auto put = [&](int x, int y, uint32_t colour) {
        uint8_t* p = rgb.data() + (static_cast<size_t>(y) * sheetWidth + x) * 3;
        p[0] = static_cast<uint8_t>(colour >> 16);
        p[1] = static_cast<uint8_t>(colour >> 8);
        p[2] = static_cast<uint8_t>(colour);
    };
    int k = 0;
    for (size_t r = 0; r < rows.size(); ++r) {
        const int top = static_cast<int>(r) * (height + 1);
        int x = 0;
        for (int width : rows[r]) {
            for (int y = 0; y < height; ++y)
                for (int i = 0; i < width; ++i)
                    if (!(y == height - 1 && i == width - 1))
                        put(x + i, top + y, GlyphColor(k));
            put(x + width, top, 0xFF0000);
            x += width + 1;
            ++k;
        }
    }
    if (heightMarker)
        put(0, height, 0xFF0000);
    return rgb;
}

static std::vector<std::string> g_lines;
static LogCallback g_previous = nullptr;

static void CaptureLine(const char* text)
{
    g_lines.emplace_back(text);
}

LogCapture::LogCapture()
{
    g_lines.clear();
    g_previous = GetLogCallback();
    SetLogCallback(CaptureLine);
}

LogCapture::~LogCapture()
{
    SetLogCallback(g_previous);
}

const std::vector<std::string>& LogCapture::Lines() const
{
    return g_lines;
}

bool LogCapture::Contains(const std::string& line) const
{
    return std::find(g_lines.begin(), g_lines.end(), line) != g_lines.end();
}

int LogCapture::CountOf(const std::string& line) const
{
    return static_cast<int>(std::count(g_lines.begin(), g_lines.end(), line));
}
