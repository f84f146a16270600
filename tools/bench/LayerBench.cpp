// Prints the median and 99th percentile CPU time per frame of the image layers, the scene player, its modifiers and the dot screen.
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
#include "engine/effects/DotEffect.h"
#include "engine/effects/LineLayer.h"
#include "engine/effects/MetaballLayer.h"
#include "engine/effects/OnduleGFXLayer.h"
#include "engine/effects/ParasitesLayer.h"
#include "engine/effects/WaterText.h"
#include "engine/scene/MDLPlayer.h"
#include "support/HeadlessGL.h"
#include "support/LayerTestKit.h"
#include "support/RecordingDevice.h"
#include "support/TestImages.h"
#include "support/TestPak.h"
#include "tools/mdltool/MdlWriter.h"

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

// The demo clock stepped by hand, so modifiers see the frame times the benchmark chooses.
struct SteppedCounter : ClockCounter {
    int64_t count = 0;
    bool Frequency(int64_t& ticksPerSecond) override
    {
        ticksPerSecond = 1000000;
        return true;
    }
    int64_t Count() override { return count; }
};

// A grid of triangles in the plane z = 0 around centre, cells x cells quads (2 triangles each).
MdlMeshRecord GridMesh(const std::string& name, int cells, float size, Vector3 centre)
{
    MdlMeshRecord mesh;
    mesh.name = name;
    mesh.material = "Mat";
    mesh.pivot = centre;
    for (int y = 0; y <= cells; ++y) {
        for (int x = 0; x <= cells; ++x) {
            MdlVertexRecord v;
            v.position = {centre.x + (x / static_cast<float>(cells) - 0.5f) * size,
                          centre.y + (y / static_cast<float>(cells) - 0.5f) * size, centre.z};
            v.normal = {0, 0, -1};
            v.u = x / static_cast<float>(cells);
            v.v = y / static_cast<float>(cells);
            v.color = 0xFFFFFF;
            mesh.vertices.push_back(v);
        }
    }
    const uint32_t row = static_cast<uint32_t>(cells) + 1;
    for (uint32_t y = 0; y < static_cast<uint32_t>(cells); ++y) {
        for (uint32_t x = 0; x < static_cast<uint32_t>(cells); ++x) {
            const uint32_t a = y * row + x;
            mesh.faces.push_back({{a, a + row, a + 1}, {}});
            mesh.faces.push_back({{a + 1, a + row, a + row + 1}, {}});
        }
    }
    return mesh;
}

// 25 meshes of 400 triangles (10,000 in all), five of them moving, one camera, 300 frames.
std::string TenThousandTriangleScene()
{
    MdlFile file;
    file.frameCount = 300;
    file.cameras.push_back({"Camera01", {0, 0, -40}, {0, 0, 0}, 0.785398f, 0});
    file.tracks.push_back(MakePositionTrack("Camera01", {{0, {0, 0, -40}}, {300, {5, 0, -40}}}));
    file.tracks.push_back(MakePositionTrack("Camera01.target", {{0, {0, 0, 0}}, {300, {0, 0, 0}}}));
    for (int i = 0; i < 25; ++i) {
        const Vector3 centre{(i % 5 - 2) * 6.0f, (i / 5 - 2) * 6.0f, 0.0f};
        file.meshes.push_back(GridMesh("Grid" + std::to_string(i), 14, 5.0f, centre));
        if (i % 5 == 0)
            file.tracks.push_back(MakePositionTrack("Grid" + std::to_string(i), {{0, centre}, {300, centre + Vector3{0, 3, 0}}}));
    }
    // 14 x 14 cells give 392 triangles; top up to 10,000 with one more grid.
    file.meshes.push_back(GridMesh("Extra", 10, 2.0f, {0, 0, 5}));
    file.meshes.back().faces.resize(10000 - 25 * 392);
    MdlMaterialRecord material;
    material.name = "Mat";
    material.textures = {"image.png"};
    file.materials.push_back(material);
    const std::vector<uint8_t> bytes = WriteMdl(file);
    return std::string(bytes.begin(), bytes.end());
}

template <class LayerType>
class TimedPlayer : public LayerType {
public:
    using LayerType::LayerType;
    void RenderAt(float t)
    {
        this->time = t;
        this->Render();
    }
};

