// ParticlesCollision: the particle records and the device states, without any drawing.
#include "engine/scene/ParticlesCollision.h"

#include "engine/device/RenderDevice.h"
#include "engine/scene/Scene.h"

static MDLModifierRegistrar<ParticlesCollision> particlesCollisionRegistrar("ParticlesCollision");

ParticlesCollision::ParticlesCollision(RenderDevice& device, Scene& scene) : MDLModifier(device, scene)
{
    AddIntAccessor(10, "NBParticules", &NBParticules);
    AddFloatAccessor(11, "Gravity", &Gravity);
    AddFloatAccessor(12, "SensX", &SensX);
    AddFloatAccessor(13, "SensY", &SensY);
    AddFloatAccessor(14, "SensZ", &SensZ);
    MakeSpriteQuad(quad_);
}

void ParticlesCollision::Init()
{
    MDLModifier::Init();
    for (Vertex& v : quad_) {
        v.x *= XScale;
        v.y *= YScale;
    }
    particles_.assign(BoundedCount(NBParticules, kMaxParticles, "NBParticules", GetName()), SmokeParticle{});
}

void ParticlesCollision::Render()
{
    object_ = scene_.FindObject(ObjetName);
    device_.EnableLighting(false);
    device_.EnableAlphaBlend(true);
    device_.EnableDepth(false);
    device_.SetAlphaOp(0, AlphaOp::Modulate);
    device_.SetAlphaArg1(0, AlphaArg::Texture);
    device_.SetAlphaArg2(0, AlphaArg::Diffuse);
    device_.SetSrcBlend(BlendFactor::SrcAlpha);
    device_.SetDestBlend(BlendFactor::InvSrcAlpha);
    device_.SetTexture(0, texture_);
    device_.SetAlphaOp(0, AlphaOp::Disable);
    device_.EnableLighting(false);
    device_.EnableAlphaBlend(false);
}
