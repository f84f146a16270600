// The modifier base (timing, common parameters and Init), shared sprite helpers and the modifier registry.
#include "engine/scene/MDLModifier.h"

#include <cmath>
#include <cstdlib>
#include "engine/core/Clock.h"
#include "engine/core/Fatal.h"
#include "engine/core/Log.h"
#include "engine/device/RenderDevice.h"
#include "engine/device/Texture.h"
#include "engine/layers/ScreenSpace.h"
#include "engine/scene/Scene.h"

MDLModifier::MDLModifier(RenderDevice& device, Scene& scene) : device_(device), scene_(scene)
{
    AddFloatAccessor(0, "StartTime", &StartTime);
    AddFloatAccessor(1, "LifeTime", &LifeTime);
    AddStringAccessor(2, "ObjetName", &ObjetName);
    AddStringAccessor(3, "Texture", &TextureFile);
    AddStringAccessor(4, "AlphaTexture", &AlphaTexture);
    AddFloatAccessor(5, "XScale", &XScale);
    AddFloatAccessor(6, "YScale", &YScale);
}

MDLModifier::~MDLModifier()
{
    LogLine("Destroying Modifier [%s]", name_.c_str());
    if (texture_)
        device_.DestroyTexture(texture_);
}

void MDLModifier::Init()
{
    object_ = scene_.FindObject(ObjetName);
    if (!object_)
        LogLine("Warning : Modifier [%s] found no object named [%s]; it follows (0, 0, 0). (modifier type %s)",
                name_.c_str(), ObjetName.c_str(), typeName_.c_str());
    texture_ = LoadLayerTexture(device_, TextureFile, AlphaTexture);
}

void MDLModifier::Release()
{
    if (texture_)
        device_.DestroyTexture(texture_);
    texture_ = nullptr;
}

void MDLModifier::Restart(float t)
{
    origin_ = t == -1.0f ? ClockNow() : t;
}

void MDLModifier::Frame()
{
    const float local = ClockNow() - origin_;
    if (local < StartTime)
        return;
    if (LifeTime != -1.0f && local > StartTime + LifeTime)
        return;
    time_ = local - StartTime;
    Render();
}

bool MDLModifier::IsAlive() const
{
    const float local = ClockNow() - origin_;
    return !(LifeTime != -1.0f && local > StartTime + LifeTime);
}

Vector3 MDLModifier::ObjectPositionAt(float t) const
{
    return object_ ? object_->GetPosition(t * Scene::kFramesPerSecond) : Vector3{};
}

void MDLModifier::BeginSprites(bool depthTest)
{
    ApplyTransparentBlend(device_, depthTest);
}

void MDLModifier::EndSprites()
{
    ResetBlendState(device_);
}

void MDLModifier::ScaleQuad(Vertex quad[4]) const
{
    for (int i = 0; i < 4; ++i) {
        quad[i].x *= XScale;
        quad[i].y *= YScale;
    }
}

float ModifierRandom()
{
    // The effects were tuned for a 15-bit generator; the C library here gives 31 bits.
    return static_cast<float>(std::rand() & 0x7FFF) * (1.0f / 32768.0f);
}

bool InPulseWindow(float angle)
{
    constexpr double kPi = 3.14159265358979323846;
    double a = std::fmod(static_cast<double>(angle), 2.0 * kPi);
    if (a < 0)
        a += 2.0 * kPi;
    return (a > 0.0 && a < kPi / 2) || (a > kPi && a < 1.5 * kPi);
}

void ViewAxes(const Matrix4& view, Vector3& right, Vector3& up, Vector3& forward)
{
    // Row vectors: the view's rotation columns are the camera's axes in world space.
    right = {view[0][0], view[1][0], view[2][0]};
    up = {view[0][1], view[1][1], view[2][1]};
    forward = {view[0][2], view[1][2], view[2][2]};
}

int BoundedCount(int value, int limit, const char* parameter, const std::string& modifier)
{
    const int bounded = value < 0 ? 0 : (value > limit ? limit : value);
    if (bounded != value)
        LogLine("Warning : Modifier [%s] %s %d cut to %d.", modifier.c_str(), parameter, value, bounded);
    return bounded;
}

MDLModifierRegistry& MDLModifierRegistry::Instance()
{
    static MDLModifierRegistry registry;
    return registry;
}

void MDLModifierRegistry::Register(const std::string& typeName, std::unique_ptr<MDLModifierFactory> factory)
{
    factories_.emplace(typeName, std::move(factory));
}

std::unique_ptr<MDLModifier> MDLModifierRegistry::Create(RenderDevice& device, Scene& scene,
                                                         const std::string& typeName) const
{
    auto found = factories_.find(typeName);
    if (found != factories_.end()) {
        std::unique_ptr<MDLModifier> modifier = found->second->Create(device, scene);
        modifier->SetTypeName(typeName);
        return modifier;
    }
    std::string listing;
    for (const auto& entry : factories_)
        listing += " - " + entry.first + "\r\n";
    ReportFatal("Could not find MDLModifier [%s].\r\n Available are : \r\n%s", typeName.c_str(), listing.c_str());
}

std::vector<std::string> MDLModifierRegistry::GetNames() const
{
    std::vector<std::string> names;
    for (const auto& entry : factories_)
        names.push_back(entry.first);
    return names;
}
