// Flies: sprites drifting up and out at 4 units per second, a new heading whenever a fly is outside its shell.
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
}

Vector3 Flies::OffsetAt(const Fly& fly, float t)
{
    const float travel = 4.0f * t;
    Vector3 offset = fly.base + fly.direction * travel;
    offset.y += travel;
    return offset;
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
        const Vector3 offset = OffsetAt(fly, t);
        const float distance = Length(offset);
        // The turn shows from the next frame on: this frame draws where the old heading led.
        if (distance <= ZoneMin || distance >= ZoneMax)
            fly.direction = RandomDirection();
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
