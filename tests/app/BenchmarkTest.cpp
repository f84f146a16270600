// Benchmark figures: quantiles, per-layer-type CPU shares, the empty floor and the reports.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "app/Benchmark.h"
#include "app/CommandLine.h"
#include "engine/layers/Layer.h"
#include "engine/layers/LayerRegistry.h"
#include "script/ScriptData.h"
#include "support/RecordingDevice.h"

namespace {

// Clocks that move only when the test says so.
class StepClock : public BenchClock {
public:
    double Wall() override { return wall; }
    double ThreadCpu() override { return cpu; }
    void Spend(double seconds, double cpuSeconds)
    {
        wall += seconds;
        cpu += cpuSeconds;
    }
    double wall = 100.0, cpu = 5.0;
};

class NamedLayer : public Layer {
public:
    NamedLayer(RenderDevice& device, const std::string& type) : Layer(device, {}) { SetTypeName(type); }
    void Init() override {}
    void Release() override {}

protected:
    void Render() override {}
};

// A device whose spans get the fragments and GPU time the test says were drawn; counts of
// the newest span are still "in flight" until a waiting take.
class MeasuringDevice : public RecordingDevice {
public:
    using RecordingDevice::RecordingDevice;
    MeasureSupport GetMeasureSupport() const override { return support; }
    void BeginMeasure(uint32_t tag) override
    {
        EndMeasure();
        open = true;
        current = {tag, 0, 0.0};
        ++begun;
    }
    void EndMeasure() override
    {
        if (open)
            ended.push_back(current);
        open = false;
    }
    void TakeMeasures(std::vector<MeasuredSpan>& out, bool wait) override
    {
        const size_t ready = wait || ended.empty() ? ended.size() : ended.size() - 1;
        out.insert(out.end(), ended.begin(), ended.begin() + static_cast<long>(ready));
        ended.erase(ended.begin(), ended.begin() + static_cast<long>(ready));
    }
    void Drew(uint64_t samples, double gpuSeconds)
    {
        current.samples += samples;
        current.gpuSeconds += gpuSeconds;
    }

    DrawCounters GetDrawCounters() const override { return counters; }

    MeasureSupport support{true, true};
    DrawCounters counters;
    MeasuredSpan current;
    bool open = false;
    int begun = 0;
    std::vector<MeasuredSpan> ended;
};

}  // namespace

TEST(Benchmark, FillAndGpuTimeAreCountedPerLayerTypeAndAgainstTheFillRate)
{
    // Measured on every frame, and on every second one: the same frames give the same figures.
    for (long every : {1L, 2L}) {
        SCOPED_TRACE(every);
        StepClock clock;
        BenchRecorder recorder(clock);
        MeasuringDevice device(10, 10);  // 100 pixels a screen
        recorder.MeasureWith(&device, 100.0, every);
        NamedLayer image(device, "GFXLayer"), water(device, "WaterText"), second(device, "GFXLayer");
        int frame = 0;
        // Per frame: GFXLayer 150 + 100 fragments (1 ms GPU each), WaterText 50 (0.5 ms), the
        // read-outs after the layers 20 (0.25 ms). Frames of 10 and 30 ms wall.
        for (double frameMs : {10.0, 30.0}) {
            const int begunAtStart = device.begun;
            recorder.BeginFrame(false);
            const std::tuple<NamedLayer*, int, double> draws[] = {
                {&image, 150, 0.001}, {&water, 50, 0.0005}, {&second, 100, 0.001}};
            for (auto [layer, samples, gpu] : draws) {
                recorder.BeforeLayerFrame(*layer);
                device.Drew(samples, gpu);
                recorder.AfterLayerFrame(*layer);
            }
            device.Drew(20, 0.00025);
            recorder.PictureDone();
            clock.Spend(frameMs / 1000.0, 0.0);
            recorder.EndFrame();
            // A measured frame opens one span before, after and around each of its 3 layers.
            EXPECT_EQ(device.begun - begunAtStart, frame % every == 0 ? 7 : 0) << "frame " << frame;
            ++frame;
            // The empty frame is neither counted nor measured.
            const int begunBefore = device.begun;
            recorder.BeginFrame(true);
            device.Drew(1000, 1.0);
            recorder.PictureDone();
            clock.Spend(0.001, 0.0);
            recorder.EndFrame();
            EXPECT_EQ(device.begun, begunBefore);
        }
        recorder.CollectMeasures(true);
        EXPECT_TRUE(device.ended.empty());
        recorder.SetFillRate(3200.0, 1280.0);
        const BenchFigures f = recorder.Compute();

        EXPECT_TRUE(f.fill.counted);
        EXPECT_TRUE(f.fill.timed);
        // (250 + 50 + 20) fragments a frame over 100 pixels.
        EXPECT_NEAR(f.fill.screensPerFrame, 3.2, 1e-9);
        // 3200 fragments/s over 320 a frame: 10 frames/s; two frames in 40 ms are 50 frames/s.
        EXPECT_NEAR(f.fill.fillLimitedFps, 10.0, 1e-9);
        EXPECT_NEAR(f.fill.shareOfFillLimit, 5.0, 1e-9);
        // Textured: 1280 fragments/s over 320 a frame: 4 frames/s, of which 50 is 12.5 times.
        EXPECT_NEAR(f.fill.texturedFillLimitedFps, 4.0, 1e-9);
        EXPECT_NEAR(f.fill.shareOfTexturedFillLimit, 12.5, 1e-9);
        EXPECT_NEAR(f.fill.gpuMsPerFrame, 2.75, 1e-9);
        ASSERT_EQ(f.layers.size(), 2u);
        for (const LayerTypeTime& layer : f.layers) {
            const bool isImage = layer.type == "GFXLayer";
            EXPECT_NEAR(layer.fillScreens, isImage ? 2.5 : 0.5, 1e-9) << layer.type;
            EXPECT_NEAR(layer.gpuSeconds, isImage ? 0.004 : 0.001, 1e-12) << layer.type;
        }
        EXPECT_NEAR(f.otherFillScreens, 0.2, 1e-9);
        EXPECT_NEAR(f.otherGpuSeconds, 0.0005, 1e-12);
    }
}

