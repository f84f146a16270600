// Video export: frames and the soundtrack's bytes go to ffmpeg through pipes, under a temporary name.
#include "app/VideoExport.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "engine/core/Fatal.h"
#include "engine/core/Interrupt.h"

namespace {

constexpr size_t kMessageCut = 300;

std::string LastLine(const std::string& text)
{
    size_t end = text.find_last_not_of(" \t\r\n");
    if (end == std::string::npos)
        return {};
    const size_t start = text.rfind('\n', end);
    std::string line = text.substr(start == std::string::npos ? 0 : start + 1,
                                   end + 1 - (start == std::string::npos ? 0 : start + 1));
    if (line.size() > kMessageCut)
        line = line.substr(0, kMessageCut) + "...";
    return line;
}

// Beside the final file, so that the last step is a rename on the same file system.
std::string TemporaryName(const std::string& path)
{
    return path + "." + std::to_string(getpid()) + ".part";
}

}  // namespace

std::string DescribeFfmpegFailure(bool exited, int code, const std::string& errorOutput)
{
    const std::string last = LastLine(errorOutput);
    if (errorOutput.find("No space left on device") != std::string::npos)
        return "the disk is full (ffmpeg: " + last + ")";
    std::string cause = exited ? "ffmpeg failed with exit status " + std::to_string(code)
                               : "ffmpeg was killed by signal " + std::to_string(code);
    if (!last.empty())
        cause += ": " + last;
    return cause;
}

namespace {

// "2 s", "0.3 s": a duration for a message.
std::string Seconds(int milliseconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g s", milliseconds / 1000.0);
    return text;
}

}  // namespace

VideoExport::VideoExport(const std::string& path, const VideoEncoding& encoding,
                         std::vector<uint8_t> soundtrack, std::chrono::milliseconds stall)
    : path_(path), temporaryPath_(TemporaryName(path)), encoding_(encoding),
      soundtrack_(std::move(soundtrack)), stallMs_(static_cast<int>(stall.count()))
{
    const VideoFormat* format = FindVideoFormat(path_);
    if (format == nullptr)
        Fail("the file name must end in .mp4, .mkv or .webm");
    encoding_.withSound = !soundtrack_.empty();

    std::string error;
    if (!ffmpeg_.Start(FfmpegArguments(*format, encoding_, temporaryPath_), encoding_.withSound, error)) {
        if (errno == ENOENT)
            Fail("the ffmpeg program was not found; install ffmpeg to export videos");
        Fail("ffmpeg could not be started (" + error + ")");
    }
    if (encoding_.withSound) {
        // Its own thread: ffmpeg reads sound and pictures in the order of their time
        // stamps, so feeding both from one thread could wait on a full pipe forever.
        soundFeeder_ = std::thread([this, fd = ffmpeg_.TakeExtraInput()] {
            if (WriteAll(fd.Get(), soundtrack_.data(), soundtrack_.size(), stallMs_))
                return;
            // ffmpeg closes the sound's pipe when it ends; before the last picture that
            // means the soundtrack was cut.
            const int error = errno;
            if (error != EPIPE || !picturesDone_)
                soundError_ = error;
        });
    }
}

VideoExport::~VideoExport()
{
    if (!finished_)
        Abandon();
}

void VideoExport::StopFeedingSound()
{
    if (soundFeeder_.joinable())
        soundFeeder_.join();
}

void VideoExport::Abandon()
{
    ffmpeg_.Kill();  // also ends the sound feeder's write with a broken pipe
    StopFeedingSound();
    std::error_code ignored;
    std::filesystem::remove(temporaryPath_, ignored);
    finished_ = true;
}

void VideoExport::Fail(const std::string& cause)
{
    Abandon();
    RaiseAppError("Cannot export the video [%s] : %s.", path_.c_str(), cause.c_str());
}

void VideoExport::AddFrame(const std::vector<uint8_t>& rgb)
{
    if (finished_)
        return;
    const size_t expected = static_cast<size_t>(encoding_.width) * encoding_.height * 3;
    if (rgb.size() != expected)
        Fail("a picture of " + std::to_string(rgb.size()) + " bytes arrived where " +
             std::to_string(expected) + " were expected");
    if (!WriteAll(ffmpeg_.InputFd(), rgb.data(), rgb.size(), stallMs_)) {
        const int writeError = errno;
        if (writeError == ETIMEDOUT)
            Fail("ffmpeg took no picture for " + Seconds(stallMs_) + "; it was stopped");
        const ChildProcess::Status status = ffmpeg_.Wait();
        if (writeError == EPIPE && !(status.exited && status.code == 0))
            Fail(DescribeFfmpegFailure(status.exited, status.code, ffmpeg_.GetErrorOutput()));
        Fail(std::string("cannot send pictures to ffmpeg (") + std::strerror(writeError) + ")");
    }
    ++frames_;
}

void VideoExport::Finish()
{
    if (finished_)
        return;
    if (frames_ == 0)
        Fail("the production ended before its first picture");
    picturesDone_ = true;
    // A stop signal does not wait for the encoder: the export is abandoned at once.
    const ChildProcess::Status status = ffmpeg_.Wait(stallMs_, [] { return InterruptRequested() != 0; });
    StopFeedingSound();
    if (status.stopped) {
        Abandon();
        throw Interrupted(InterruptRequested());
    }
    if (status.timedOut)
        Fail("ffmpeg had not finished " + Seconds(stallMs_) + " after the last picture; it was stopped");
    if (status.lost)
        Fail("the end of ffmpeg could not be observed (its exit status was lost)");
    if (!status.exited || status.code != 0)
        Fail(DescribeFfmpegFailure(status.exited, status.code, ffmpeg_.GetErrorOutput()));
    if (const int error = soundError_.load(); error != 0)
        Fail(error == ETIMEDOUT ? "ffmpeg took no sound for " + Seconds(stallMs_)
                                : std::string("cannot send the soundtrack to ffmpeg (") + std::strerror(error) + ")");
    std::error_code error;
    std::filesystem::rename(temporaryPath_, path_, error);
    if (error)
        Fail("cannot rename [" + temporaryPath_ + "] to it (" + error.message() + ")");
    finished_ = true;
}