// The scene benchmarks on device; endFrame runs inside each measured frame (a real device
// sends its batches there), between runs outside it.
void BenchScenes(RenderDevice& device, SteppedCounter& counter, const char* on, const std::function<void()>& endFrame,
                 const std::function<void()>& clear)
{
    auto label = [on](const char* work) { return std::string(work) + " (" + on + ")"; };
    auto operation = [](const std::string& type, std::vector<ParameterAssignment> assignments) {
        LayerOperation op;
        op.kind = OperationKind::Create;
        op.target = type;
        op.assignments = std::move(assignments);
        return op;
    };
    {
        static const std::vector<LayerOperation> none;
        TimedPlayer<MDLPlayer> player(device, none);
        player.SetParameter("MDLFile", "big.mdl");
        player.Init();
        std::printf("%-16s %-44s %10u\n", "MDLPlayer", "triangles in the scene", player.GetScene().GetTotalFaces());
        Measure("MDLPlayer", label("scene frame, 26 meshes").c_str(), [&](int i) {
            player.RenderAt(i * kFrameStep);
            endFrame();
        }, clear);
        player.Release();
    }
    {
        static const std::vector<LayerOperation> modifiers = {
            operation("Smoke", {{"Texture", "image.png"}, {"ObjetName", "Grid12"}, {"NBParticle", "500"},
                                {"Effect", "1"}, {"AmplitudeX", "2"}, {"AmplitudeY", "2"}, {"AmplitudeZ", "2"}}),
            operation("GlowEffect", {{"Texture", "image.png"}, {"ObjetName", "Grid7"}})};
        TimedPlayer<MDLPlayer> player(device, modifiers);
        player.SetParameter("MDLFile", "big.mdl");
        player.Init();
        player.Restart(ClockNow());
        player.RenderAt(0.0f);
        MDLModifier& smoke = *player.GetModifiers().front();
        MDLModifier& glow = *player.GetModifiers().back();
        const int64_t start = counter.count;
        auto step = [&](int i) { counter.count = start + static_cast<int64_t>(i * kFrameStep * 1e6) + 1000; };
        Measure("Smoke", label("500 particles, behaviour 1").c_str(), [&](int i) {
            step(i);
            smoke.Frame();
            endFrame();
        }, clear);
        Measure("GlowEffect", label("3 passes, 225 vertices").c_str(), [&](int i) {
            step(i);
            glow.Frame();
            endFrame();
        }, clear);
        player.Release();
    }
    {
        static const std::vector<LayerOperation> none;
        TimedPlayer<DotEffect> dots(device, none);
        dots.SetParameter("MDLFile", "big.mdl");
        dots.SetParameter("TextureMap", "image.png");
        dots.Init();
        // Every texel lit: the worst case of 4096 dots (on the recording device, whose
        // target keeps these pixels; a real device draws the scene over them).
        int pitch = 0;
        if (auto* pixels = static_cast<uint8_t*>(dots.GetTarget()->Lock(pitch))) {
            for (int row = 0; row < DotEffect::kEdge; ++row)
                for (int column = 0; column < DotEffect::kEdge; ++column)
                    pixels[row * pitch + column * 4] = static_cast<uint8_t>(8 + (row + column) % 248);
            dots.GetTarget()->Unlock();
        }
        Measure("DotEffect", label("scene, read-back, dots").c_str(), [&](int i) {
            dots.RenderAt(i * kFrameStep);
            endFrame();
        }, clear);
        dots.Release();
    }
}

}  // namespace

int main()
{
    SteppedCounter counter;
    ClockSetCounter(&counter);
    ClockSetSeed(1);
    ScopedTestPak pak({{"image.png", EncodePng(64, 64, SolidRgb(64, 64, 200, 120, 40))},
                       {"env.png", EncodePng(64, 64, SolidRgb(64, 64, 20, 20, 20))},
                       {"w0.png", Lettering(0)},
                       {"w1.png", Lettering(5)},
                       {"w2.png", Lettering(10)},
                       {"big.mdl", TenThousandTriangleScene()}});
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
    BenchScenes(device, counter, "recording device", [] {}, clear);
    std::string reason;
    if (auto gl = OpenHeadlessGLDevice(640, 480, 32, reason)) {
        gl->SetVSync(false);
        gl->BeginScene();
        BenchScenes(*gl, counter, "OpenGL", [&] {
            gl->EndScene();
            gl->BeginScene();
        }, [] {});
        gl->EndScene();
    } else {
        std::printf("OpenGL device not available: %s\n", reason.c_str());
    }
    ClockSetCounter(nullptr);
    return 0;
}