TEST(Benchmark, FillRateLimitIsUnknownWithoutARateOrWithoutFill)
{
    struct Case {
        double rate, screens, pixels, expected;
    };
    const Case cases[] = {
        {307200.0 * 600.0, 2.0, 307200.0, 300.0},  // 600 screens/s, 2 screens a frame
        {1e9, 0.5, 1000.0, 2e6},
        {0.0, 2.0, 307200.0, 0.0},  // no calibration
        {1e9, 0.0, 307200.0, 0.0},  // nothing drawn: no limit to speak of
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(FillLimitedRate(c.rate, c.screens, c.pixels), c.expected) << c.rate << " " << c.screens;
}

TEST(Benchmark, QuantilesTakeTheMiddleAndTheNearestRank)
{
    struct Case {
        std::vector<double> times;
        double q, expected;
    };
    const Case cases[] = {
        {{}, 0.5, 0.0},
        {{7}, 0.5, 7},
        {{7}, 0.99, 7},
        {{3, 1, 2}, 0.5, 2},
        {{4, 1, 3, 2}, 0.5, 2.5},  // even count: the two middle values averaged
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 0.95, 10},
        {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 0.9, 9},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(Quantile(c.times, c.q), c.expected) << c.times.size() << " at " << c.q;
    std::vector<double> hundred;
    for (int i = 100; i >= 1; --i)
        hundred.push_back(i);
    EXPECT_DOUBLE_EQ(Quantile(hundred, 0.95), 95);
    EXPECT_DOUBLE_EQ(Quantile(hundred, 0.99), 99);
}

TEST(Benchmark, RecorderSeparatesProductionFramesLayerTypesAndEmptyFrames)
{
    StepClock clock;
    BenchRecorder recorder(clock);
    RecordingDevice device;
    NamedLayer water(device, "WaterText"), image(device, "GFXLayer"), other(device, "GFXLayer");
    // Two production frames of 10 and 30 ms wall; layers spend CPU inside them.
    for (double frameMs : {10.0, 30.0}) {
        recorder.BeginFrame(false);
        recorder.BeforeLayerFrame(water);
        clock.Spend(0.004, 0.004);
        recorder.AfterLayerFrame(water);
        for (NamedLayer* layer : {&image, &other}) {
            recorder.BeforeLayerFrame(*layer);
            clock.Spend(0.001, 0.001);
            recorder.AfterLayerFrame(*layer);
        }
        clock.Spend(frameMs / 1000.0 - 0.006, 0.001);  // presenting: mostly waiting
        recorder.EndFrame();
    }
    // Four empty frames of 2 ms each; they count for nothing of the production's.
    for (int i = 0; i < 4; ++i) {
        recorder.BeginFrame(true);
        clock.Spend(0.002, 0.002);
        recorder.EndFrame();
    }
    EXPECT_EQ(recorder.GetFrames(), 2);
    EXPECT_EQ(recorder.GetEmptyFrames(), 4);

    const BenchFigures f = recorder.Compute();
    EXPECT_EQ(f.frames, 2);
    EXPECT_NEAR(f.seconds, 0.040, 1e-9);
    EXPECT_NEAR(f.framesPerSecond, 50.0, 1e-6);
    EXPECT_NEAR(f.medianMs, 20.0, 1e-6);
    EXPECT_NEAR(f.maxMs, 30.0, 1e-6);
    EXPECT_NEAR(f.p99Ms, 30.0, 1e-6);
    EXPECT_NEAR(f.emptyFramesPerSecond, 500.0, 1e-6);
    EXPECT_NEAR(f.ratio, 0.1, 1e-9);
    ASSERT_EQ(f.layers.size(), 2u);  // one row per type, largest first
    EXPECT_EQ(f.layers[0].type, "WaterText");
    EXPECT_NEAR(f.layers[0].cpuSeconds, 0.008, 1e-9);
    EXPECT_NEAR(f.layers[0].share, 0.2, 1e-9);
    EXPECT_EQ(f.layers[1].type, "GFXLayer");
    EXPECT_NEAR(f.layers[1].cpuSeconds, 0.004, 1e-9);
    EXPECT_NEAR(f.otherCpuSeconds, 0.002, 1e-9);
    EXPECT_NEAR(f.otherShare, 0.05, 1e-9);

    // Nothing timed: zeros, never a division by zero.
    StepClock idle;
    const BenchFigures none = BenchRecorder(idle).Compute();
    EXPECT_EQ(none.frames, 0);
    EXPECT_EQ(none.framesPerSecond, 0.0);
    EXPECT_EQ(none.ratio, 0.0);
    EXPECT_TRUE(none.layers.empty());
}

TEST(Benchmark, ReportsCarryEveryFigureAndTheJsonEscapesNames)
{
    BenchFigures f;
    f.mode = "640x480x32";
    f.fixedStepFps = 30;
    f.frames = 3390;
    f.seconds = 20.0;
    f.framesPerSecond = 169.5;
    f.medianMs = 5.5;
    f.p95Ms = 9.25;
    f.p99Ms = 12.5;
    f.maxMs = 40.0;
    f.emptyFrames = 423;
    f.emptyFramesPerSecond = 900.0;
    f.ratio = 0.188;
    f.startupMs = 150.0;
    f.peakResidentMb = 160.5;
    f.layers = {{"Water\"Text\\", 2.0, 0.1}};
    f.otherCpuSeconds = 1.0;
    f.otherShare = 0.05;

    const std::string text = FormatBenchText(f);
    for (const char* part : {"640x480x32", "3390 frames", "169.5", "900.0", "0.188", "median 5.50", "p95 9.25",
                             "p99 12.50", "max 40.00", "start-up ms         150", "160.5", "10.0 %"})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\nin:\n" << text;

    const std::string json = FormatBenchJson(f);
    for (const char* part : {"\"frames\": 3390", "\"frames_per_second\": 169.50", "\"median\": 5.500",
                             "\"p95\": 9.250", "\"p99\": 12.500", "\"max\": 40.000", "\"empty_frames_per_second\": 900.00",
                             "\"ratio_to_empty\": 0.1880", "\"startup_ms\": 150.0", "\"type\": \"Water\\\"Text\\\\\"",
                             "\"share\": 0.10000"})
        EXPECT_NE(json.find(part), std::string::npos) << part << "\nin:\n" << json;
    EXPECT_EQ(json.front(), '{');
    EXPECT_EQ(json.substr(json.size() - 2), "}\n");

    // Unknown start-up and memory read as such, not as numbers.
    f.startupMs = -1.0;
    f.peakResidentMb = -1.0;
    f.layers.clear();
    EXPECT_NE(FormatBenchJson(f).find("\"startup_ms\": null"), std::string::npos);
    EXPECT_NE(FormatBenchJson(f).find("\"layer_cpu\": []"), std::string::npos);
    EXPECT_NE(FormatBenchText(f).find("start-up ms         unknown"), std::string::npos);
}

TEST(Benchmark, FillAndGpuFiguresAreReportedWhenCountedAndNullOtherwise)
{
    BenchFigures f;
    f.mode = "640x480x32";
    f.frames = 100;
    f.layers = {{"GFXLayer", 0.5, 0.1, 0.2, 1.75}};
    f.otherGpuSeconds = 0.01;
    f.otherFillScreens = 0.05;
    f.fill = {true, true, 4.25, 5.2e8, 398.2, 0.3, 2.5, false, 2.6e8, 199.1, 0.6};

    const std::string text = FormatBenchText(f);
    for (const char* part : {"4.25 screens/frame", "520.0 Mfragments/s", "398.2 frames/s", "30.0 %",
                             "GPU time            2.500 ms/frame", "GPU 2.000 ms/frame  fill 1.75",
                             "GPU 0.100 ms/frame  fill 0.05",
                             "textured fill       260.0 Mfragments/s (the same quads sampling a filtered texture); "
                             "fill-limited 199.1 frames/s, the production runs at 60.0 % of it"})
        EXPECT_NE(text.find(part), std::string::npos) << part << "\nin:\n" << text;
    const std::string json = FormatBenchJson(f);
    for (const char* part : {"\"screens_per_frame\": 4.2500", "\"fragments_per_second\": 520000000",
                             "\"fill_limited_fps\": 398.20", "\"share_of_fill_limited\": 0.3000",
                             "\"gpu_ms_per_frame\": 2.5000", "\"gpu_seconds\": 0.200000",
                             "\"fill_screens_per_frame\": 1.7500", "\"other_fill_screens_per_frame\": 0.0500",
                             "\"textured_fragments_per_second\": 260000000", "\"textured_fill_limited_fps\": 199.10",
                             "\"share_of_textured_fill_limited\": 0.6000"})
        EXPECT_NE(json.find(part), std::string::npos) << part << "\nin:\n" << json;

    // A device without the counts: unknown, never zeros that read as measured.
    f.fill = {};
    EXPECT_NE(FormatBenchText(f).find("fill                unknown"), std::string::npos);
    EXPECT_EQ(FormatBenchText(f).find("GPU"), std::string::npos);
    const std::string unknown = FormatBenchJson(f);
    EXPECT_EQ(FormatBenchText(f).find("textured fill"), std::string::npos);
    for (const char* part : {"\"screens_per_frame\": null", "\"fill_limited_fps\": null", "\"gpu_ms_per_frame\": null",
                             "\"textured_fill_limited_fps\": null",
                             "\"gpu_seconds\": null", "\"other_fill_screens_per_frame\": null"})
        EXPECT_NE(unknown.find(part), std::string::npos) << part << "\nin:\n" << unknown;
}

TEST(Benchmark, SectionEndsWhereTheScriptsEndStandsAndProcessFiguresAreRead)
{
    CommandLineOptions options;
    Script script;
    EXPECT_EQ(ChooseBenchSection(options, script).end, 0.0f);
    TimeBlock early, last;
    early.time = 12.5f;
    early.operations.push_back(LayerOperation{});
    last.time = 113.0f;
    LayerOperation end;
    end.kind = OperationKind::End;
    last.operations.push_back(end);
    script.blocks = {early, last};
    EXPECT_EQ(ChooseBenchSection(options, script).start, 0.0f);
    EXPECT_EQ(ChooseBenchSection(options, script).end, 113.0f);
    // A section on the command line narrows it; an --end past END changes nothing.
    const struct { double start, end; float wantStart, wantEnd; } sections[] = {
        {20.0, -1.0, 20.0f, 113.0f}, {20.0, 50.0, 20.0f, 50.0f}, {0.0, 200.0, 0.0f, 113.0f}};
    for (const auto& c : sections) {
        options.startTime = c.start;
        options.endTime = c.end;
        EXPECT_EQ(ChooseBenchSection(options, script).start, c.wantStart) << c.start << " " << c.end;
        EXPECT_EQ(ChooseBenchSection(options, script).end, c.wantEnd) << c.start << " " << c.end;
    }

    const double since = MillisecondsSinceProcessStart();
    EXPECT_GE(since, 0.0);
    EXPECT_LT(since, 3600.0 * 1000.0);
    EXPECT_GT(PeakResidentMegabytes(), 1.0);
}

TEST(Benchmark, LayersKnowTheirScriptTypeAndTheStackReportsEachFrameAroundIt)
{
    RecordingDevice device;
    device.Open(64, 48);
    std::unique_ptr<Layer> made = CreateLayer(device, {}, "GFXLayer");
    EXPECT_EQ(made->GetTypeName(), "GFXLayer");

    struct Log : LayerFrameObserver {
        std::vector<std::string> events;
        void BeforeLayerFrame(const Layer& layer) override { events.push_back("before " + layer.GetTypeName()); }
        void AfterLayerFrame(const Layer& layer) override { events.push_back("after " + layer.GetTypeName()); }
    } log;
    LayerStack stack;
    stack.AddTop(std::make_unique<NamedLayer>(device, "A"));
    stack.AddTop(std::make_unique<NamedLayer>(device, "B"));
    stack.FrameAll();
    EXPECT_TRUE(log.events.empty());
    stack.SetFrameObserver(&log);
    stack.FrameAll();
    EXPECT_EQ(log.events, (std::vector<std::string>{"before A", "after A", "before B", "after B"}));
    stack.SetFrameObserver(nullptr);
    stack.FrameAll();
    EXPECT_EQ(log.events.size(), 4u);
}

TEST(Benchmark, DrawCountersAreAveragedOverTheProductionsFramesAlone)
{
    StepClock clock;
    BenchRecorder recorder(clock);
    MeasuringDevice device(10, 10);
    recorder.MeasureWith(&device, 100.0, 4);
    device.counters = {true, 100, 50, 40, 30, 20, 10, 5};  // from before the run: not counted
    RenderDevice::DrawCounters& c = device.counters;
    // Two production frames: 3 + 5 draws sent, 1 + 0 invisible, 4 + 2 off screen, 10 + 0
    // uniforms, 0 + 1 write-backs, 2 + 1 covered and 1 + 0 depth-only clears; the empty frame
    // between them adds to every count.
    auto frame = [&](bool empty, uint64_t sent, uint64_t invisible, uint64_t offScreen, uint64_t uniforms,
                     uint64_t writeBacks, uint64_t covered, uint64_t depthOnly) {
        recorder.BeginFrame(empty);
        c.sent += sent;
        c.invisible += invisible;
        c.offScreen += offScreen;
        c.uniforms += uniforms;
        c.writeBacks += writeBacks;
        c.covered += covered;
        c.depthOnlyClears += depthOnly;
        clock.Spend(0.01, 0.0);
        recorder.EndFrame();
    };
    frame(false, 3, 1, 4, 10, 0, 2, 1);
    frame(true, 7, 7, 7, 7, 7, 7, 7);
    frame(false, 5, 0, 2, 0, 1, 1, 0);
    const BenchFigures f = recorder.Compute();
    ASSERT_TRUE(f.draws.counted);
    EXPECT_DOUBLE_EQ(f.draws.sent, 4.0);
    EXPECT_DOUBLE_EQ(f.draws.invisible, 0.5);
    EXPECT_DOUBLE_EQ(f.draws.offScreen, 3.0);
    EXPECT_DOUBLE_EQ(f.draws.uniforms, 5.0);
    EXPECT_DOUBLE_EQ(f.draws.writeBacks, 0.5);
    EXPECT_DOUBLE_EQ(f.draws.covered, 1.5);
    EXPECT_DOUBLE_EQ(f.draws.depthOnlyClears, 0.5);
    EXPECT_NE(FormatBenchText(f).find("draws per frame     4.00 sent; dropped 0.50 invisible, 3.00 off screen, 1.50 "
                                      "covered; 0.50 colour clears made depth-only; not sent again 5.00 uniforms, "
                                      "0.50 texture write-backs"),
              std::string::npos)
        << FormatBenchText(f);
    EXPECT_NE(FormatBenchJson(f).find("\"draws_per_frame\": {\"sent\": 4.000, \"invisible\": 0.500, \"off_screen\": "
                                      "3.000, \"uniforms_not_sent\": 5.000, \"write_backs_not_sent\": 0.500, "
                                      "\"covered\": 1.500, \"depth_only_clears\": 0.500}"),
              std::string::npos)
        << FormatBenchJson(f);

    // A device that counts nothing: no line, and nulls in the JSON.
    BenchFigures unknown = f;
    unknown.draws = {};
    EXPECT_EQ(FormatBenchText(unknown).find("draws per frame"), std::string::npos);
    EXPECT_NE(FormatBenchJson(unknown).find("\"draws_per_frame\": {\"sent\": null"), std::string::npos);
}
