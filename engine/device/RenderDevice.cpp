// RenderDevice base: enumeration records, camera math, state operations and blocks, fonts, saved transforms.
#include "engine/device/RenderDevice.h"
#include <cmath>
#include <cstring>
#include "engine/device/Font.h"

RenderDevice::RenderDevice() = default;

RenderDevice::~RenderDevice()
{
    // A concrete device normally gives its fonts' surfaces back itself (DestroyFonts) while
    // it still exists; anything left is dropped without calling into the departed device.
    for (auto& entry : fonts_)
        entry.second->DetachFromDevice();
    for (auto& font : retiredFonts_)
        font->DetachFromDevice();
    fonts_.clear();
    retiredFonts_.clear();
}

void RenderDevice::DestroyFonts()
{
    fonts_.clear();
    retiredFonts_.clear();
}

// ---- Enumeration and selection ---------------------------------------------------------

int RenderDevice::GetDriverCount()
{
    return static_cast<int>(drivers_.size());
}

DriverInfo& RenderDevice::GetDriver(int index)
{
    return drivers_.at(static_cast<size_t>(index));
}

int RenderDevice::AddDriver(const DriverInfo& driver)
{
    drivers_.push_back(driver);
    return static_cast<int>(drivers_.size()) - 1;
}

void RenderDevice::SelectDriver(const DriverInfo& driver)
{
    selectedDriver_ = driver;
}

void RenderDevice::SelectDevice(const DeviceInfo& device)
{
    selectedDevice_ = device;
}

void RenderDevice::SelectMode(const ModeInfo& mode)
{
    selectedMode_ = mode;
}

const DriverInfo* RenderDevice::GetSelectedDriver()
{
    return selectedDriver_ ? &*selectedDriver_ : nullptr;
}

const DeviceInfo* RenderDevice::GetSelectedDevice()
{
    return selectedDevice_ ? &*selectedDevice_ : nullptr;
}

const ModeInfo* RenderDevice::GetSelectedMode()
{
    return selectedMode_ ? &*selectedMode_ : nullptr;
}

// ---- Simple state ----------------------------------------------------------------------

void RenderDevice::EnableClearColor(bool enable)
{
    clearColorEnabled_ = enable;
}

void RenderDevice::SetWindowRect(const ScreenRect& rect)
{
    windowRect_ = rect;
}

void RenderDevice::SetNearPlane(float nearPlane)
{
    nearPlane_ = nearPlane;
}

void RenderDevice::SetFarPlane(float farPlane)
{
    farPlane_ = farPlane;
}

void RenderDevice::SetFieldOfView(float radians)
{
    fieldOfView_ = radians;
}

void RenderDevice::SetRoll(float radians)
{
    const float s = std::sin(radians), c = std::cos(radians);
    up_ = {s, c, s * c};
}

void RenderDevice::SetEye(float x, float y, float z)
{
    eye_ = {x, y, z};
}

void RenderDevice::SetTarget(float x, float y, float z)
{
    target_ = {x, y, z};
}

int RenderDevice::GetMaxTextureSize()
{
    return maxTextureSize_;
}

int RenderDevice::GetMinTextureSize()
{
    return minTextureSize_;
}

// ---- Camera ----------------------------------------------------------------------------

