// The line layer: one quad stepped across the screen, each copy with its own blinking opacity.
#include "engine/effects/LineLayer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include "engine/core/Log.h"
#include "engine/device/RenderDevice.h"
#include "engine/layers/LayerRegistry.h"

static LayerRegistrar<LineLayer> lineRegistrar("LineLayer");

namespace {

// The vertical stripes peak below full opacity.
constexpr double kStripePeak = 204.0;
// More stripes than pixels on any screen are pointless; the bound keeps a wild script value
// from allocating without limit.
constexpr int kMaxLines = 4096;

}  // namespace

LineLayer::LineLayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations)
    : ImageLayer(device, nestedOperations)
{
    MakeMirroredQuad(quad_);
    AddPlacementAccessors();
    AddFloatAccessor(6, "XOffsetDelta", &XOffsetDelta);
    AddFloatAccessor(7, "YOffsetDelta", &YOffsetDelta);
    AddFloatAccessor(8, "XScaleDelta", &XScaleDelta);
    AddFloatAccessor(9, "YScaleDelta", &YScaleDelta);
    AddIntAccessor(10, "NBLines", &NBLines);
    AddFloatAccessor(11, "Tracking", &Tracking);
    AddIntAccessor(12, "Sens", &Sens);
    AddFloatAccessor(13, "IntensityMax", &IntensityMax);
    SetDefaultName("Gfx Layer [%X]");
}

void LineLayer::Init()
{
    FadingLayer::Init();
    texture_.Load(device, Texture, AlphaTexture);
    PlaceQuad(quad_, XScale, YScale, XOffset, YOffset);
    phaseCount_ = std::clamp(NBLines, 0, kMaxLines);
    if (NBLines > kMaxLines) LogLine("LineLayer [%s] : NBLines %d limited to %d.", name.c_str(), NBLines, kMaxLines);
    phases_.assign(static_cast<size_t>(phaseCount_) + 1, 0.0f);
    for (int i = 0; i < phaseCount_; ++i) phases_[i] = static_cast<float>(LayerRand() / 32768.0);
}

void LineLayer::Release()
{
    phases_.clear();
    phases_.shrink_to_fit();
    phaseCount_ = 0;
    FadingLayer::Release();
    texture_.Reset();
}

// A later NBLines larger than at Init must not read phases that were never made.
int LineLayer::StripeCount() const { return std::clamp(NBLines, 0, phaseCount_); }

float LineLayer::StripeSize() const
{
    const int n = StripeCount();
    if (n <= 0) return 0.0f;
    const float scale = Sens == 0 ? XScale : YScale;
    return (scale - n * Tracking) / n;
}

void LineLayer::DrawFrame()
{
    const int n = StripeCount();
    if (n <= 0) return;
    BeginCamera(device, texture_.Get());
    const float t = time;
    const float size = StripeSize();
    Vertex work[4];
    auto phaseAlpha = [&](int i, double peak) {
        return AlphaBits(std::fabs(std::sin(phases_[i] + t)) * fade * peak);
    };
    if (Sens == 0) {
        uint32_t alpha = phaseAlpha(0, kStripePeak);
        for (int v = 0; v < 4; ++v) {
            work[v] = quad_[v];
            work[v].color = alpha | 0x00FFFFFFu;
            work[v].x = quad_[v].x * size + XOffset;
            work[v].y = quad_[v].y * YScale + YOffset;
        }
        device.Draw(PrimitiveType::TriangleStrip, work, 4);
        for (int i = 1; i < n; ++i) {
            alpha = phaseAlpha(i, kStripePeak);
            for (Vertex& v : work) {
                v.color = alpha | 0x00FFFFFFu;
                v.x += size + Tracking;
            }
            device.Draw(PrimitiveType::TriangleStrip, work, 4);
        }
    } else {
        const double peak = static_cast<double>(IntensityMax) * 255.0;
        uint32_t alpha = phaseAlpha(0, peak);
        for (int v = 0; v < 4; ++v) {
            work[v] = quad_[v];
            work[v].color = alpha | 0x00FFFFFFu;
            work[v].x = quad_[v].x * XScale + XOffset;
            work[v].y = quad_[v].y * size + YOffset;
        }
        device.Draw(PrimitiveType::TriangleStrip, work, 4);
        // The bands start again from phase 0, so n + 1 bands are drawn.
        for (int i = 0; i < n; ++i) {
            alpha = phaseAlpha(i, peak);
            for (Vertex& v : work) {
                v.color = alpha | 0x00FFFFFFu;
                v.y += Tracking + size;
            }
            device.Draw(PrimitiveType::TriangleStrip, work, 4);
        }
    }
    EndScreenSpace(device);
}
