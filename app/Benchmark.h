// Benchmark mode: frame times, CPU time per layer type, the empty-frame rate and the report.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/device/RenderDevice.h"
#include "engine/layers/LayerStack.h"

struct CommandLineOptions;
struct Script;

// The clocks a benchmark reads, in seconds (replaced in tests).
class BenchClock {
public:
    virtual ~BenchClock() = default;
    virtual double Wall();       // monotonic
    virtual double ThreadCpu();  // CPU time of the calling thread
};

// The part of the production a benchmark plays, in seconds of the demo clock.
struct BenchSection {
    float start = 0.0f;
    float end = 0.0f;  // where the script's END stands (0 when it has none)
};
// The one place the section is chosen: the whole production, narrowed by --start and --end.
BenchSection ChooseBenchSection(const CommandLineOptions& options, const Script& script);

struct LayerTypeTime {
    std::string type;
    double cpuSeconds = 0.0;  // main thread, summed over the run
    double share = 0.0;       // of the summed frame (wall) time
    double gpuSeconds = 0.0;  // graphics processor, summed (when the device has timers)
    double fillScreens = 0.0; // fragments drawn per production frame, in screens
};

// What the fill costs: the production's fragments against the machine's fill rate.
struct FillFigures {
    bool counted = false;  // the device counts fragments (otherwise the fill is unknown)
    bool timed = false;    // the device has GPU timers
    double screensPerFrame = 0.0;    // fragments per production frame / pixels of the mode
    double fragmentsPerSecond = 0.0; // calibrated on full-screen blended quads; 0 unknown
    double fillLimitedFps = 0.0;     // the frame rate the fill alone allows; 0 unknown
    double shareOfFillLimit = 0.0;   // the production's frame rate as a share of it
    double gpuMsPerFrame = 0.0;      // GPU time per production frame
    bool softwareTimer = false;      // timed by a software renderer (empty spans read milliseconds)
    // The same quads sampling a filtered texture, as nearly every layer's fragments do: on a
    // renderer whose cost is the shading more than the count, this rate is the nearer limit.
    double texturedFragmentsPerSecond = 0.0;  // 0 unknown
    double texturedFillLimitedFps = 0.0;
    double shareOfTexturedFillLimit = 0.0;
};

// The device's draw counters per production frame (empty frames left out).
struct DrawFigures {
    bool counted = false;  // the device counts its draws
    double sent = 0.0, invisible = 0.0, offScreen = 0.0, uniforms = 0.0, writeBacks = 0.0;
    double covered = 0.0, depthOnlyClears = 0.0;
};

struct BenchFigures {
    std::string mode;  // "640x480x32"
    double fixedStepFps = 0.0;
    long frames = 0;
    double seconds = 0.0;  // wall time of the production's frames, summed
    double framesPerSecond = 0.0;
    double medianMs = 0.0, p95Ms = 0.0, p99Ms = 0.0, maxMs = 0.0;
    long emptyFrames = 0;
    double emptyFramesPerSecond = 0.0;
    double ratio = 0.0;  // framesPerSecond / emptyFramesPerSecond
    double startupMs = -1.0;  // process start to the first frame presented; < 0 unknown
    double peakResidentMb = -1.0;
    std::vector<LayerTypeTime> layers;  // largest first
    double otherCpuSeconds = 0.0;       // main-thread frame CPU outside the layers
    double otherShare = 0.0;
    double otherGpuSeconds = 0.0;   // GPU time outside the layers (read-outs)
    double otherFillScreens = 0.0;  // fill outside the layers, screens per frame
    FillFigures fill;
    DrawFigures draws;
};

// The frame rate the fill alone allows: fragmentsPerSecond over the fragments of a frame
// (screensPerFrame x screenPixels); 0 when either is unknown or nothing is drawn.
double FillLimitedRate(double fragmentsPerSecond, double screensPerFrame, double screenPixels);

// Value at fraction q (0..1) of the sorted times: the median averages the two middle values,
// the other quantiles take the nearest rank. 0 for no times.
double Quantile(std::vector<double> times, double q);

// Collects one run: frames of the production with an empty frame (one that draws nothing)
// after every few, so both rates see the same machine at the same moments.
class BenchRecorder : public LayerFrameObserver {
public:
    explicit BenchRecorder(BenchClock& clock);
    // Counts the fragments and GPU time of every layer through device (not owned) on one
    // production frame of every `every` from the next frame on (measuring splits the draw
    // batches, so it is kept off most frames); screenPixels converts fragments into screens.
    void MeasureWith(RenderDevice* device, double screenPixels, long every = 1);
    // The production's picture is finished (before the read-outs go to Present).
    void PictureDone();
    // Takes the spans whose counts are in (all of them with wait).
    void CollectMeasures(bool wait);
    // The machine's fill rates in fragments per second, untextured and textured (calibrated
    // by the caller; 0 for unknown).
    void SetFillRate(double fragmentsPerSecond, double texturedFragmentsPerSecond = 0.0)
    {
        fillRate_ = fragmentsPerSecond;
        texturedFillRate_ = texturedFragmentsPerSecond;
    }

    void BeginFrame(bool empty = false);
    void EndFrame();
    void BeforeLayerFrame(const Layer& layer) override;
    void AfterLayerFrame(const Layer& layer) override;

    long GetFrames() const { return static_cast<long>(frameSeconds_.size()); }
    long GetEmptyFrames() const { return emptyFrames_; }
    // Wall seconds of the production's frames so far.
    double ProductionSeconds() const { return productionSeconds_; }

    BenchFigures Compute() const;

private:
    BenchClock& clock_;
    std::vector<double> frameSeconds_;
    bool empty_ = false;
    double frameStartWall_ = 0.0;
    double frameStartCpu_ = 0.0;
    double frameCpuTotal_ = 0.0;
    double layerStartCpu_ = 0.0;
    std::map<std::string, double> layerCpu_;
    double productionSeconds_ = 0.0;
    double emptySeconds_ = 0.0;
    long emptyFrames_ = 0;

    // Span tags: 0 is everything outside the layers, n the n-th layer type seen.
    uint32_t TagOf(const std::string& type);
    RenderDevice* measured_ = nullptr;
    double screenPixels_ = 0.0;
    long measureEvery_ = 1;
    bool measuring_ = false;  // this frame is measured
    long measuredFrames_ = 0;
    std::vector<std::string> tagTypes_{""};
    std::map<std::string, uint32_t> tags_;
    std::vector<uint64_t> tagSamples_{0};
    std::vector<double> tagGpu_{0.0};
    std::vector<RenderDevice::MeasuredSpan> spans_;
    RenderDevice::DrawCounters frameStartCounters_;
    RenderDevice::DrawCounters productionCounters_;  // summed over the production's frames
    double fillRate_ = 0.0;
    double texturedFillRate_ = 0.0;
};

// The report printed on stdout.
std::string FormatBenchText(const BenchFigures& figures);
// The same figures as one JSON object.
std::string FormatBenchJson(const BenchFigures& figures);

// Milliseconds since this process started (10 ms resolution); < 0 when unknown.
double MillisecondsSinceProcessStart();
// Peak resident memory of this process in MiB; < 0 when unknown.
double PeakResidentMegabytes();
