// Halos: visibility through the device's point test, a 1/9 s fade, a camera-facing quad that keeps its size on screen.
#include "engine/scene/Halo.h"
#include <cmath>
#include "engine/device/RenderDevice.h"
#include "engine/scene/SceneLight.h"
#include "engine/scene/Track.h"

// The fourth corner's coordinates match its position, so both triangles map the texture alike.
const HaloCorner kHaloQuad[4] = {
    {0.1f, 0.1f, 1.0f, 0.0f}, {0.1f, -0.1f, 1.0f, 1.0f}, {-0.1f, 0.1f, 0.0f, 0.0f}, {-0.1f, -0.1f, 0.0f, 1.0f}};

bool UpdateHaloFade(SceneLight& light, bool visibleNow, float now)
{
    HaloState& halo = light.halo;
    if (visibleNow != halo.visible) {
        halo.changeFade = halo.fade;
        halo.changeTime = now;
        halo.visible = visibleNow;
    }
    if (!halo.visible && halo.fade <= 1e-6f)
        return false;
    const float change = (now - halo.changeTime) * HaloState::kFadeSpeed;
    float fade = halo.visible ? halo.changeFade + change : halo.changeFade - change;
    if (fade > 1.0f)
        fade = 1.0f;
    if (fade < 1e-6f)
        fade = 0.0f;
    halo.fade = fade;
    return true;
}

void FaceCamera(const Matrix4& view, Vector3 centre, float scale, float angle, const HaloCorner corners[4],
                Vertex out[4])
{
    // The camera's right and up axes in world space are the view matrix's first two columns.
    const Vector3 right{view[0][0], view[1][0], view[2][0]};
    const Vector3 up{view[0][1], view[1][1], view[2][1]};
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    for (int i = 0; i < 4; ++i) {
        const float x = corners[i].x * scale;
        const float y = corners[i].y * scale;
        const Vector3 p = centre + right * (x * c - y * s) + up * (x * s + y * c);
        out[i] = Vertex{p.x, p.y, p.z, 0, 0, 0, 0xFFFFFFu, corners[i].u, corners[i].v, 0, 0};
    }
}

uint32_t FadeGrey(float fade)
{
    const uint32_t grey = static_cast<uint32_t>(fade * 255.0f);
    return grey << 16 | grey << 8 | grey;
}

void DrawHalos(RenderDevice& device, const std::vector<SceneLight*>& halos, float frame, Vector3 eye, float now)
{
    if (halos.empty())
        return;
    device.SetAlphaOp(0, AlphaOp::SelectArg1);
    device.SetAlphaArg1(0, AlphaArg::Texture);
    device.EnableLighting(false);
    device.SetSrcBlend(BlendFactor::One);
    device.SetDestBlend(BlendFactor::One);
    device.SetCullMode(CullMode::None);
    device.SetWorld(Matrix4::Identity());
    for (SceneLight* light : halos) {
        Vector3 position = light->staticPosition;
        if (light->track)
            light->track->PositionAt(frame, position);
        const bool visible = device.IsPointVisible(position.x, position.y, position.z);
        if (!UpdateHaloFade(*light, visible, now))
            continue;
        const float distance = Length(position - eye);
        Vertex quad[4];
        FaceCamera(device.GetView(), position, distance, distance * 0.1f, kHaloQuad, quad);
        const uint32_t grey = FadeGrey(light->halo.fade);
        for (Vertex& v : quad)
            v.color = grey;
        device.SetAlphaOp(0, AlphaOp::SelectArg1);
        device.SetAlphaArg1(0, AlphaArg::Texture);
        device.SetColorOp(0, ColorOp::Modulate);
        device.SetColorArg1(0, ColorArg::Texture);
        device.SetColorArg2(0, ColorArg::Diffuse);
        device.EnableAlphaBlend(true);
        device.EnableDepth(false);
        device.SetTexture(0, light->halo.texture);
        device.Draw(PrimitiveType::TriangleStrip, quad, 4);
    }
    device.EnableAlphaBlend(false);
    device.EnableDepth(true);
    device.SetCullMode(CullMode::Clockwise);
}
