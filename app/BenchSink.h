// The benchmark as a frame sink: times every frame, adds the empty frames, reports at the end.
#pragma once
#include <string>

#include "app/Benchmark.h"
#include "app/FrameSink.h"

class Font;
class PlaybackController;
class RenderDevice;

class BenchSink final : public FrameSink {
public:
    // jsonPath: where the figures also go as JSON (empty: the text report only).
    BenchSink(RenderDevice& device, Font& font, const PlaybackController& playback, double fixedStepFps,
              std::string jsonPath, BenchClock& clock);

    void BeforeFrame() override;
    void OnFrame(const PresentedFrame&) override;
    void AfterPresent(const PresentedFrame& frame) override;
    // A short run still measures its floor on enough frames; then the report.
    void Finish() override;
    void Abandon() noexcept override {}

private:
    // A frame that draws nothing and leaves the demo clock where it is (the floor).
    void EmptyFrame();

    RenderDevice& device_;
    Font& font_;
    const PlaybackController& playback_;
    double fixedStepFps_;
    std::string jsonPath_;
    BenchClock& clock_;
    BenchRecorder recorder_;
    double startupMs_ = -1.0;
};
