// Smoke: depth-sorted, camera-facing particle sprites at an object: rising smoke, spray or flashes.
#pragma once
#include <utility>
#include <vector>
#include "engine/scene/MDLModifier.h"

// One particle; all times in seconds of the modifier's local time.
struct SmokeParticle {
    Vector3 position;
    Vector3 velocity;
    float spin = 0;      // turns per unit of t x 10 about the view axis
    float size = 0;      // factor on the sprite quad
    float birth = 0;
    float lifespan = 0;
    float fade = 0;
};

class Smoke : public MDLModifier {
public:
    // Scripts cannot ask for more particles than this.
    static constexpr int kMaxParticles = 65536;

    Smoke(RenderDevice& device, Scene& scene);

    // Origin := now, the common Init, the quad scaled, then NBParticle particles (bounded)
    // spread over their lives at the object's position.
    void Init() override;

    const std::vector<SmokeParticle>& GetParticles() const { return particles_; }
    // The corners drawn last frame, four per particle, and the drawing order (nearest first).
    const std::vector<Vertex>& GetCorners() const { return corners_; }
    const std::vector<std::pair<float, int>>& GetOrder() const { return order_; }

protected:
    void Render() override;

    int32_t NBParticle = 1;
    float Gravity = 0.9f;  // kept for scripts
    float LifeTimeParticules = 1.0f;
    float SensX = 0.0f, SensY = 0.0f, SensZ = 0.0f;
    int32_t Effect = 0;
    float AmplitudeX = 0.0f, AmplitudeY = 0.0f, AmplitudeZ = 0.0f;
    int32_t AlphaType = 0;
    float MaxIntensity = 255.0f;

private:
    // Behaviour 1 and 2 as set; any other value moves like behaviour 0.
    int Behaviour() const { return Effect == 1 || Effect == 2 ? Effect : 0; }
    Vector3 Sens() const { return {SensX, SensY, SensZ}; }
    Vector3 Spread() const;
    void Spawn(SmokeParticle& p, Vector3 origin);
    void Rebirth(SmokeParticle& p, Vector3 origin, float t);
    void ApplyStates();

    std::vector<SmokeParticle> particles_;
    std::vector<Vertex> corners_;
    std::vector<std::pair<float, int>> order_;
    Vertex quad_[4];
};
