// ParticlesCollision: prepares a particle set and the sprite states at an object, and draws nothing.
#pragma once
#include <vector>
#include "engine/scene/MDLModifier.h"
#include "engine/scene/Smoke.h"

class ParticlesCollision : public MDLModifier {
public:
    // Scripts cannot ask for more particles than this.
    static constexpr int kMaxParticles = 65536;

    ParticlesCollision(RenderDevice& device, Scene& scene);

    // The common Init, the quad scaled, NBParticules zeroed particles (bounded).
    void Init() override;
    const std::vector<SmokeParticle>& GetParticles() const { return particles_; }

protected:
    // Sets the sprite states and takes them back; no particle is drawn.
    void Render() override;

    int32_t NBParticules = 1;
    float Gravity = 0.9f;  // kept for scripts
    float SensX = 0.0f, SensY = 0.0f, SensZ = 0.0f;

private:
    std::vector<SmokeParticle> particles_;
    Vertex quad_[4];
};
