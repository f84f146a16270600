// ParticleStream: sprites thrown from a source light towards a destination light under gravity.
#pragma once
#include <vector>
#include "engine/device/DeviceTypes.h"
#include "engine/device/Matrix.h"

class RenderDevice;
class Texture;

class ParticleStream {
public:
    struct Particle {
        Vector3 start;
        Vector3 velocity;
        Vector3 position;  // this frame
        float birth = 0;   // clock seconds
        float life = 0;    // seconds
        float fade = 0;    // 1 at birth, 0 at the end of its life
    };
    static constexpr float kGravity = -5.0f;  // y, with factor 0.5
    static constexpr float kTimeScale = 4.0f; // age counts four times faster along the path

    // count particles, every one starting at source with velocity (destination - source)
    // plus a random spread, spread birth times and lives. texture is not owned.
    ParticleStream(Vector3 source, Vector3 destination, Texture* texture, int count);

    // Moves the particles to clock time now and rebirths those past their life (new life,
    // a random step of the velocity). The first call fixes the birth times relative to
    // now, so the stream is spread out on its first frame whenever that is.
    void Update(float now);
    // Tests the particles' visibility and draws each visible one as a camera-facing sprite
    // whose grey is its fade.
    void Draw(RenderDevice& device);

    const std::vector<Particle>& GetParticles() const { return particles_; }
    Texture* GetTexture() const { return texture_; }
    Vector3 GetSource() const { return source_; }
    Vector3 GetDestination() const { return destination_; }

private:
    Vector3 source_;
    Vector3 destination_;
    Texture* texture_;
    std::vector<Particle> particles_;
    std::vector<TransformedVertex> points_;  // the visibility test's buffer
    std::vector<uint32_t> results_;
    bool started_ = false;
};