bool RenderDevice::ComputeView(Matrix4& out) const
{
    Vector3 f = target_ - eye_;
    float length = Length(f);
    if (length < 1e-6f)
        return false;
    f = f * (1.0f / length);

    // The up hint minus its part along f; when the hint is parallel to f, world up, then
    // world forward, stand in for it.
    Vector3 u = up_ - f * Dot(up_, f);
    if (Length(u) < 1e-6f) {
        u = Vector3{0.0f, 1.0f, 0.0f} - f * f.y;
        if (Length(u) < 1e-6f) {
            u = Vector3{0.0f, 0.0f, 1.0f} - f * f.z;
            if (Length(u) < 1e-6f)
                return false;
        }
    }
    u = u * (1.0f / Length(u));
    const Vector3 r = Cross(u, f);

    Matrix4 view;
    view.m[0][0] = r.x; view.m[0][1] = u.x; view.m[0][2] = f.x; view.m[0][3] = 0.0f;
    view.m[1][0] = r.y; view.m[1][1] = u.y; view.m[1][2] = f.y; view.m[1][3] = 0.0f;
    view.m[2][0] = r.z; view.m[2][1] = u.z; view.m[2][2] = f.z; view.m[2][3] = 0.0f;
    view.m[3][0] = -Dot(r, eye_);
    view.m[3][1] = -Dot(u, eye_);
    view.m[3][2] = -Dot(f, eye_);
    view.m[3][3] = 1.0f;
    out = view;
    return true;
}

bool RenderDevice::ComputePerspective(Matrix4& out) const
{
    const float h = fieldOfView_ * 0.5f;
    const float s = std::sin(h);
    if (std::fabs(farPlane_ - nearPlane_) < 0.01f || std::fabs(s) < 0.01f)
        return false;
    const float c = std::cos(h) / s;
    // The productions were composed under this scaled far plane; keep it.
    const float F = farPlane_ * 0.5128205f;
    // A near plane at the scaled far plane would divide by zero.
    if (std::fabs(F - nearPlane_) < 1e-6f)
        return false;
    const float Q = F / (F - nearPlane_);

    Matrix4 projection;
    projection.m[0][0] = aspect_ * c;
    projection.m[1][1] = c;
    projection.m[2][2] = Q;
    projection.m[2][3] = 1.0f;
    projection.m[3][2] = -Q * nearPlane_;
    projection.m[3][3] = 1.0f;  // left at 1, as the productions expect
    out = projection;
    return true;
}

Matrix4 RenderDevice::OrthoMatrix(float width, float height, float nearPlane, float farPlane)
{
    Matrix4 ortho;
    ortho.m[0][0] = 2.0f / width;
    ortho.m[1][1] = 2.0f / height;
    ortho.m[2][2] = 1.0f / (farPlane - nearPlane);
    ortho.m[3][2] = -nearPlane / (farPlane - nearPlane);
    ortho.m[3][3] = 1.0f;
    return ortho;
}

void RenderDevice::UpdateCamera()
{
    Matrix4 view;
    if (ComputeView(view))
        SetView(view);
    Matrix4 projection;
    if (ComputePerspective(projection))
        SetProjection(projection);
}

void RenderDevice::ApplyOrtho(float width, float height, float nearPlane, float farPlane)
{
    SetWorld(Matrix4::Identity());
    SetView(Matrix4::Identity());
    SetProjection(OrthoMatrix(width, height, nearPlane, farPlane));
}

bool RenderDevice::ProjectPoint(float x, float y, float z, int viewportWidth, int viewportHeight,
                                TransformedVertex& out) const
{
    const Vector4 p = TransformPoint(drawState_.world * drawState_.view * drawState_.projection, {x, y, z});
    out = TransformedVertex{};
    out.color = 0x00FFFFFF;
    out.specular = 0;
    if (p.w == 0.0f || !std::isfinite(p.w))
        return false;
    const float rhw = 1.0f / p.w;
    const float sx = (p.x * rhw + 1.0f) * static_cast<float>(viewportWidth) / 2.0f;
    const float sy = (1.0f - p.y * rhw) * static_cast<float>(viewportHeight) / 2.0f;
    // Far-off values must not reach the integer conversion.
    if (!std::isfinite(sx) || !std::isfinite(sy) || std::fabs(sx) > 1e9f || std::fabs(sy) > 1e9f)
        return false;
    // Halves round away from zero, whatever the floating-point rounding mode.
    const long ix = std::lround(sx);
    const long iy = std::lround(sy);
    out.x = static_cast<float>(ix);
    out.y = static_cast<float>(iy);
    out.z = p.z * rhw;
    out.rhw = rhw;
    return ix >= 0 && ix < viewportWidth && iy >= 0 && iy < viewportHeight;
}

