// Smoke: particle birth, per-frame motion, camera-facing corners, rebirth and the nearest-first draw.
#include "engine/scene/Smoke.h"

#include <algorithm>
#include <cmath>
#include "engine/core/Clock.h"
#include "engine/device/RenderDevice.h"
#include "engine/layers/ScreenSpace.h"

static MDLModifierRegistrar<Smoke> smokeRegistrar("Smoke");

Smoke::Smoke(RenderDevice& device, Scene& scene) : MDLModifier(device, scene)
{
    AddIntAccessor(10, "NBParticle", &NBParticle);
    AddFloatAccessor(11, "Gravity", &Gravity);
    AddFloatAccessor(12, "LifeTimeParticules", &LifeTimeParticules);
    AddFloatAccessor(13, "SensX", &SensX);
    AddFloatAccessor(14, "SensY", &SensY);
    AddFloatAccessor(15, "SensZ", &SensZ);
    AddIntAccessor(16, "Effect", &Effect);
    AddFloatAccessor(17, "AmplitudeX", &AmplitudeX);
    AddFloatAccessor(18, "AmplitudeY", &AmplitudeY);
    AddFloatAccessor(19, "AmplitudeZ", &AmplitudeZ);
    AddIntAccessor(20, "AlphaType", &AlphaType);
    AddFloatAccessor(21, "MaxIntensity", &MaxIntensity);
    MakeMirroredQuad(quad_);  // the sprite quad every modifier starts from
}

Vector3 Smoke::Spread() const
{
    const float x = (ModifierRandom() - 0.5f) * AmplitudeX;
    const float y = (ModifierRandom() - 0.5f) * AmplitudeY;
    const float z = (ModifierRandom() - 0.5f) * AmplitudeZ;
    return {x, y, z};
}

void Smoke::Init()
{
    origin_ = ClockNow();
    MDLModifier::Init();
    ScaleQuad(quad_);
    const int count = BoundedCount(NBParticle, kMaxParticles, "NBParticle", GetName());
    particles_.assign(count, SmokeParticle{});
    corners_.assign(static_cast<size_t>(count) * 4, Vertex{});
    order_.assign(count, {0.0f, 0});
    const Vector3 origin = ObjectPositionAt(time_);
    for (SmokeParticle& p : particles_)
        Spawn(p, origin);
}

void Smoke::Spawn(SmokeParticle& p, Vector3 origin)
{
    p.position = origin;
    switch (Behaviour()) {
    case 0:
        p.velocity = Sens();
        p.lifespan = p.position.y + LifeTimeParticules;
        break;
    case 1:
        p.velocity = Spread();
        p.lifespan = p.position.y + LifeTimeParticules;
        break;
    default:
        p.position = origin + Spread();
        p.velocity = Sens();
        p.lifespan = LifeTimeParticules;
        break;
    }
    p.fade = 0.8f + 0.2f * ModifierRandom();
    // Births spread over a life, so the particles do not all start together.
    const float r1 = ModifierRandom();
    const float r2 = ModifierRandom();
    p.birth = r1 * p.lifespan - r2;
    p.size = 1.0f + ModifierRandom();
    p.spin = ModifierRandom() - 0.5f;
}

void Smoke::Rebirth(SmokeParticle& p, Vector3 origin, float t)
{
    p.birth = t;
    p.spin = ModifierRandom() - 0.5f;
    p.size = 1.0f + ModifierRandom();
    switch (Behaviour()) {
    case 0: {
        const float dx = (ModifierRandom() - 0.5f) * AmplitudeX;
        const float dz = (ModifierRandom() - 0.5f) * AmplitudeY;
        p.position = {origin.x + dx, origin.y, origin.z + dz};
        p.velocity = Sens();
        p.lifespan = p.position.y + LifeTimeParticules;
        p.fade = 0.9f;
        break;
    }
    case 1:
        p.position = origin;
        p.velocity = Spread();
        p.lifespan = p.position.y + LifeTimeParticules;
        p.fade = 0.8f + 0.2f * ModifierRandom();
        break;
    default:
        p.position = origin + Spread();
        p.lifespan = LifeTimeParticules;
        p.fade = 1.0f;
        break;
    }
}

