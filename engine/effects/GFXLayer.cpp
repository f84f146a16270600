// GFXLayer: the plainest image layer; fades with its envelope while sliding from and to its rest place.
#include "engine/effects/GFXLayer.h"

#include "engine/device/RenderDevice.h"
#include "engine/layers/LayerRegistry.h"

static LayerRegistrar<GFXLayer> gfxLayerRegistrar("GFXLayer");

GFXLayer::GFXLayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations)
    : ImageLayer(device, nestedOperations)
{
    MakeScreenQuad(quad_);
    AddPlacementAccessors();
    AddFloatAccessor(6, "XOffsetStart", &XOffsetStart);
    AddFloatAccessor(7, "YOffsetStart", &YOffsetStart);
    AddFloatAccessor(8, "XOffsetEnd", &XOffsetEnd);
    AddFloatAccessor(10, "YOffsetEnd", &YOffsetEnd);
    AddFloatAccessor(11, "XScaleStart", &XScaleStart);
    AddFloatAccessor(12, "YScaleStart", &YScaleStart);
    AddFloatAccessor(13, "XScaleEnd", &XScaleEnd);
    AddFloatAccessor(14, "YScaleEnd", &YScaleEnd);
    AddIntAccessor(9, "AlphaType", &AlphaType);
    SetDefaultName("Gfx Layer [%X]");
}

void GFXLayer::Init()
{
    FadingLayer::Init();
    texture_.Load(device, Texture, AlphaTexture);
    // Built in once: scale and offset act again in every frame, so a later change of
    // these four parameters only acts through the per-frame terms.
    PlaceQuad(quad_, XScale, YScale, XOffset, YOffset);
    previousFade_ = fade;
}

void GFXLayer::Release()
{
    FadingLayer::Release();
    texture_.Reset();
}

void GFXLayer::DrawFrame()
{
    BeginScreenSpace(device, AlphaType, texture_.Get());

    const uint32_t alphaBits = FadeAlphaBits(fade);
    const bool additive = AlphaType == kAlphaTypeAdditive;
    // Additive images are dimmed through the material; their vertices are white with alpha 0.
    if (additive) SetLevelMaterial(device, fade);

    float sx, sy, dx, dy;
    if (previousFade_ - fade > 0.0f) {
        const float a = fade - 1.0f;  // -1 .. 0 while falling
        sx = XScale + a * XScaleEnd;
        sy = YScale + a * YScaleEnd;
        dx = a * XOffsetEnd;
        dy = a * YOffsetEnd;
    } else {
        const float a = 1.0f - fade;  // 1 .. 0 while rising, 0 when stable
        sx = XScale + a * XScaleStart;
        sy = YScale + a * YScaleStart;
        dx = a * XOffsetStart;
        dy = a * YOffsetStart;
    }

    Vertex work[4];
    for (int i = 0; i < 4; ++i) {
        work[i] = quad_[i];
        work[i].color = additive ? 0x00FFFFFFu : WithAlpha(quad_[i].color, alphaBits);
        work[i].x = quad_[i].x * sx + dx + XOffset;
        work[i].y = quad_[i].y * sy + dy + YOffset;
    }
    previousFade_ = fade;

    device.Draw(PrimitiveType::TriangleStrip, work, 4);
    EndScreenSpace(device);
}
