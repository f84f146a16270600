// Benchmark of the capture's PNG encoding on frames of a capture folder: CPU time and size per setting.
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "app/FrameCapture.h"

namespace {

double CpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Frame {
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
};

bool ReadPng(const std::string& path, Frame& frame)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    frame.width = static_cast<int>(image.width);
    frame.height = static_cast<int>(image.height);
    frame.rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, frame.rgb.data(), 0, nullptr) != 0;
}

void Append(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// One candidate setting; the capture's own encoder is measured beside them.
size_t Encode(const Frame& frame, int filter, int strategy)
{
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return 0;
    }
    png_set_write_fn(png, &out, Append, nullptr);
    png_set_IHDR(png, info, frame.width, frame.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, filter);
    png_set_compression_level(png, 1);
    png_set_compression_strategy(png, strategy);
    png_write_info(png, info);
    std::vector<png_bytep> rows(frame.height);
    for (int y = 0; y < frame.height; ++y)
        rows[y] = const_cast<png_bytep>(frame.rgb.data() + static_cast<size_t>(y) * frame.width * 3);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out.size();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CAPTURE_DIR [FRAMES]\n", argv[0]);
        return 2;
    }
    const size_t limit = argc > 2 ? std::stoul(argv[2]) : 40;
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1]))
        if (entry.path().extension() == ".png")
            paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    std::vector<Frame> frames;
    // Spread over the whole production, not its first seconds.
    const size_t step = std::max<size_t>(1, paths.size() / std::max<size_t>(1, limit));
    for (size_t i = 0; i < paths.size() && frames.size() < limit; i += step) {
        Frame frame;
        if (ReadPng(paths[i], frame))
            frames.push_back(std::move(frame));
    }
    if (frames.empty()) {
        std::fprintf(stderr, "no PNG frames in %s\n", argv[1]);
        return 1;
    }
    std::printf("%zu frames of %dx%d\n", frames.size(), frames[0].width, frames[0].height);
    {
        std::vector<uint8_t> png;
        std::string error;
        size_t bytes = 0;
        const double start = CpuSeconds();
        for (const Frame& frame : frames) {
            EncodeRgbPng(frame.rgb, frame.width, frame.height, png, error);
            bytes += png.size();
        }
        std::printf("%-28s %7.2f ms/frame CPU %9zu bytes/frame\n", "capture encoder",
                    (CpuSeconds() - start) * 1000.0 / frames.size(), bytes / frames.size());
    }
    struct Setting {
        const char* name;
        int filter, strategy;
    };
    const Setting settings[] = {
        {"sub, default strategy", PNG_FILTER_SUB, Z_DEFAULT_STRATEGY},
        {"sub, run-length", PNG_FILTER_SUB, Z_RLE},
        {"none, default strategy", PNG_FILTER_NONE, Z_DEFAULT_STRATEGY},
        {"none, run-length", PNG_FILTER_NONE, Z_RLE},
        {"up, run-length", PNG_FILTER_UP, Z_RLE},
    };
    for (const Setting& s : settings) {
        size_t bytes = 0;
        const double start = CpuSeconds();
        for (const Frame& frame : frames)
            bytes += Encode(frame, s.filter, s.strategy);
        std::printf("%-28s %7.2f ms/frame CPU %9zu bytes/frame\n", s.name,
                    (CpuSeconds() - start) * 1000.0 / frames.size(), bytes / frames.size());
    }
    return 0;
}
