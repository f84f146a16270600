// Capture of presented frames as numbered PNG files.
#include "app/FrameCapture.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "engine/core/Fatal.h"

namespace {

struct PngWriteState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWriteState()
    {
        if (png)
            png_destroy_write_struct(&png, info ? &info : nullptr);
    }
};

void PngError(png_structp png, png_const_charp message)
{
    auto* error = static_cast<std::string*>(png_get_error_ptr(png));
    if (error)
        *error = message ? message : "libpng error";
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

struct FileCloser {
    void operator()(std::FILE* f) const
    {
        if (f)
            std::fclose(f);
    }
};

}  // namespace

bool WriteRgbPng(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height,
                 std::string& error)
{
    if (width <= 0 || height <= 0 ||
        rgb.size() < static_cast<size_t>(width) * static_cast<size_t>(height) * 3) {
        error = "bad image size";
        return false;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        error = std::string("cannot create the file: ") + std::strerror(errno);
        return false;
    }
    PngWriteState state;
    state.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, PngError, PngWarning);
    if (!state.png) {
        error = "out of memory";
        return false;
    }
    state.info = png_create_info_struct(state.png);
    if (!state.info) {
        error = "out of memory";
        return false;
    }
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[y] = const_cast<png_bytep>(rgb.data() + static_cast<size_t>(y) * width * 3);
    if (setjmp(png_jmpbuf(state.png)))
        return false;
    png_init_io(state.png, file.get());
    png_set_IHDR(state.png, state.info, static_cast<png_uint_32>(width),
                 static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(state.png, 3);
    png_write_info(state.png, state.info);
    png_write_image(state.png, rows.data());
    png_write_end(state.png, nullptr);
    // A full disk shows only when the buffered bytes go out, at the flush or the close.
    if (std::fflush(file.get()) != 0 || std::fclose(file.release()) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

FrameCapture::FrameCapture(const std::string& folder)
    : folder_(folder)
{
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (!std::filesystem::is_directory(folder_, ec))
        RaiseAppError("Cannot create the capture folder [%s].", folder_.c_str());
}

std::string FrameCapture::FramePath(long index) const
{
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06ld.png", index);
    return (std::filesystem::path(folder_) / name).string();
}

void FrameCapture::WriteFrame(const std::vector<uint8_t>& rgb, int width, int height)
{
    // Written under a temporary name and renamed when complete: an error or a stop
    // never leaves a partial frame under the final name.
    const std::string path = FramePath(next_);
    const std::string partial = path + ".part";
    std::string error;
    bool written = WriteRgbPng(partial, rgb, width, height, error);
    if (written && std::rename(partial.c_str(), path.c_str()) != 0) {
        error = std::strerror(errno);
        written = false;
    }
    if (!written) {
        std::remove(partial.c_str());
        RaiseAppError("Cannot write [%s] : %s", path.c_str(), error.c_str());
    }
    ++next_;
}
