// The fill-rate round: every quad covers the whole screen once, and the round grows until it is long enough.
#include <gtest/gtest.h>

#include "app/Benchmark.h"
#include "app/FillRate.h"
#include "support/GLTestSupport.h"
#include "support/RecordingDevice.h"

namespace {

// A wall clock that moves by a fixed step at every reading.
class TickingClock : public BenchClock {
public:
    explicit TickingClock(double step) : step_(step) {}
    double Wall() override { return now_ += step_; }
    double ThreadCpu() override { return 0.0; }

private:
    double step_;
    double now_ = 0.0;
};

}  // namespace

TEST(FillRate, RoundsOfFullScreenQuadsAreCountedAndDividedByTheirTime)
{
    auto device = MakeTestDevice(64, 48);
    struct Case {
        double leastSeconds;
        long maxQuads;
        long quads;  // of the timed round
    };
    // Every Wall() reading moves 0.5 s, so each round measures exactly 0.5 s.
    const Case cases[] = {
        {0.0, 4096, 1},    // the first round is long enough
        {1.0, 8, 8},       // never long enough: stops at the largest round allowed
        {1.0, 5, 4},       // rounds double: 1, 2, 4; 8 would pass the limit
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maxQuads);
        TickingClock clock(0.5);
        const FillRateFigures figures = MeasureFillRate(*device, clock, c.leastSeconds, c.maxQuads);
        EXPECT_EQ(figures.quads, c.quads);
        EXPECT_EQ(figures.fragments, static_cast<uint64_t>(c.quads) * 64 * 48);
        EXPECT_DOUBLE_EQ(figures.seconds, 0.5);
        EXPECT_DOUBLE_EQ(figures.fragmentsPerSecond, c.quads * 64.0 * 48.0 / 0.5);
    }
    // Sampling a texture draws the same fragments: each quad still covers the screen once.
    Texture* sampled = device->CreateTexture();
    sampled->CreateRenderTarget(16);
    TickingClock clock(0.5);
    const FillRateFigures textured = MeasureFillRate(*device, clock, 1.0, 5, sampled);
    EXPECT_EQ(textured.quads, 4);
    EXPECT_EQ(textured.fragments, 4u * 64 * 48);
    device->SetTexture(0, nullptr);
    device->DestroyTexture(sampled);
    // The rounds leave the back buffer cleared (black) for the frames after them.
    device->EndScene();
    const std::vector<uint8_t> rgb = device->ReadBackBuffer();
    EXPECT_EQ(PixelAt(rgb, 64, 0, 0), 0u);
    EXPECT_EQ(PixelAt(rgb, 64, 63, 47), 0u);
}

TEST(FillRate, UnknownOnADeviceThatCountsNoFragments)
{
    RecordingDevice device;
    TickingClock clock(0.5);
    const FillRateFigures figures = MeasureFillRate(device, clock, 0.0);
    EXPECT_EQ(figures.fragmentsPerSecond, 0.0);
    EXPECT_EQ(figures.quads, 0);
}
