// The flicker layer: one textured quad per frame with random opacity and placement.
#include "engine/effects/ParasitesLayer.h"

#include <cmath>
#include <cstdlib>
#include "engine/device/RenderDevice.h"
#include "engine/layers/LayerRegistry.h"

static LayerRegistrar<ParasitesLayer> parasitesRegistrar("ParasitesLayer");

namespace {

// A random fraction in 0..1 (32767 / 32768 at most).
double RandomUnit() { return LayerRand() / 32768.0; }

}  // namespace

ParasitesLayer::ParasitesLayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations)
    : FadingLayer(device, nestedOperations)
{
    // Twice the screen, so rotated and shifted copies still cover it.
    quad_[0] = QuadVertex(1.0f, -1.0f, 0.998f, 0.998f);
    quad_[1] = QuadVertex(1.0f, 1.0f, 0.998f, 0.002f);
    quad_[2] = QuadVertex(-1.0f, -1.0f, 0.002f, 0.998f);
    quad_[3] = QuadVertex(-1.0f, 1.0f, 0.002f, 0.002f);
    AddIntAccessor(0, "AlphaType", &AlphaType);
    AddStringAccessor(1, "AlphaTexture", &AlphaTexture);
    AddStringAccessor(2, "Texture", &Texture);
    AddIntAccessor(3, "Effect", &Effect);
    SetDefaultName("Parasites Layer [%X]");
}

void ParasitesLayer::Init()
{
    FadingLayer::Init();
    texture_.Load(device, Texture, AlphaTexture);
}

void ParasitesLayer::Release()
{
    FadingLayer::Release();
    texture_.Reset();
}

ParasitesLayer::FrameChoice ParasitesLayer::ChooseFrame()
{
    FrameChoice c;
    c.colourBits = AlphaBits(RandomUnit() * fade * 255.0);
    if (Effect == 0) {
        const float a = static_cast<float>(RandomUnit()) * 6.2831855f;
        c.world = Matrix4::Identity();
        c.world.m[0][0] = std::cos(a);
        c.world.m[0][1] = std::sin(a);
        c.world.m[1][0] = -std::sin(a);
        c.world.m[1][1] = std::cos(a);
        c.shiftX = static_cast<float>(LayerRand() / 65536.0 - 0.4);
        c.shiftY = static_cast<float>(LayerRand() / 65536.0);
    } else if (Effect == 1) {
        c.world = Matrix4::Scaling(fade + 1.0f, fade + 1.0f, 1.0f);
        c.shiftX = static_cast<float>((RandomUnit() - 0.5) * 0.1);
        c.shiftY = static_cast<float>((RandomUnit() - 0.5) * 0.1);
        if (!unitQuad_) {
            // The zoom works on the screen-sized quad; the swap is made once and kept.
            MakeScreenQuad(quad_);
            unitQuad_ = true;
        }
    } else {
        // Unknown effects stay in place.
        c.world = Matrix4::Identity();
    }
    if (AlphaType == kAlphaTypeAdditive) {
        c.material = true;
        c.materialLevel = static_cast<float>(RandomUnit() * fade);
        c.colourBits = 0x00FFFFFFu;
    }
    return c;
}

void ParasitesLayer::DrawFrame()
{
    BeginScreenSpace(device, AlphaType, texture_.Get());
    const FrameChoice c = ChooseFrame();
    device.SetWorld(c.world);
    if (c.material) SetLevelMaterial(device, c.materialLevel);
    Vertex copy[4];
    for (int i = 0; i < 4; ++i) {
        copy[i] = quad_[i];
        copy[i].color = c.colourBits | (quad_[i].color & 0x00FFFFFFu);
        copy[i].x += c.shiftX;
        copy[i].y += c.shiftY;
    }
    device.Draw(PrimitiveType::TriangleStrip, copy, 4);
    EndScreenSpace(device);
}
