// Export of the rendered production to a video file through the ffmpeg program.
#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "app/ChildProcess.h"
#include "app/VideoFormat.h"

class VideoExport {
public:
    // Starts ffmpeg writing to a temporary file beside path (format by path's extension);
    // soundtrack holds the music file's bytes, empty for a silent video. An application
    // error naming the cause when ffmpeg cannot be started. An ffmpeg that takes nothing
    // for stall, or has not ended stall after the last picture, is taken for hung: it is
    // stopped and the export fails.
    VideoExport(const std::string& path, const VideoEncoding& encoding,
                std::vector<uint8_t> soundtrack, std::chrono::milliseconds stall = std::chrono::minutes(2));
    // Unfinished: ffmpeg is stopped and the temporary file removed; the final name is
    // never touched.
    ~VideoExport();
    VideoExport(const VideoExport&) = delete;
    VideoExport& operator=(const VideoExport&) = delete;

    // One picture: RGB rows, top first, width * height * 3 bytes.
    void AddFrame(const std::vector<uint8_t>& rgb);
    // Ends the video: waits for ffmpeg and moves the file to its final name. An
    // application error naming the cause when ffmpeg failed, the disk is full or the
    // soundtrack could not be sent whole; Interrupted (the export abandoned) when a stop
    // signal arrives meanwhile.
    void Finish();

    long GetFrameCount() const { return frames_; }
    const std::string& GetTemporaryPath() const { return temporaryPath_; }

private:
    [[noreturn]] void Fail(const std::string& cause);
    void Abandon();
    void StopFeedingSound();

    std::string path_;
    std::string temporaryPath_;
    VideoEncoding encoding_;
    std::vector<uint8_t> soundtrack_;
    BrokenPipeIgnored brokenPipeIgnored_;
    ChildProcess ffmpeg_;
    std::thread soundFeeder_;
    int stallMs_;
    std::atomic<bool> picturesDone_{false};  // the last picture was sent
    std::atomic<int> soundError_{0};         // errno of a failed sound write, 0 when none
    bool finished_ = false;
    long frames_ = 0;
};

// Why ffmpeg failed, from its exit status and error output: the disk being full is named
// as such, otherwise the status and ffmpeg's last message.
std::string DescribeFfmpegFailure(bool exited, int code, const std::string& errorOutput);
