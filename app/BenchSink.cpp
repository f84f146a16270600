// The benchmark sink: production frames and empty frames timed side by side, then the report.
#include "app/BenchSink.h"

#include <cstdio>

#include "app/FillRate.h"
#include "app/PlaybackController.h"
#include "engine/core/Fatal.h"
#include "engine/device/Font.h"
#include "engine/device/RenderDevice.h"
#include "engine/device/Texture.h"
#include "script/Timeline.h"

namespace {

// One empty frame after this many of the production's.
constexpr long kFramesPerEmptyFrame = 8;
// The floor is measured on at least this many empty frames.
constexpr long kLeastEmptyFrames = 100;
// Fill and GPU time are counted on one production frame of this many.
constexpr long kFramesPerMeasuredFrame = 16;
// The fill-rate round is timed once it lasts this long.
constexpr double kFillRoundSeconds = 0.25;
// The textured round samples a texture of this edge.
constexpr int kFillTextureEdge = 256;

}  // namespace

BenchSink::BenchSink(RenderDevice& device, Font& font, const PlaybackController& playback, double fixedStepFps,
                     std::string jsonPath, BenchClock& clock)
    : device_(device), font_(font), playback_(playback), fixedStepFps_(fixedStepFps),
      jsonPath_(std::move(jsonPath)), clock_(clock), recorder_(clock)
{
    recorder_.MeasureWith(&device_, static_cast<double>(device_.GetWidth()) * device_.GetHeight(),
                          kFramesPerMeasuredFrame);
}

void BenchSink::OnFrame(const PresentedFrame&)
{
    recorder_.PictureDone();
}

void BenchSink::BeforeFrame()
{
    // A seek or loop brings a new timeline: its layers are timed as well.
    if (Timeline* timeline = playback_.GetTimeline())
        timeline->GetLayers().SetFrameObserver(&recorder_);
    recorder_.BeginFrame(false);
}

void BenchSink::AfterPresent(const PresentedFrame& frame)
{
    recorder_.EndFrame();
    if (frame.ordinal == 0)
        startupMs_ = MillisecondsSinceProcessStart();
    if ((frame.ordinal + 1) % kFramesPerEmptyFrame == 0)
        EmptyFrame();
}

void BenchSink::EmptyFrame()
{
    recorder_.BeginFrame(true);
    device_.BeginScene();
    device_.EndScene();
    font_.Print(nullptr, 10, 10, " ");
    device_.Present(0);
    device_.Clear(0);
    recorder_.EndFrame();
}

void BenchSink::Finish()
{
    while (recorder_.GetEmptyFrames() < kLeastEmptyFrames)
        EmptyFrame();
    recorder_.CollectMeasures(true);
    // After the production, so its frames and this round never share the device's state.
    const double flat = MeasureFillRate(device_, clock_, kFillRoundSeconds).fragmentsPerSecond;
    // A render target needs no image file; what its texels hold does not change the cost.
    Texture* sampled = device_.CreateTexture();
    sampled->CreateRenderTarget(kFillTextureEdge);
    const double textured = MeasureFillRate(device_, clock_, kFillRoundSeconds, 4096, sampled).fragmentsPerSecond;
    device_.SetTexture(0, nullptr);
    device_.DestroyTexture(sampled);
    recorder_.SetFillRate(flat, textured);
    BenchFigures figures = recorder_.Compute();
    figures.fill.softwareTimer = figures.fill.timed && !device_.IsHardware();
    figures.mode = std::to_string(device_.GetWidth()) + "x" + std::to_string(device_.GetHeight()) + "x" +
                   std::to_string(device_.GetBitsPerPixel());
    figures.fixedStepFps = fixedStepFps_;
    figures.startupMs = startupMs_;
    figures.peakResidentMb = PeakResidentMegabytes();
    std::fputs(FormatBenchText(figures).c_str(), stdout);
    std::fflush(stdout);
    if (!jsonPath_.empty()) {
        const std::string json = FormatBenchJson(figures);
        std::FILE* file = std::fopen(jsonPath_.c_str(), "wb");
        const bool written = file != nullptr && std::fwrite(json.data(), 1, json.size(), file) == json.size();
        const bool closed = file != nullptr && std::fclose(file) == 0;
        if (!written || !closed)
            RaiseAppError("Cannot write [%s].", jsonPath_.c_str());
    }
}