void Smoke::ApplyStates()
{
    if (AlphaType == 1) {
        device_.EnableLighting(true);
        device_.EnableAlphaBlend(true);
        device_.EnableDepth(true);
        device_.SetSrcBlend(BlendFactor::One);
        device_.SetDestBlend(BlendFactor::One);
        SetLevelMaterial(device_, MaxIntensity);
    } else {
        BeginSprites(true);
    }
    device_.SetTexture(0, texture_);
}

void Smoke::Render()
{
    const float t = time_;
    const Vector3 origin = ObjectPositionAt(t);
    ApplyStates();
    // Corners are built in world space.
    device_.SetWorld(Matrix4::Identity());
    Vector3 right, up, forward;
    ViewAxes(device_.GetView(), right, up, forward);
    const Matrix4 viewProjection = device_.GetView() * device_.GetProjection();
    const int behaviour = Behaviour();

    for (size_t i = 0; i < particles_.size(); ++i) {
        SmokeParticle& p = particles_[i];
        const float age = t - p.birth;
        const float d = age * 4.0f;
        const float fade = age < p.lifespan ? (p.lifespan - age) / p.lifespan : 0.0f;
        const float fi = static_cast<float>(i);
        Vector3 q;
        Matrix4 turn;  // the sprite's turn in the camera's plane (or about its three axes)
        if (behaviour == 0) {
            const float k = age * 0.5f + 1.0f;
            const Vector3 wobble{std::cos(2.0f * t + 0.15f * fi) * AmplitudeX,
                                 std::sin(2.2f * t + 0.2f * fi) * AmplitudeY,
                                 std::cos(2.2f * t + 0.2f * fi) * AmplitudeZ};
            q = p.position + Sens() * d + wobble * k;
            turn = Matrix4::RotationZ(p.spin * t * 10.0f);
        } else if (behaviour == 1) {
            q = p.position + p.velocity * d;
            turn = Matrix4::RotationZ(p.spin * t * 10.0f);
        } else {
            // A flash: position, size and angles jitter every frame.
            const float jx = (ModifierRandom() - 0.5f) * 0.3f;
            const float jy = (ModifierRandom() - 0.5f) * 0.3f;
            const float jz = (ModifierRandom() - 0.5f) * 0.3f;
            q = p.position + Vector3{jx, jy, jz};
            p.size = 1.0f + ModifierRandom();
            const float az = SensZ + (ModifierRandom() - 0.5f) * 0.3f;
            const float ax = SensX + (ModifierRandom() - 0.5f) * 0.3f;
            const float ay = SensY + (ModifierRandom() - 0.5f) * 0.3f;
            turn = Matrix4::RotationZ(az) * Matrix4::RotationX(ax) * Matrix4::RotationY(ay);
        }

        uint32_t colour = 0xFFFFFFFFu;
        if (AlphaType != 1) {
            const float alpha = std::clamp(fade * MaxIntensity, 0.0f, 255.0f);
            colour = static_cast<uint32_t>(alpha) << 24 | 0x00FFFFFFu;
        }
        Vertex* corners = &corners_[i * 4];
        for (int c = 0; c < 4; ++c) {
            const Vector4 l = TransformPoint(turn, Vector3{quad_[c].x * p.size, quad_[c].y * p.size, 0.0f});
            // The quad's x along the camera's right keeps its front (clockwise) face to the camera.
            const Vector3 w = q + right * l.x + up * l.y + forward * l.z;
            corners[c] = quad_[c];
            corners[c].x = w.x;
            corners[c].y = w.y;
            corners[c].z = w.z;
            corners[c].color = colour;
        }
        order_[i] = {TransformPoint(viewProjection, q).w, static_cast<int>(i)};

        if (age >= p.lifespan)
            Rebirth(p, origin, t);
    }

    std::sort(order_.begin(), order_.end());
    for (const auto& entry : order_)
        device_.Draw(PrimitiveType::TriangleStrip, &corners_[static_cast<size_t>(entry.second) * 4], 4);

    EndSprites();
}
