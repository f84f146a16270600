// Benchmark figures: quantiles, per-layer-type CPU shares, the empty floor and the reports.
#include <gtest/gtest.h>

#include <string>
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

}  // namespace

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
