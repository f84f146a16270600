// Flies: straight legs at 4 units per second, a new heading whenever a fly leaves its shell.
#include "engine/scene/Flies.h"

#include "engine/device/RenderDevice.h"
#include "engine/layers/ScreenSpace.h"

static MDLModifierRegistrar<Flies> fliesRegistrar("Flies");

namespace {

Vector3 RandomDirection()
{
    const float x = (ModifierRandom() - 0.5f) * 2.0f;
    const float y = (ModifierRandom() - 0.5f) * 2.0f;
    const float z = (ModifierRandom() - 0.5f) * 2.0f;
    return {x, y, z};
}

}  // namespace

Flies::Flies(RenderDevice& device, Scene& scene) : MDLModifier(device, scene)
{
    AddIntAccessor(10, "NBFlies", &NBFlies);
    AddFloatAccessor(11, "ZoneMin", &ZoneMin);
    AddFloatAccessor(12, "ZoneMax", &ZoneMax);
    MakeMirroredQuad(quad_);  // the sprite quad every modifier starts from
}

void Flies::Init()
{
    MDLModifier::Init();
    ScaleQuad(quad_);
    flies_.assign(BoundedCount(NBFlies, kMaxFlies, "NBFlies", GetName()), Fly{});
    // Every fly starts halfway through the shell, heading anywhere.
    const float radius = (ZoneMin + ZoneMax) * 0.5f;
    for (Fly& fly : flies_) {
        Vector3 d = RandomDirection();
        const float length = Length(d);
        fly.base = length > 1e-6f ? d * (radius / length) : Vector3{radius, 0, 0};
        fly.direction = RandomDirection();
    }
}

Vector3 Flies::OffsetAt(const Fly& fly, float t) const
{
    return fly.base + fly.direction * (4.0f * (t - fly.legStart));
}

void Flies::Render()
{
    const float t = time_;
    const Vector3 p = ObjectPositionAt(t);
    BeginSprites(true);
    device_.SetTexture(0, texture_);
    device_.SetWorld(Matrix4::Identity());
    Vector3 right, up, forward;
    ViewAxes(device_.GetView(), right, up, forward);

    for (Fly& fly : flies_) {
        // A restart moves the clock back: legs never start in the future.
        if (fly.legStart > t)
            fly.legStart = t;
        Vector3 offset = OffsetAt(fly, t);
        const float distance = Length(offset);
        if (distance <= ZoneMin || distance >= ZoneMax) {
            // A new leg from the shell's edge nearest to the fly (a long frame may carry
            // it past); the heading is flipped when it would lead further out.
            if (distance >= ZoneMax && distance > 0)
                offset = offset * (ZoneMax / distance);
            else if (distance > 0)
                offset = offset * (ZoneMin / distance);
            fly.base = offset;
            fly.legStart = t;
            fly.direction = RandomDirection();
            const float along = Dot(fly.direction, offset);
            if ((distance >= ZoneMax && along > 0) || (distance <= ZoneMin && along < 0))
                fly.direction = fly.direction * -1.0f;
        }
        const Vector3 at = p + offset;
        Vertex quad[4];
        for (int c = 0; c < 4; ++c) {
            const Vector3 w = at + right * quad_[c].x + up * quad_[c].y;
            quad[c] = quad_[c];
            quad[c].x = w.x;
            quad[c].y = w.y;
            quad[c].z = w.z;
        }
        device_.Draw(PrimitiveType::TriangleStrip, quad, 4);
    }

    EndSprites();
}