// ---- State operations -----------------------------------------------------------------

using Kind = StateCall::Kind;

namespace {

// A state call carrying one enumeration value or flag.
template <class Value>
StateCall ValueCall(Kind kind, int index, Value value)
{
    return StateCall::Value(kind, index, static_cast<int>(value));
}

}  // namespace

// Each state operation only describes itself; SetState records or applies it.
void RenderDevice::SetProjection(const Matrix4& matrix) { SetState(StateCall::Transform(Kind::SetProjection, matrix)); }
void RenderDevice::SetView(const Matrix4& matrix) { SetState(StateCall::Transform(Kind::SetView, matrix)); }
void RenderDevice::SetWorld(const Matrix4& matrix) { SetState(StateCall::Transform(Kind::SetWorld, matrix)); }
void RenderDevice::SetTexture(int stage, Texture* texture) { SetState(StateCall::Bind(stage, texture)); }
void RenderDevice::SetColorOp(int stage, ColorOp op) { SetState(ValueCall(Kind::SetColorOp, stage, op)); }
void RenderDevice::SetColorArg1(int stage, ColorArg arg) { SetState(ValueCall(Kind::SetColorArg1, stage, arg)); }
void RenderDevice::SetColorArg2(int stage, ColorArg arg) { SetState(ValueCall(Kind::SetColorArg2, stage, arg)); }
void RenderDevice::SetAlphaOp(int stage, AlphaOp op) { SetState(ValueCall(Kind::SetAlphaOp, stage, op)); }
void RenderDevice::SetAlphaArg1(int stage, AlphaArg arg) { SetState(ValueCall(Kind::SetAlphaArg1, stage, arg)); }
void RenderDevice::SetAlphaArg2(int stage, AlphaArg arg) { SetState(ValueCall(Kind::SetAlphaArg2, stage, arg)); }
void RenderDevice::SetSrcBlend(BlendFactor factor) { SetState(ValueCall(Kind::SetSrcBlend, 0, factor)); }
void RenderDevice::SetDestBlend(BlendFactor factor) { SetState(ValueCall(Kind::SetDestBlend, 0, factor)); }
void RenderDevice::EnableAlphaBlend(bool enable) { SetState(ValueCall(Kind::EnableAlphaBlend, 0, enable)); }
void RenderDevice::EnableDepth(bool enable) { SetState(ValueCall(Kind::EnableDepth, 0, enable)); }
void RenderDevice::SetDepthFunc(CompareFunc func) { SetState(ValueCall(Kind::SetDepthFunc, 0, func)); }
void RenderDevice::SetCullMode(CullMode mode) { SetState(ValueCall(Kind::SetCullMode, 0, mode)); }
void RenderDevice::EnableLighting(bool enable) { SetState(ValueCall(Kind::EnableLighting, 0, enable)); }
void RenderDevice::SetMaterial(const MaterialRecord& material) { SetState(StateCall::Material(material)); }
void RenderDevice::EnableFog(bool enable) { SetState(ValueCall(Kind::EnableFog, 0, enable)); }
void RenderDevice::SetFogColor(float r, float g, float b) { SetState(StateCall::Floats(Kind::SetFogColor, r, g, b)); }
void RenderDevice::SetFog(FogMode mode, float start, float end, float density)
{
    SetState(StateCall::Floats(Kind::SetFog, start, end, density, static_cast<int>(mode)));
}
void RenderDevice::SetAmbient(float r, float g, float b) { SetState(StateCall::Floats(Kind::SetAmbient, r, g, b)); }
void RenderDevice::SetLight(int index, const LightRecord& light) { SetState(StateCall::Light(index, light)); }
bool RenderDevice::EnableLight(int index, bool enable) { return SetState(ValueCall(Kind::EnableLight, index, enable)); }

void RenderDevice::GetLight(int index, LightRecord& light)
{
    auto found = drawState_.lights.find(index);
    if (found != drawState_.lights.end())
        light = found->second.record;
}

