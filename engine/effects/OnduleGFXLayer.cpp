// The waving image layer: grid built once, heights and colours rewritten every frame.
#include "engine/effects/OnduleGFXLayer.h"

#include <cmath>
#include <cstdlib>
#include "engine/device/RenderDevice.h"
#include "engine/device/VertexBuffer.h"
#include "engine/effects/GridMesh.h"
#include "engine/layers/LayerRegistry.h"

static LayerRegistrar<OnduleGFXLayer> onduleRegistrar("OnduleGFXLayer");

OnduleGFXLayer::OnduleGFXLayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations)
    : ImageLayer(device, nestedOperations)
{
    AddIntAccessor(6, "Effect", &Effect);
    AddPlacementAccessors();
    SetDefaultName("Ondule Gfx Layer [%X]");
}

OnduleGFXLayer::~OnduleGFXLayer()
{
    if (buffer_) device.DestroyVertexBuffer(buffer_);
}

float OnduleGFXLayer::WaveHeight(float x, float y, float t)
{
    return 2.0f * std::cos(t) * std::sin(0.25f * std::sqrt(x * x + y * y) - t);
}

void OnduleGFXLayer::FillGrid(Vertex* vertices, uint32_t colour, float t, bool wave) const
{
    for (int k = 0; k <= kCells; ++k) {
        for (int i = 0; i <= kCells; ++i) {
            Vertex& v = vertices[i + k * (kCells + 1)];
            const float fi = static_cast<float>(i) / kCells;
            const float fk = static_cast<float>(k) / kCells;
            v.x = (fi - 0.5f) * XScale + XOffset;
            v.y = (fk - 0.5f) * YScale + YOffset;
            v.z = wave ? WaveHeight(v.x, v.y, t) : 0.0f;
            v.nx = 0.0f;
            v.ny = 0.0f;
            v.nz = 1.0f;
            v.color = colour;
            v.u0 = 1.0f - fi;
            v.v0 = 1.0f - fk;
            v.u1 = 0.0f;
            v.v1 = 0.0f;
        }
    }
}

void OnduleGFXLayer::Init()
{
    FadingLayer::Init();
    texture_.Load(device, Texture, AlphaTexture);
    if (buffer_) device.DestroyVertexBuffer(buffer_);
    buffer_ = device.CreateVertexBuffer();
    buffer_->Create(false, kVertexCount, kIndexCount);
    if (Vertex* vertices = buffer_->Lock()) FillGrid(vertices, 0xFFFFFFFFu, 0.0f, false);
    buffer_->Unlock();
    buffer_->indices = BuildGridIndices(kCells);
}

void OnduleGFXLayer::Release()
{
    FadingLayer::Release();
    texture_.Reset();
    if (buffer_) device.DestroyVertexBuffer(buffer_);
    buffer_ = nullptr;
}

uint32_t OnduleGFXLayer::FrameAlphaBits() const
{
    if (Effect == 1) {
        // Random flicker between 0 and 59, scaled by the envelope.
        const double r = LayerRand();
        return AlphaBits(r / 32768.0 * fade * 60.0);
    }
    // Effect 0 and any unknown value fade with the envelope.
    return FadeAlphaBits(fade);
}

void OnduleGFXLayer::DrawFrame()
{
    if (!buffer_) return;
    SaveTransforms(device);
    device.SetCullMode(CullMode::None);
    device.SetEye(0.0f, 0.0f, 6.5f);
    device.SetTarget(0.0f, 0.0f, 0.0f);
    device.SetFieldOfView(0.7f);
    device.SetNearPlane(1.0f);
    device.SetFarPlane(1500.0f);
    device.SetRoll(0.0f);
    device.UpdateCamera();
    device.EnableLighting(false);
    device.EnableAlphaBlend(true);
    device.EnableDepth(false);
    device.SetCullMode(CullMode::None);
    SetModulatedAlphaBlend(device);
    device.SetTexture(0, texture_.Get());

    const uint32_t colour = FrameAlphaBits() | 0x00FFFFFFu;
    if (Vertex* vertices = buffer_->Lock()) FillGrid(vertices, colour, time, true);
    buffer_->Unlock();
    buffer_->Draw();

    EndScreenSpace(device);
}
