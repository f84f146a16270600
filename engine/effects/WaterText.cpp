// The water layer: camera and texture stages for the surface, and the schedule of text maps.
#include "engine/effects/WaterText.h"

#include "engine/core/Clock.h"
#include "engine/device/RenderDevice.h"
#include "engine/layers/LayerRegistry.h"

static LayerRegistrar<WaterText> waterTextRegistrar("WaterText");

WaterText::WaterText(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations)
    : Layer(device, nestedOperations)
{
    AddStringAccessor(0, "TextureFile", &TextureFile);
    AddStringAccessor(1, "EnvMapFile", &EnvMapFile);
    AddStringAccessor(2, "TextMapList", &TextMapList);
    AddFloatAccessor(3, "UpdateInterval", &UpdateInterval);
}

void WaterText::Init()
{
    RestartNow();
    surfaceTexture_.Load(device, TextureFile, "");
    environmentTexture_.Load(device, EnvMapFile, "");
    textMaps_.clear();
    for (const std::string& fileName : SplitTextMapList(TextMapList))
        textMaps_.push_back(std::make_unique<TextMap>(fileName));
    nextMap_ = 0;
    lastUpdate_ = -UpdateInterval;
    water_.Create(device);
}

void WaterText::Release()
{
    surfaceTexture_.Reset();
    environmentTexture_.Reset();
    water_.SetPendingMap(nullptr);
    textMaps_.clear();
    water_.Release();
}

void WaterText::UpdateMaps(float t)
{
    if (textMaps_.empty()) return;
    if (t - lastUpdate_ > UpdateInterval) {
        water_.SetPendingMap(textMaps_[nextMap_].get());
        lastUpdate_ = t;
        nextMap_ = (nextMap_ + 1) % static_cast<int>(textMaps_.size());
    }
}

void WaterText::DrawAt(float t, float now)
{
    // Seen from the front, turned upside down; the transforms are not saved, the layers
    // drawn after this one set their own.
    device.SetEye(0.0f, 0.0f, 13.9f);
    device.SetTarget(0.0f, 0.0f, 0.0f);
    device.SetRoll(3.1415927f);
    device.SetFieldOfView(1.4f);
    device.SetNearPlane(1.0f);
    device.SetFarPlane(70.0f);
    device.UpdateCamera();
    device.SetCullMode(CullMode::None);
    device.SetWorld(Matrix4::Identity());

    // Surface image times the vertex colour, plus the environment image.
    device.SetColorArg1(0, ColorArg::Texture);
    device.SetColorArg2(0, ColorArg::Diffuse);
    device.SetColorOp(0, ColorOp::Modulate);
    device.SetAlphaOp(0, AlphaOp::Disable);
    device.SetColorArg1(1, ColorArg::Texture);
    device.SetColorArg2(1, ColorArg::Current);
    device.SetColorOp(1, ColorOp::Add);
    device.SetAlphaOp(1, AlphaOp::Disable);
    device.SetTexture(0, surfaceTexture_.Get());
    device.SetTexture(1, environmentTexture_.Get());

    water_.Draw(now);

    // Stage 1 would otherwise keep adding the environment image to every later layer, which
    // only sets stage 0: make it pass the first stage's result through, unbound.
    device.SetTexture(1, nullptr);
    device.SetColorArg1(1, ColorArg::Current);
    device.SetColorOp(1, ColorOp::SelectArg1);

    UpdateMaps(t);
}

void WaterText::Render() { DrawAt(time, ClockNow()); }