void RenderDevice::ForgetStageTexture(const Texture* texture)
{
    for (StageState& stage : drawState_.stages)
        if (stage.texture == texture)
            stage.texture = nullptr;
}

bool RenderDevice::SetState(const StateCall& call)
{
    if (recording_) {
        recorded_.push_back(call);
        return true;
    }
    const bool answer = ApplyState(call);
    StateApplied(call);
    return answer;
}

namespace {

// Materials and lights compare by their bytes: a value set twice is unchanged even when a
// component is not a number.
template <class Record>
bool SameBytes(const Record& a, const Record& b)
{
    return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

bool SetsStage(Kind kind)
{
    switch (kind) {
    case Kind::SetTexture: case Kind::SetColorOp: case Kind::SetColorArg1: case Kind::SetColorArg2:
    case Kind::SetAlphaOp: case Kind::SetAlphaArg1: case Kind::SetAlphaArg2:
        return true;
    default:
        return false;
    }
}

}  // namespace

bool RenderDevice::ApplyState(const StateCall& call)
{
    DeviceState& state = drawState_;
    // Announces the change, then makes it; unchanged values are left alone quietly.
    auto change = [&](auto& field, const auto& value) {
        if (field == value)
            return;
        StateChanging(call.kind);
        field = value;
    };
    // Stages other than 0 and 1 are ignored.
    if (SetsStage(call.kind) && call.index != 0 && call.index != 1)
        return true;
    StageState& stage = state.stages[call.index == 1 ? 1 : 0];
    switch (call.kind) {
    case Kind::SetTexture: change(stage.texture, call.texture); break;
    case Kind::SetColorOp:
        if (!stage.colorOpSet || stage.colorOp != static_cast<ColorOp>(call.value)) {
            StateChanging(call.kind);
            stage.colorOp = static_cast<ColorOp>(call.value);
            stage.colorOpSet = true;
        }
        break;
    case Kind::SetColorArg1: change(stage.colorArg1, static_cast<ColorArg>(call.value)); break;
    case Kind::SetColorArg2: change(stage.colorArg2, static_cast<ColorArg>(call.value)); break;
    case Kind::SetAlphaOp: change(stage.alphaOp, static_cast<AlphaOp>(call.value)); break;
    case Kind::SetAlphaArg1: change(stage.alphaArg1, static_cast<AlphaArg>(call.value)); break;
    case Kind::SetAlphaArg2: change(stage.alphaArg2, static_cast<AlphaArg>(call.value)); break;
    case Kind::SetSrcBlend: change(state.srcBlend, static_cast<BlendFactor>(call.value)); break;
    case Kind::SetDestBlend: change(state.destBlend, static_cast<BlendFactor>(call.value)); break;
    case Kind::EnableAlphaBlend: change(state.alphaBlend, call.value != 0); break;
    case Kind::EnableDepth: change(state.depthTest, call.value != 0); break;
    case Kind::SetDepthFunc: change(state.depthFunc, static_cast<CompareFunc>(call.value)); break;
    case Kind::SetCullMode: change(state.cullMode, static_cast<CullMode>(call.value)); break;
    case Kind::EnableLighting: change(state.lighting, call.value != 0); break;
    case Kind::EnableFog: change(state.fog, call.value != 0); break;
    case Kind::SetMaterial:
        if (!SameBytes(state.material, call.material)) {
            StateChanging(call.kind);
            state.material = call.material;
        }
        break;
    case Kind::SetFogColor: change(state.fogColor, PackColor(call.f[0], call.f[1], call.f[2])); break;
    case Kind::SetFog: {
        const FogMode mode = call.value < 0 || call.value > 2 ? FogMode::Linear : static_cast<FogMode>(call.value);
        if (state.fogMode == mode && state.fogStart == call.f[0] && state.fogEnd == call.f[1] &&
            state.fogDensity == call.f[2])
            break;
        StateChanging(call.kind);
        state.fogMode = mode;
        state.fogStart = call.f[0];
        state.fogEnd = call.f[1];
        state.fogDensity = call.f[2];
        break;
    }
    case Kind::SetAmbient: change(state.ambient, PackColor(call.f[0], call.f[1], call.f[2])); break;
    case Kind::SetProjection: change(state.projection, call.matrix); break;
    case Kind::SetView: change(state.view, call.matrix); break;
    case Kind::SetWorld: change(state.world, call.matrix); break;
    case Kind::SetLight: {
        if (call.index < 0)
            break;
        LightRecord stored = call.light;
        stored.range = call.light.range * 800.0f;
        // Scenes send every dynamic light each frame, moved or not.
        auto found = state.lights.find(call.index);
        if (found != state.lights.end() && SameBytes(found->second.record, stored))
            break;
        StateChanging(call.kind);
        state.lights[call.index].record = stored;
        break;
    }
    case Kind::EnableLight: {
        if (call.index < 0)
            return false;
        const bool enable = call.value != 0;
        auto found = state.lights.find(call.index);
        const bool wasOn = found != state.lights.end() && found->second.enabled;
        if (wasOn == enable)
            return true;
        if (enable && state.EnabledLightCount() >= maxEnabledLights_)
            return false;
        StateChanging(call.kind);
        state.lights[call.index].enabled = enable;
        return true;
    }
    }
    return true;
}

// ---- State blocks ----------------------------------------------------------------------

void RenderDevice::BeginStateBlock()
{
    recording_ = true;
    recorded_.clear();
}

void RenderDevice::EndStateBlock(uint32_t* handle)
{
    recording_ = false;
    const uint32_t id = nextStateBlock_++;
    if (nextStateBlock_ == 0)
        nextStateBlock_ = 1;
    stateBlocks_[id] = std::move(recorded_);
    recorded_.clear();
    if (handle)
        *handle = id;
}

void RenderDevice::ApplyStateBlock(uint32_t handle)
{
    auto it = stateBlocks_.find(handle);
    if (it == stateBlocks_.end())
        return;
    // Replayed calls only set state (they may be recorded into another block, never this
    // one), and map entries stay put, so the block is read in place.
    const std::vector<StateCall>& calls = it->second;
    for (size_t i = 0; i < calls.size(); ++i)
        SetState(calls[i]);
}

void RenderDevice::DeleteStateBlock(uint32_t handle)
{
    stateBlocks_.erase(handle);
}

// ---- Read-back, fonts and saved transforms ---------------------------------------------

void RenderDevice::QueueReadBack()
{
    queuedReadBacks_.push_back(ReadBackBuffer());
}

bool RenderDevice::TakeReadBack(std::vector<uint8_t>& rgb, bool)
{
    if (queuedReadBacks_.empty())
        return false;
    rgb = std::move(queuedReadBacks_.front());
    queuedReadBacks_.pop_front();
    return true;
}

Font* RenderDevice::GetFont(const char* fileName)
{
    const std::string name = fileName ? fileName : "";
    auto it = fonts_.find(name);
    if (it != fonts_.end())
        return it->second.get();
    auto font = std::make_unique<Font>(this, name.c_str());
    Font* result = font.get();
    fonts_[name] = std::move(font);
    return result;
}

bool RenderDevice::RetireFont(const std::string& fileName)
{
    auto it = fonts_.find(fileName);
    if (it == fonts_.end())
        return false;
    retiredFonts_.push_back(std::move(it->second));
    fonts_.erase(it);
    return true;
}

void RenderDevice::PushTransform(const Matrix4& matrix)
{
    savedTransforms_.push_back(matrix);
}

Matrix4 RenderDevice::PopTransform()
{
    // Popping more than was pushed would read past the stack; it answers identity instead.
    if (savedTransforms_.empty())
        return Matrix4::Identity();
    Matrix4 top = savedTransforms_.back();
    savedTransforms_.pop_back();
    return top;
}
