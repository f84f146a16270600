// FocalGFX: the blurred picture follows half a sine over the envelope while the sharp one fades in.
#include "engine/effects/FocalGFX.h"

#include <cmath>
#include "engine/device/RenderDevice.h"
#include "engine/layers/LayerRegistry.h"

static LayerRegistrar<FocalGFX> focalGfxRegistrar("FocalGFX");

FocalGFX::FocalGFX(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations)
    : FadingLayer(device, nestedOperations)
{
    MakeScreenQuad(quad_);
    AddStringAccessor(0, "BlurryMap", &BlurryMap);
    AddStringAccessor(1, "AlphaMap", &AlphaMap);
    AddStringAccessor(2, "OrigMap", &OrigMap);
    AddFloatAccessor(3, "XScale", &XScale);
    AddFloatAccessor(4, "YScale", &YScale);
}

void FocalGFX::Init()
{
    FadingLayer::Init();
    blurred_.Load(device, BlurryMap, AlphaMap);
    sharp_.Load(device, OrigMap, AlphaMap);
    for (Vertex& v : quad_) {
        v.x *= XScale;
        v.y *= YScale;
    }
}

void FocalGFX::Release()
{
    FadingLayer::Release();
    blurred_.Reset();
    sharp_.Reset();
}

uint32_t FocalGFX::BlurredAlphaBits(float fade)
{
    // 0 at fade 0, 255 at 0.495, 0 again at 0.99.
    return AlphaBits(std::sin(fade * 3.14159265358979 * 1.0101010) * 255.0);
}

uint32_t FocalGFX::SharpAlphaBits(float fade)
{
    // 255 / 0.7 written as a ratio: the rounded constant 364.2857 truncates fade 1.0 to
    // 254, and the stable phase must show the picture fully opaque.
    return AlphaBits((fade - 0.3) * (255.0 / 0.7) + 1e-9);
}

void FocalGFX::DrawPicture(Texture* texture, uint32_t alphaBits)
{
    // The colours stay in the stored quad; every draw overwrites them first.
    for (Vertex& v : quad_) v.color = alphaBits | 0x00FFFFFFu;
    device.SetTexture(0, texture);
    device.Draw(PrimitiveType::TriangleStrip, quad_, 4);
}

void FocalGFX::DrawFrame()
{
    SaveTransforms(device);
    device.SetOrtho(1.0f, 1.0f, 1.0f, -1.0f);
    ApplyBlendPreset(device, kAlphaTypeTransparent);
    if (!(fade > 0.99f)) DrawPicture(blurred_.Get(), BlurredAlphaBits(fade));
    if (fade >= 0.3f) DrawPicture(sharp_.Get(), SharpAlphaBits(fade));
    EndScreenSpace(device);
}
