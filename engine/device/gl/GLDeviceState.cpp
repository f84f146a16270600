// OpenGL device: state setters (recorded in state blocks, unchanged values skipped), lights and transforms.
#include <cmath>
#include <cstring>
#include "engine/device/gl/GLDevice.h"
#include "engine/device/gl/GLTexture.h"

using Kind = StateCall::Kind;

namespace {

bool ValidStage(int stage)
{
    return stage == 0 || stage == 1;
}

// Values outside an enumeration would index past the generator's tables; keep them in range.
uint8_t Clamp(int value, int highest)
{
    return static_cast<uint8_t>(value < 0 ? 0 : (value > highest ? highest : value));
}

}  // namespace

void GLDevice::StateChanged()
{
    FlushBatch();
    ++uniformGeneration_;
}

void GLDevice::SetOrtho(float width, float height, float nearPlane, float farPlane)
{
    ApplyOrtho(width, height, nearPlane, farPlane);
}

void GLDevice::SetProjection(const Matrix4& matrix)
{
    if (RecordState(StateCall::Transform(Kind::SetProjection, matrix))) return;
    if (projection_ == matrix) return;
    StateChanged();
    projection_ = matrix;
}

void GLDevice::SetView(const Matrix4& matrix)
{
    if (RecordState(StateCall::Transform(Kind::SetView, matrix))) return;
    if (view_ == matrix) return;
    StateChanged();
    view_ = matrix;
}

void GLDevice::SetWorld(const Matrix4& matrix)
{
    if (RecordState(StateCall::Transform(Kind::SetWorld, matrix))) return;
    if (world_ == matrix) return;
    StateChanged();
    world_ = matrix;
}

void GLDevice::SetTexture(int stage, Texture* texture)
{
    if (RecordState(StateCall::Bind(stage, texture))) return;
    if (!ValidStage(stage) || stages_[stage].texture == texture) return;
    FlushBatch();
    stages_[stage].texture = texture;
    stages_[stage].key.textured = texture != nullptr;
}

void GLDevice::SetColorOp(int stage, ColorOp op)
{
    if (RecordState(StateCall::Value(Kind::SetColorOp, stage, static_cast<int>(op)))) return;
    if (!ValidStage(stage)) return;
    uint8_t v = Clamp(static_cast<int>(op), 3);
    if (stages_[stage].key.colorOp == v) return;
    FlushBatch();
    stages_[stage].key.colorOp = v;
}

void GLDevice::SetColorArg1(int stage, ColorArg arg)
{
    if (RecordState(StateCall::Value(Kind::SetColorArg1, stage, static_cast<int>(arg)))) return;
    if (!ValidStage(stage)) return;
    uint8_t v = Clamp(static_cast<int>(arg), 3);
    if (stages_[stage].key.colorArg1 == v) return;
    FlushBatch();
    stages_[stage].key.colorArg1 = v;
}

void GLDevice::SetColorArg2(int stage, ColorArg arg)
{
    if (RecordState(StateCall::Value(Kind::SetColorArg2, stage, static_cast<int>(arg)))) return;
    if (!ValidStage(stage)) return;
    uint8_t v = Clamp(static_cast<int>(arg), 3);
    if (stages_[stage].key.colorArg2 == v) return;
    FlushBatch();
    stages_[stage].key.colorArg2 = v;
}

void GLDevice::SetAlphaOp(int stage, AlphaOp op)
{
    if (RecordState(StateCall::Value(Kind::SetAlphaOp, stage, static_cast<int>(op)))) return;
    if (!ValidStage(stage)) return;
    uint8_t v = Clamp(static_cast<int>(op), 4);
    if (stages_[stage].key.alphaOp == v) return;
    FlushBatch();
    stages_[stage].key.alphaOp = v;
}

void GLDevice::SetAlphaArg1(int stage, AlphaArg arg)
{
    if (RecordState(StateCall::Value(Kind::SetAlphaArg1, stage, static_cast<int>(arg)))) return;
    if (!ValidStage(stage)) return;
    uint8_t v = Clamp(static_cast<int>(arg), 2);
    if (stages_[stage].key.alphaArg1 == v) return;
    FlushBatch();
    stages_[stage].key.alphaArg1 = v;
}

void GLDevice::SetAlphaArg2(int stage, AlphaArg arg)
{
    if (RecordState(StateCall::Value(Kind::SetAlphaArg2, stage, static_cast<int>(arg)))) return;
    if (!ValidStage(stage)) return;
    uint8_t v = Clamp(static_cast<int>(arg), 2);
    if (stages_[stage].key.alphaArg2 == v) return;
    FlushBatch();
    stages_[stage].key.alphaArg2 = v;
}

void GLDevice::SetSrcBlend(BlendFactor factor)
{
    if (RecordState(StateCall::Value(Kind::SetSrcBlend, 0, static_cast<int>(factor)))) return;
    if (srcBlend_ == factor) return;
    FlushBatch();
    srcBlend_ = factor;
}

