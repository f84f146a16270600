// Capture of presented frames as numbered PNG files, encoded on worker threads.
#include "app/FrameCapture.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>

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

void PngAppend(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void PngFlush(png_structp) {}

// The bytes as the whole of the file at path; on failure the file is removed.
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = std::string("cannot create the file (") + std::strerror(errno) + ")";
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int savedErrno = errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        error = std::strerror(savedErrno);
        std::remove(path.c_str());
    }
    return ok;
}

}  // namespace

bool EncodeRgbPng(const std::vector<uint8_t>& rgb, int width, int height, std::vector<uint8_t>& png,
                  std::string& error)
{
    if (width <= 0 || height <= 0 ||
        rgb.size() < static_cast<size_t>(width) * static_cast<size_t>(height) * 3) {
        error = "bad image size";
        return false;
    }
    png.clear();
    // Roughly what a frame compresses to, so the buffer seldom grows.
    png.reserve(static_cast<size_t>(width) * height);
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
    png_set_write_fn(state.png, &png, PngAppend, PngFlush);
    png_set_IHDR(state.png, state.info, static_cast<png_uint_32>(width),
                 static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Speed over size: one filter for every row (no trial of all five), zlib's fastest level
    // and run-length matching only (on the production's frames about a third less CPU than
    // full matching, and no larger); the pixels are the same either way.
    png_set_filter(state.png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_level(state.png, 1);
    png_set_compression_strategy(state.png, Z_RLE);
    png_write_info(state.png, state.info);
    png_write_image(state.png, rows.data());
    png_write_end(state.png, nullptr);
    return true;
}

bool WriteFileWhole(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error)
{
    const std::string temporary = path + ".part";
    if (!WriteBytes(temporary, bytes, error))
        return false;
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = std::string("cannot rename the finished file (") + std::strerror(errno) + ")";
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool WriteRgbPng(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height,
                 std::string& error)
{
    std::vector<uint8_t> png;
    return EncodeRgbPng(rgb, width, height, png, error) && WriteFileWhole(path, png, error);
}

FrameCapture::FrameCapture(const std::string& folder, unsigned threads)
    : folder_(folder)
{
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (!std::filesystem::is_directory(folder_, ec))
        RaiseAppError("Cannot create the capture folder [%s].", folder_.c_str());
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    // Enough frames waiting that no worker idles, few enough to bound the memory they take.
    capacity_ = 2 * static_cast<size_t>(threads);
    for (unsigned i = 0; i < threads; ++i)
        workers_.emplace_back([this] { WorkerLoop(); });
}

FrameCapture::~FrameCapture()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        queue_.clear();
    }
    changed_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

std::string FrameCapture::FramePath(long index) const
{
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06ld.png", index);
    return (std::filesystem::path(folder_) / name).string();
}

void FrameCapture::WriteFrame(std::vector<uint8_t> rgb, int width, int height)
{
    RaiseIfFailed();
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return queue_.size() < capacity_ || !error_.empty(); });
        if (error_.empty())
            queue_.push_back(Job{next_++, std::move(rgb), width, height});
    }
    changed_.notify_all();
    RaiseIfFailed();
}

void FrameCapture::Finish()
{
    {
        std::unique_lock<std::mutex> lock(mutex_);
        // Even after a failure: frames still with the workers remove their temporary files
        // only when they are done, and nothing may be left behind once this returns.
        changed_.wait(lock, [this] { return finished_ == next_; });
    }
    RaiseIfFailed();
}

void FrameCapture::Restart(long index)
{
    Finish();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        next_ = nextRename_ = finished_ = index;
    }
}

void FrameCapture::RaiseIfFailed()
{
    std::string error;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        error = error_;
        // Frames still with the workers remove their temporary files when they are done:
        // once the error is raised, nothing of the capture may be left behind.
        if (!error.empty())
            changed_.wait(lock, [this] { return finished_ == next_; });
    }
    if (!error.empty())
        RaiseAppError("%s", error.c_str());
}

void FrameCapture::WorkerLoop()
{
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_)
                return;
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        changed_.notify_all();  // room in the queue
        Write(job);
    }
}

void FrameCapture::Write(Job& job)
{
    const std::string path = FramePath(job.index);
    const std::string temporary = path + ".part";
    std::vector<uint8_t> png;
    std::string reason;
    bool ok = EncodeRgbPng(job.rgb, job.width, job.height, png, reason) && WriteBytes(temporary, png, reason);
    job.rgb = std::vector<uint8_t>();  // the pixels are no longer needed while waiting below

    // The finished file takes its final name only after every frame before it did, so the
    // folder never shows a frame with a gap before it.
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return nextRename_ == job.index || stopping_; });
    if (ok && error_.empty() && !stopping_ && std::rename(temporary.c_str(), path.c_str()) != 0) {
        reason = std::string("cannot rename the finished file (") + std::strerror(errno) + ")";
        ok = false;
    }
    if (!ok && error_.empty() && !stopping_)
        error_ = "Cannot write [" + path + "] : " + reason;
    if (!ok || !error_.empty() || stopping_)
        std::remove(temporary.c_str());
    ++nextRename_;
    ++finished_;
    lock.unlock();
    changed_.notify_all();
}
