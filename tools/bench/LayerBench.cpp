// Prints the median and 99th percentile CPU time per frame of the wave, flicker, circle, line, metaball and water layers.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "engine/core/Clock.h"
#include "engine/effects/CerclesLayer.h"
#include "engine/effects/LineLayer.h"
#include "engine/effects/MetaballLayer.h"
#include "engine/effects/OnduleGFXLayer.h"
#include "engine/effects/ParasitesLayer.h"
#include "engine/effects/WaterText.h"
#include "support/LayerTestKit.h"
#include "support/RecordingDevice.h"
#include "support/TestImages.h"
#include "support/TestPak.h"

namespace {

constexpr int kFrames = 600;
constexpr float kFrameStep = 1.0f / 60.0f;

double ThreadCpuMicroseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
}

// Runs frame(i) kFrames times and prints the median and 99th percentile of its CPU time.
void Measure(const char* layer, const char* part, const std::function<void(int)>& frame,
             const std::function<void()>& between = {})
{
    std::vector<double> times;
    times.reserve(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        const double start = ThreadCpuMicroseconds();
        frame(i);
        times.push_back(ThreadCpuMicroseconds() - start);
        if (between) between();
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    const double p99 = times[std::min(times.size() - 1, times.size() * 99 / 100)];
    std::printf("%-16s %-44s %10.1f %10.1f\n", layer, part, median, p99);
}

// Opens a fading layer's drawing to the benchmark (DrawAt as the tests drive it).
template <class LayerType>
class Timed : public Driven<LayerType> {
public:
    using Driven<LayerType>::Driven;
    // The waving grid's per-frame vertex work without a device buffer.
    void FillGridInto(Vertex* vertices, float t) { this->FillGrid(vertices, 0xFFFFFFFFu, t, true); }
};

template <class LayerType>
std::unique_ptr<Timed<LayerType>> Make(RenderDevice& device, const std::vector<std::pair<std::string, std::string>>& parameters)
{
    static const std::vector<LayerOperation> nested;
    auto layer = std::make_unique<Timed<LayerType>>(device, nested);
    for (const auto& [name, value] : parameters) layer->SetParameter(name, value);
    layer->Init();
    return layer;
}

std::string Lettering(int seed)
{
    std::vector<uint8_t> rgb(128 * 96 * 3, 0);
    for (int y = 20 + seed; y < 70; ++y)
        for (int x = 10; x < 118; x += 3) rgb[(y * 128 + x) * 3] = 255;
    return EncodePng(128, 96, rgb);
}

}  // namespace

int main()
{
    ClockSetSeed(1);
    ScopedTestPak pak({{"image.png", EncodePng(64, 64, SolidRgb(64, 64, 200, 120, 40))},
                       {"env.png", EncodePng(64, 64, SolidRgb(64, 64, 20, 20, 20))},
                       {"w0.png", Lettering(0)},
                       {"w1.png", Lettering(5)},
                       {"w2.png", Lettering(10)}});
    RecordingDevice device;
    device.Open();
    auto clear = [&] { device.ClearCalls(); };

    std::printf("CPU time per frame over %d frames, microseconds\n", kFrames);
    std::printf("%-16s %-44s %10s %10s\n", "layer", "work", "median", "p99");

    {
        auto layer = Make<OnduleGFXLayer>(device, {{"Texture", "image.png"}});
        std::vector<Vertex> grid(OnduleGFXLayer::kVertexCount);
        Measure("OnduleGFXLayer", "grid update (4096 vertices)", [&](int i) { layer->FillGridInto(grid.data(), i * kFrameStep); });
        Measure("OnduleGFXLayer", "frame on recording device", [&](int i) { layer->DrawAt(i * kFrameStep, 1.0f); }, clear);
        layer->Release();
    }
    {
        auto layer = Make<ParasitesLayer>(device, {{"Texture", "image.png"}});
        Measure("ParasitesLayer", "frame on recording device", [&](int i) { layer->DrawAt(i * kFrameStep, 1.0f); }, clear);
        layer->Release();
    }
    {
        auto layer = Make<CerclesLayer>(device, {{"Texture", "image.png"}, {"NBCercles", "8"}});
        Measure("CerclesLayer", "frame on recording device (8 copies)", [&](int i) { layer->DrawAt(i * kFrameStep, 1.0f); }, clear);
        layer->Release();
    }
    {
        auto layer = Make<LineLayer>(device, {{"Texture", "image.png"}});
        Measure("LineLayer", "frame on recording device (32 stripes)", [&](int i) { layer->DrawAt(i * kFrameStep, 1.0f); }, clear);
        layer->Release();
    }
    {
        auto layer = Make<MetaballLayer>(device, {{"Texture", "image.png"}});
        Measure("MetaballLayer", "surface update (3 balls)", [&](int i) { layer->Update(i * kFrameStep); });
        std::printf("%-16s %-44s %10d\n", "MetaballLayer", "triangles in the last frame", layer->GetMesher().TriangleCount());
        Measure("MetaballLayer", "frame on recording device", [&](int i) { layer->DrawAt(i * kFrameStep, 1.0f); }, clear);
        layer->Release();
    }
    {
        WaterSurface water;
        const std::vector<uint32_t> pixels(64 * 64, 0x00FF0000u);
        const TextMap map(pixels.data(), 64, 64);
        Measure("WaterText", "surface update (steps every 0.3 s)", [&](int i) {
            if (i % 60 == 0) water.SetPendingMap(&map);
            water.Draw(i * kFrameStep);
        });
        auto layer = std::make_unique<WaterText>(device, std::vector<LayerOperation>{});
        layer->SetParameter("TextureFile", "image.png");
        layer->SetParameter("EnvMapFile", "env.png");
        layer->SetParameter("TextMapList", "w0.png,w1.png,w2.png");
        layer->Init();
        Measure("WaterText", "frame on recording device", [&](int i) { layer->DrawAt(i * kFrameStep, i * kFrameStep); }, clear);
        layer->Release();
    }
    return 0;
}