void GLDevice::SetDestBlend(BlendFactor factor)
{
    if (RecordState(StateCall::Value(Kind::SetDestBlend, 0, static_cast<int>(factor)))) return;
    if (destBlend_ == factor) return;
    FlushBatch();
    destBlend_ = factor;
}

void GLDevice::EnableAlphaBlend(bool enable)
{
    if (RecordState(StateCall::Value(Kind::EnableAlphaBlend, 0, enable ? 1 : 0))) return;
    if (alphaBlend_ == enable) return;
    FlushBatch();
    alphaBlend_ = enable;
}

void GLDevice::EnableDepth(bool enable)
{
    if (RecordState(StateCall::Value(Kind::EnableDepth, 0, enable ? 1 : 0))) return;
    if (depthTest_ == enable) return;
    FlushBatch();
    depthTest_ = enable;
}

void GLDevice::SetDepthFunc(CompareFunc func)
{
    if (RecordState(StateCall::Value(Kind::SetDepthFunc, 0, static_cast<int>(func)))) return;
    if (depthFunc_ == func) return;
    FlushBatch();
    depthFunc_ = func;
}

void GLDevice::SetCullMode(CullMode mode)
{
    if (RecordState(StateCall::Value(Kind::SetCullMode, 0, static_cast<int>(mode)))) return;
    if (cullMode_ == mode) return;
    FlushBatch();
    cullMode_ = mode;
}

void GLDevice::EnableLighting(bool enable)
{
    if (RecordState(StateCall::Value(Kind::EnableLighting, 0, enable ? 1 : 0))) return;
    if (lightingEnabled_ == enable) return;
    FlushBatch();
    lightingEnabled_ = enable;
}

void GLDevice::SetMaterial(const MaterialRecord& material)
{
    if (RecordState(StateCall::Material(material))) return;
    if (std::memcmp(&material_, &material, sizeof(MaterialRecord)) == 0) return;
    StateChanged();
    material_ = material;
}

void GLDevice::EnableFog(bool enable)
{
    if (RecordState(StateCall::Value(Kind::EnableFog, 0, enable ? 1 : 0))) return;
    if (fogEnabled_ == enable) return;
    FlushBatch();
    fogEnabled_ = enable;
}

void GLDevice::SetFogColor(float r, float g, float b)
{
    if (RecordState(StateCall::Floats(Kind::SetFogColor, r, g, b))) return;
    uint32_t packed = PackColor(r, g, b);
    if (fogColor_ == packed) return;
    StateChanged();
    fogColor_ = packed;
}

void GLDevice::SetFog(FogMode mode, float start, float end, float density)
{
    StateCall call = StateCall::Floats(Kind::SetFog, start, end, density, static_cast<int>(mode));
    if (RecordState(call)) return;
    int m = static_cast<int>(mode);
    FogMode clamped = static_cast<FogMode>(m < 0 || m > 2 ? 0 : m);
    if (fogMode_ == clamped && fogStart_ == start && fogEnd_ == end && fogDensity_ == density) return;
    StateChanged();
    fogMode_ = clamped;
    fogStart_ = start;
    fogEnd_ = end;
    fogDensity_ = density;
}

void GLDevice::SetAmbient(float r, float g, float b)
{
    if (RecordState(StateCall::Floats(Kind::SetAmbient, r, g, b))) return;
    uint32_t packed = PackColor(r, g, b);
    if (ambient_ == packed) return;
    StateChanged();
    ambient_ = packed;
}

void GLDevice::GetLight(int index, LightRecord& light)
{
    auto found = lights_.find(index);
    if (found == lights_.end()) return;
    light = found->second.record;
}

void GLDevice::SetLight(int index, const LightRecord& light)
{
    if (RecordState(StateCall::Light(index, light))) return;
    if (index < 0) return;
    LightRecord stored = light;
    stored.range = light.range * 800.0f;
    // Scenes send every dynamic light each frame, moved or not.
    auto found = lights_.find(index);
    if (found != lights_.end() && std::memcmp(&found->second.record, &stored, sizeof(LightRecord)) == 0) return;
    StateChanged();
    lights_[index].record = stored;
}

bool GLDevice::EnableLight(int index, bool enable)
{
    if (RecordState(StateCall::Value(Kind::EnableLight, index, enable ? 1 : 0))) return true;
    if (index < 0) return false;
    auto found = lights_.find(index);
    bool wasOn = found != lights_.end() && found->second.enabled;
    if (wasOn == enable) return true;
    if (enable) {
        int on = 0;
        for (const auto& entry : lights_) on += entry.second.enabled ? 1 : 0;
        // As many lights as the generated programs carry at once.
        if (on >= kMaxLights) return false;
    }
    StateChanged();
    lights_[index].enabled = enable;
    return true;
}
