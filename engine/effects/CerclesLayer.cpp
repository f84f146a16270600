// The circles layer: one quad, scaled down and drawn NBCercles times, one step further each time.
#include "engine/effects/CerclesLayer.h"

#include <algorithm>
#include "engine/device/RenderDevice.h"
#include "engine/layers/LayerRegistry.h"

static LayerRegistrar<CerclesLayer> cerclesRegistrar("CerclesLayer");

CerclesLayer::CerclesLayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations)
    : ImageLayer(device, nestedOperations)
{
    MakeMirroredQuad(quad_);
    AddIntAccessor(6, "NBCercles", &NBCercles);
    AddPlacementAccessors();
    SetDefaultName("Cercles Layer [%X]");
}

void CerclesLayer::Init()
{
    FadingLayer::Init();
    texture_.Load(device, Texture, AlphaTexture);
    PlaceQuad(quad_, XScale, YScale, XOffset, YOffset);
}

void CerclesLayer::Release()
{
    FadingLayer::Release();
    texture_.Reset();
}

// A single copy (NBCercles 1, the default) would otherwise divide by zero.
int CerclesLayer::HalfCount() const { return std::max(1, NBCercles / 2); }

float CerclesLayer::GetStepX() const { return XScale / HalfCount() * 0.5f; }

float CerclesLayer::GetStepY() const { return YScale / HalfCount() * 0.5f; }

void CerclesLayer::DrawFrame()
{
    BeginCamera(device, texture_.Get());
    const uint32_t alpha = FadeAlphaBits(fade);
    const float stepX = GetStepX();
    const float stepY = GetStepY();
    Vertex work[4];
    for (int i = 0; i < 4; ++i) {
        work[i] = quad_[i];
        work[i].color = WithAlpha(quad_[i].color, alpha);
        // Both coordinates shrink by the horizontal step, so the copies keep their aspect.
        work[i].x = quad_[i].x * stepX + XOffset;
        work[i].y = quad_[i].y * stepX + YOffset;
    }
    for (int n = 0; n < NBCercles; ++n) {
        for (Vertex& v : work) {
            v.x += stepX;
            v.y += stepY;
        }
        device.Draw(PrimitiveType::TriangleStrip, work, 4);
    }
    EndScreenSpace(device);
}
