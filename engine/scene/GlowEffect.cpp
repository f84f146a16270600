// GlowEffect: the mesh's vertices scaled and tinted in three accumulating passes, then everything put back.
#include "engine/scene/GlowEffect.h"

#include <cmath>
#include "engine/core/Clock.h"
#include "engine/device/RenderDevice.h"
#include "engine/scene/Material.h"
#include "engine/scene/Mesh.h"
#include "engine/scene/ObjectFlags.h"
#include "engine/scene/Scene.h"

static MDLModifierRegistrar<GlowEffect> glowEffectRegistrar("GlowEffect");

GlowEffect::GlowEffect(RenderDevice& device, Scene& scene) : MDLModifier(device, scene)
{
    AddFloatAccessor(10, "ZScale", &ZScale);
    AddFloatAccessor(11, "TimeRatio", &TimeRatio);
}

GlowEffect::~GlowEffect()
{
    Restore();
}

void GlowEffect::Init()
{
    origin_ = ClockNow();
    MDLModifier::Init();
    if (object_ && object_->GetKind() == SceneObject::Kind::Mesh)
        mesh_ = static_cast<Mesh*>(object_);
    if (!mesh_)
        return;
    // The passes change the drawn vertices, which a static buffer would not show.
    mesh_->isStatic = false;
    meshTexture_ = mesh_->material ? mesh_->material->GetTexture(0) : nullptr;
    savedVertices_.reserve(mesh_->vertices.size());
}

void GlowEffect::Release()
{
    Restore();
    MDLModifier::Release();
}

void GlowEffect::SwapIn()
{
    savedFlags_ = mesh_->flags;
    savedWorld_ = mesh_->world;
    savedVertices_.assign(mesh_->vertices.begin(), mesh_->vertices.end());
    mesh_->flags |= kFlagAlpha;
    mesh_->BuildStateBlock();
    if (mesh_->material && !mesh_->material->textures.empty())
        mesh_->material->textures[0] = texture_;
    swapped_ = true;
}

void GlowEffect::Restore()
{
    if (!swapped_ || !mesh_)
        return;
    swapped_ = false;
    mesh_->vertices.assign(savedVertices_.begin(), savedVertices_.end());
    mesh_->world = savedWorld_;
    if (mesh_->material && !mesh_->material->textures.empty())
        mesh_->material->textures[0] = meshTexture_;
    // Only the alpha bit was added: a mesh that had it keeps it.
    mesh_->flags = (mesh_->flags & ~kFlagAlpha) | (savedFlags_ & kFlagAlpha);
    mesh_->BuildStateBlock();
}

void GlowEffect::DrawPass(uint32_t grey, Vector3 scale, Vector3 position)
{
    const uint32_t colour = device_.ConvertColor(grey << 16 | grey << 8 | grey) & 0x00FFFFFFu;
    for (Vertex& v : mesh_->vertices) {
        v.color = colour;
        v.x *= scale.x;
        v.y *= scale.y;
        v.z *= scale.z;
    }
    mesh_->world[3][0] = position.x;
    mesh_->world[3][1] = position.y;
    mesh_->world[3][2] = position.z;
    scene_.DrawMesh(*mesh_);
}

void GlowEffect::Render()
{
    device_.SetAlphaOp(0, AlphaOp::SelectArg1);
    device_.SetAlphaArg1(0, AlphaArg::Texture);
    device_.SetSrcBlend(BlendFactor::One);
    device_.SetDestBlend(BlendFactor::One);
    const Vector3 p = ObjectPositionAt(time_);
    device_.EnableLighting(false);
    device_.EnableAlphaBlend(true);
    device_.EnableDepth(false);
    // Without a mesh there is nothing to glow: no draw, nothing changed.
    if (mesh_) {
        SwapIn();
        try {
            const float a = TimeRatio * time_;
            if (LifeTime == -1.0f && InPulseWindow(a)) {
                const float s = std::fabs(std::sin(a));
                DrawPass(static_cast<uint32_t>(255.0f - 255.0f * s), {s + XScale, s + YScale, s + ZScale}, p);
                DrawPass(static_cast<uint32_t>(200.0f - 200.0f * s), {s + 1.1f, s + 1.1f, s + 1.1f}, p);
                DrawPass(static_cast<uint32_t>(150.0f - 150.0f * s), {s + 1.2f, s + 1.2f, s + 1.2f}, p);
            }
        } catch (...) {
            Restore();
            throw;
        }
        Restore();
    }
    device_.EnableLighting(false);
    device_.EnableAlphaBlend(false);
}
