// Desktop outputs: the PNG capture, the video export and the progress line as frame sinks.
#include "app/OutputSinks.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/CommandLine.h"
#include "app/FrameCapture.h"
#include "app/PlaybackController.h"
#include "app/ProgressLine.h"
#include "app/VideoExport.h"
#include "engine/core/Fatal.h"
#include "engine/device/RenderDevice.h"
#include "script/Timeline.h"

namespace {

// Read-backs still being copied before the oldest is waited for.
constexpr size_t kReadBacksInFlight = 2;

class CaptureSink final : public FrameSink {
public:
    CaptureSink(const std::string& folder, RenderDevice& device) : capture_(folder), device_(device) {}

    void OnFrame(const PresentedFrame& frame) override
    {
        // Files are named by production frame: a run that starts part-way or seeks
        // finishes what is queued and numbers on from the frame it is at.
        if (frame.index != capture_.GetFrameCount() + static_cast<long>(device_.GetQueuedReadBacks())) {
            WriteQueued(true);
            capture_.Restart(frame.index);
        }
        device_.QueueReadBack();
        notPresented_ = true;
        // Frames already copied go to the encoders; beyond a few in flight the oldest is
        // waited for, so the copies run behind the drawing without piling up.
        WriteQueued(false);
    }
    void AfterPresent(const PresentedFrame&) override { notPresented_ = false; }
    void Finish() override
    {
        WriteQueued(true);
        capture_.Finish();
    }
    void Abandon() noexcept override
    {
        // Every presented frame is written, as after a normal end; one queued but never
        // shown is not.
        try {
            std::vector<uint8_t> frame;
            const size_t presented = device_.GetQueuedReadBacks() - (notPresented_ ? 1 : 0);
            for (size_t k = 0; device_.TakeReadBack(frame, true); ++k)
                if (k < presented)
                    Write(std::move(frame));
            capture_.Finish();
        } catch (...) {
            // The first error is the one reported; the capture keeps its whole frames.
        }
    }

private:
    void WriteQueued(bool all)
    {
        std::vector<uint8_t> frame;
        while (device_.TakeReadBack(frame, all || device_.GetQueuedReadBacks() > kReadBacksInFlight))
            Write(std::move(frame));
    }
    void Write(std::vector<uint8_t> frame)
    {
        if (!frame.empty())
            capture_.WriteFrame(std::move(frame), device_.GetWidth(), device_.GetHeight());
    }

    FrameCapture capture_;
    RenderDevice& device_;
    bool notPresented_ = false;
};

class VideoSink final : public FrameSink {
public:
    VideoSink(const CommandLineOptions& options, const PlaybackController& playback, double length,
              RenderDevice& device)
        : device_(device)
    {
        const PlaybackSection& section = playback.GetSection();
        if (length <= 0.0)
            RaiseAppError("Cannot export the video [%s] : the production never ends (no END in "
                          "the script); limit it with --frames.",
                          options.videoPath.c_str());
        const long firstFrame = section.FirstFrame(options.fps);
        VideoEncoding encoding;
        encoding.width = device.GetWidth();
        encoding.height = device.GetHeight();
        encoding.fps = options.fps;
        encoding.quality = options.videoQuality;
        encoding.soundStart = static_cast<double>(firstFrame) / options.fps;
        // The picture at the stop time itself belongs to the next, unplayed interval.
        const double pictures = std::ceil(length * options.fps - 1e-6) - static_cast<double>(firstFrame);
        pictures_ = static_cast<long>(std::clamp(pictures, 1.0, static_cast<double>(std::numeric_limits<long>::max() / 2)));
        video_ = std::make_unique<VideoExport>(options.videoPath, encoding, playback.GetTimeline()->GetMusicData());
    }

    void OnFrame(const PresentedFrame& frame) override
    {
        // The frame in which the script ends shows nothing of the production.
        if (frame.playing && frame.ordinal < pictures_)
            video_->AddFrame(device_.ReadBackBuffer());
    }
    void Finish() override { video_->Finish(); }
    void Abandon() noexcept override { video_.reset(); }

private:
    RenderDevice& device_;
    std::unique_ptr<VideoExport> video_;
    long pictures_ = 0;  // pictures that fall inside the production's length
};

class ProgressSink final : public FrameSink {
public:
    ProgressSink(std::FILE* out, double length, double start) : line_(out, length, {}, start) {}
    void OnFrame(const PresentedFrame&) override {}
    void AfterPresent(const PresentedFrame& frame) override
    {
        if (frame.playing)
            line_.Update(frame.productionTime, frame.ordinal + 1);
    }
    void Finish() override { line_.Finish(); }
    void Abandon() noexcept override {}

private:
    ProgressLine line_;
};

}  // namespace

void AddCaptureSink(FrameSinkList& sinks, const CommandLineOptions& options, RenderDevice& device)
{
    if (!options.captureDir.empty())
        sinks.Add(std::make_unique<CaptureSink>(options.captureDir, device));
}

void AddExportSinks(FrameSinkList& sinks, const CommandLineOptions& options, const PlaybackController& playback,
                    RenderDevice& device)
{
    if (options.videoPath.empty() && options.captureDir.empty() && !options.bench)
        return;
    const PlaybackSection& section = playback.GetSection();
    const double length = section.StopTime(playback.GetScript(), options.fps, options.frames);
    if (!options.videoPath.empty())
        sinks.Add(std::make_unique<VideoSink>(options, playback, length, device));
    // Log lines on the console would tear the line apart.
    std::FILE* out = ProgressLine::StandardErrorIfTerminal(options.quiet || options.logWindow);
    sinks.Add(std::make_unique<ProgressSink>(out, length, section.start));
}
