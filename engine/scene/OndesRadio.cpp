// OndesRadio: one quad scaled and faded by the pulse, turned by the three rotation parameters.
#include "engine/scene/OndesRadio.h"

#include <cmath>
#include "engine/device/RenderDevice.h"
#include "engine/layers/ScreenSpace.h"
#include "engine/scene/SceneObject.h"

static MDLModifierRegistrar<OndesRadio> ondesRadioRegistrar("OndesRadio");

OndesRadio::OndesRadio(RenderDevice& device, Scene& scene) : MDLModifier(device, scene)
{
    AddIntAccessor(10, "NBOndes", &NBOndes);
    AddFloatAccessor(11, "Width", &Width);
    AddFloatAccessor(12, "RotateX", &RotateX);
    AddFloatAccessor(13, "RotateY", &RotateY);
    AddFloatAccessor(14, "RotateZ", &RotateZ);
    MakeMirroredQuad(quad_);  // the sprite quad every modifier starts from
}

float OndesRadio::Strength(float t) const
{
    const float s = std::fabs(std::sin(t));
    return LifeTime != -1.0f ? s * 10.0f : s;
}

void OndesRadio::Render()
{
    // The object's resting place, not where its track has moved it.
    const Vector3 p = object_ ? object_->staticPosition : Vector3{};
    BeginSprites(false);
    device_.SetCullMode(CullMode::None);
    device_.SetWorld(Matrix4::RotationX(RotateX) * Matrix4::RotationY(RotateY) * Matrix4::RotationZ(RotateZ));
    device_.SetTexture(0, texture_);

    const float s = Strength(time_);
    if (InPulseWindow(time_)) {
        // A timed wave's strength reaches 10: its alpha takes the low byte of s x 255,
        // which flickers as it wraps.
        const uint32_t alpha = (static_cast<uint32_t>(static_cast<int>(s * 255.0f)) & 0xFFu) << 24;
        Vertex quad[4];
        for (int i = 0; i < 4; ++i) {
            quad[i] = quad_[i];
            quad[i].color = (quad_[i].color & 0x00FFFFFFu) | alpha;
            quad[i].x = quad_[i].x * (s + XScale) + p.x;
            quad[i].y = quad_[i].y * (s + YScale) + p.y;
            quad[i].z = quad_[i].z + p.z;
        }
        device_.Draw(PrimitiveType::TriangleStrip, quad, 4);
    }

    EndSprites();
}
