// The fill-rate calibration: rounds of full-screen blended quads until one is long enough to time.
#include "app/FillRate.h"

#include <vector>

#include "app/Benchmark.h"
#include "engine/device/RenderDevice.h"
#include "engine/layers/ScreenSpace.h"

namespace {

// A span tag of its own, so the calibration's counts are never mistaken for a layer's.
constexpr uint32_t kCalibrationTag = 0xFFFFFFFFu;

// One round: quads full-screen quads, half transparent, so every fragment is read and blended
// as a fading layer's are. Answers the fragments counted and the wall seconds.
FillRateFigures DrawRound(RenderDevice& device, BenchClock& clock, long quads, Texture* texture)
{
    // SetOrtho(1, 1, ...) of the screen-space layers: -0.5..0.5 spans the screen.
    auto corner = [](float x, float y) {
        Vertex v{};
        v.x = x;
        v.y = y;
        v.u0 = (x + 0.5f) * 4.0f;
        v.v0 = (0.5f - y) * 4.0f;
        v.nz = -1.0f;
        v.color = 0x80808080u;
        return v;
    };
    const Vertex quad[4] = {corner(-0.5f, 0.5f), corner(0.5f, 0.5f), corner(-0.5f, -0.5f), corner(0.5f, -0.5f)};

    device.BeginScene();
    BeginScreenSpace(device, kAlphaTypeTransparent, texture);
    device.SetCullMode(CullMode::None);
    std::vector<RenderDevice::MeasuredSpan> spans;
    device.TakeMeasures(spans, true);  // nothing older may be waited for inside the round
    spans.clear();
    const double start = clock.Wall();
    device.BeginMeasure(kCalibrationTag);
    for (long i = 0; i < quads; ++i)
        device.Draw(PrimitiveType::TriangleStrip, quad, 4);
    device.EndMeasure();
    device.TakeMeasures(spans, true);
    const double seconds = clock.Wall() - start;
    EndScreenSpace(device);
    device.EndScene();
    device.Clear(0);

    FillRateFigures round;
    round.quads = quads;
    round.seconds = seconds;
    for (const RenderDevice::MeasuredSpan& span : spans)
        if (span.tag == kCalibrationTag)
            round.fragments += span.samples;
    return round;
}

}  // namespace

FillRateFigures MeasureFillRate(RenderDevice& device, BenchClock& clock, double leastSeconds, long maxQuads,
                                Texture* texture)
{
    if (!device.GetMeasureSupport().samples)
        return {};
    // The first round also warms the driver up (program built, buffers grown).
    FillRateFigures round = DrawRound(device, clock, 1, texture);
    for (long quads = 2; round.seconds < leastSeconds && quads <= maxQuads; quads *= 2)
        round = DrawRound(device, clock, quads, texture);
    if (round.seconds > 0.0)
        round.fragmentsPerSecond = static_cast<double>(round.fragments) / round.seconds;
    return round;
}
