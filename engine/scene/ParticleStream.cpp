// Particle streams: gravity-bent paths from a source light towards a destination, reborn with a wandering velocity.
#include "engine/scene/ParticleStream.h"
#include <cstdlib>
#include "engine/device/RenderDevice.h"
#include "engine/scene/Halo.h"

namespace {

const HaloCorner kStreamQuad[4] = {
    {0.1f, -0.1f, 0.0f, 1.0f}, {0.1f, 0.1f, 0.0f, 0.0f}, {-0.1f, -0.1f, 1.0f, 1.0f}, {-0.1f, 0.1f, 1.0f, 0.0f}};

// -5.0 to 4.9 in steps of 0.1.
float Spread()
{
    return static_cast<float>(std::rand() % 100) * 0.1f - 5.0f;
}

}  // namespace

ParticleStream::ParticleStream(Vector3 source, Vector3 destination, Texture* texture, int count)
    : source_(source), destination_(destination), texture_(texture), particles_(count > 0 ? count : 0),
      points_(particles_.size()), results_(particles_.size())
{
    for (Particle& p : particles_) {
        p.start = source;
        p.position = source;
        const float a = Spread();
        const float b = Spread();
        const float c = Spread();
        p.velocity = (destination - source) + Vector3{a, b, c};
        p.birth = static_cast<float>(std::rand() % 100) * 0.1f - 10.0f;
        p.life = static_cast<float>(std::rand() % 50) * 0.1f + 5.0f;
    }
}

void ParticleStream::Update(float now)
{
    if (!started_) {
        // Birth times were drawn relative to the first frame, which is now.
        for (Particle& p : particles_)
            p.birth += now;
        started_ = true;
    }
    for (Particle& p : particles_) {
        float age = now - p.birth;
        if (age > p.life) {
            p.life = static_cast<float>(std::rand() % 50 / 10 + 5);
            const float a = Spread();
            const float b = Spread();
            const float c = Spread();
            p.velocity = p.velocity + Vector3{a, b, c};
            p.birth = now;
            age = 0.0f;
        }
        const float f = age * kTimeScale;
        p.position = p.start + p.velocity * f + Vector3{0.0f, kGravity, 0.0f} * (f * f * 0.5f);
        const float fade = 1.0f - age / p.life;
        p.fade = fade < 0.0f ? 0.0f : fade > 1.0f ? 1.0f : fade;
    }
}

void ParticleStream::Draw(RenderDevice& device)
{
    if (particles_.empty())
        return;
    device.EnableLighting(false);
    device.SetSrcBlend(BlendFactor::One);
    device.SetDestBlend(BlendFactor::One);
    device.SetCullMode(CullMode::None);
    device.SetWorld(Matrix4::Identity());
    for (size_t i = 0; i < particles_.size(); ++i) {
        const Vector3& p = particles_[i].position;
        points_[i] = TransformedVertex{p.x, p.y, p.z, 1.0f, 0x00FFFFFFu, 0u, 0.0f, 0.0f};
    }
    device.ArePointsVisible(points_.data(), results_.data(), static_cast<int>(particles_.size()));
    device.SetColorOp(0, ColorOp::Modulate);
    device.SetColorArg1(0, ColorArg::Texture);
    device.SetColorArg2(0, ColorArg::Diffuse);
    device.SetTexture(0, texture_);
    // The blend factors above add the sprites to the picture; blending must be on for that.
    device.EnableAlphaBlend(true);
    const Matrix4& view = device.GetView();
    for (size_t i = 0; i < particles_.size(); ++i) {
        if (results_[i] != kPointVisible)
            continue;
        Vertex quad[4];
        FaceCamera(view, particles_[i].position, 1.0f, 0.0f, kStreamQuad, quad);
        const uint32_t grey = FadeGrey(particles_[i].fade);
        for (Vertex& v : quad)
            v.color = grey;
        device.Draw(PrimitiveType::TriangleStrip, quad, 4);
    }
    device.EnableAlphaBlend(false);
}
