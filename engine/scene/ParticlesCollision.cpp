// ParticlesCollision: the particle records and the device states, without any drawing.
#include "engine/scene/ParticlesCollision.h"

#include "engine/device/RenderDevice.h"
#include "engine/layers/ScreenSpace.h"

static MDLModifierRegistrar<ParticlesCollision> particlesCollisionRegistrar("ParticlesCollision");

ParticlesCollision::ParticlesCollision(RenderDevice& device, Scene& scene) : MDLModifier(device, scene)
{
    AddIntAccessor(10, "NBParticules", &NBParticules);
    AddFloatAccessor(11, "Gravity", &Gravity);
    AddFloatAccessor(12, "SensX", &SensX);
    AddFloatAccessor(13, "SensY", &SensY);
    AddFloatAccessor(14, "SensZ", &SensZ);
    MakeMirroredQuad(quad_);  // the sprite quad every modifier starts from
}

void ParticlesCollision::Init()
{
    MDLModifier::Init();
    ScaleQuad(quad_);
    particles_.assign(BoundedCount(NBParticules, kMaxParticles, "NBParticules", GetName()), SmokeParticle{});
}

void ParticlesCollision::Render()
{
    BeginSprites(false);
    device_.SetTexture(0, texture_);
    EndSprites();
}
