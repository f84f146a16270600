// RenderDevice base: enumeration records, camera math, state blocks, font cache, saved transforms.
#include "engine/device/RenderDevice.h"
#include <cmath>
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
    const Vector4 p = TransformPoint(world_ * view_ * projection_, {x, y, z});
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

// ---- State blocks ----------------------------------------------------------------------

bool RenderDevice::RecordState(const StateCall& call)
{
    if (!recording_)
        return false;
    recorded_.push_back(call);
    return true;
}

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
        ReplayState(calls[i]);
}

void RenderDevice::DeleteStateBlock(uint32_t handle)
{
    stateBlocks_.erase(handle);
}

void RenderDevice::ReplayState(const StateCall& call)
{
    using K = StateCall::Kind;
    switch (call.kind) {
    case K::SetTexture: SetTexture(call.index, call.texture); break;
    case K::SetColorOp: SetColorOp(call.index, static_cast<ColorOp>(call.value)); break;
    case K::SetColorArg1: SetColorArg1(call.index, static_cast<ColorArg>(call.value)); break;
    case K::SetColorArg2: SetColorArg2(call.index, static_cast<ColorArg>(call.value)); break;
    case K::SetAlphaOp: SetAlphaOp(call.index, static_cast<AlphaOp>(call.value)); break;
    case K::SetAlphaArg1: SetAlphaArg1(call.index, static_cast<AlphaArg>(call.value)); break;
    case K::SetAlphaArg2: SetAlphaArg2(call.index, static_cast<AlphaArg>(call.value)); break;
    case K::SetSrcBlend: SetSrcBlend(static_cast<BlendFactor>(call.value)); break;
    case K::SetDestBlend: SetDestBlend(static_cast<BlendFactor>(call.value)); break;
    case K::EnableAlphaBlend: EnableAlphaBlend(call.value != 0); break;
    case K::EnableDepth: EnableDepth(call.value != 0); break;
    case K::SetDepthFunc: SetDepthFunc(static_cast<CompareFunc>(call.value)); break;
    case K::SetCullMode: SetCullMode(static_cast<CullMode>(call.value)); break;
    case K::EnableLighting: EnableLighting(call.value != 0); break;
    case K::SetMaterial: SetMaterial(call.material); break;
    case K::EnableFog: EnableFog(call.value != 0); break;
    case K::SetFogColor: SetFogColor(call.f[0], call.f[1], call.f[2]); break;
    case K::SetFog: SetFog(static_cast<FogMode>(call.value), call.f[0], call.f[1], call.f[2]); break;
    case K::SetAmbient: SetAmbient(call.f[0], call.f[1], call.f[2]); break;
    case K::SetProjection: SetProjection(call.matrix); break;
    case K::SetView: SetView(call.matrix); break;
    case K::SetWorld: SetWorld(call.matrix); break;
    case K::SetLight: SetLight(call.index, call.light); break;
    case K::EnableLight: EnableLight(call.index, call.value != 0); break;
    }
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
