// The metaball layer: ball paths, per-frame isosurface and its drawing through a perspective camera.
#include "engine/effects/MetaballLayer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include "engine/core/Log.h"
#include "engine/device/RenderDevice.h"
#include "engine/layers/LayerRegistry.h"

static LayerRegistrar<MetaballLayer> metaballRegistrar("MetaballLayer");

MetaballLayer::MetaballLayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations)
    : FadingLayer(device, nestedOperations),
      vertices_(kVertexCapacity, Vertex{0, 0, 0, 0, 0, 1, 0x00FFFFFFu, 0, 0, 0, 0})
{
    AddStringAccessor(1, "AlphaTexture", &AlphaTexture);
    AddStringAccessor(2, "Texture", &Texture);
    AddFloatAccessor(3, "XOffset", &XOffset);
    AddFloatAccessor(4, "YOffset", &YOffset);
    AddFloatAccessor(5, "ZOffset", &ZOffset);
    AddFloatAccessor(6, "XScale", &XScale);
    AddFloatAccessor(7, "YScale", &YScale);
    AddFloatAccessor(8, "ZScale", &ZScale);
    AddIntAccessor(0, "NBMeta", &NBMeta);
}

void MetaballLayer::Init()
{
    FadingLayer::Init();
    texture_.Load(device, Texture, AlphaTexture);
    centre_ = {XOffset, YOffset, ZOffset};

    // Each ball costs a full octree descent per frame, so a wild count is bounded.
    const int count = std::clamp(NBMeta, 0, kMaxBalls);
    if (NBMeta > kMaxBalls) LogLine("MetaballLayer : NBMeta %d limited to %d.", NBMeta, kMaxBalls);
    balls_.resize(count);
    positions_.assign(count, MetaPoint{0.0f, 0.0f, 0.0f});
    for (Ball& b : balls_) {
        auto r = [] { return static_cast<float>(LayerRand()); };
        b.ax = 11.0f * r() / 32768.0f;
        b.ay = 4.0f * r() / 32768.0f;
        b.az = 4.0f * r() / 32768.0f;
        b.fx = r() / 16384.0f;
        b.fy = r() / 16384.0f;
        b.fz = r() / 16384.0f;
        (void)r();  // one value is drawn and not used
        b.px = r() * 0.0000958252f;
        b.py = r() * b.px * 0.0000958252f + 1.570796f;
        b.pz = r() * 0.0000958252f;
    }
}

void MetaballLayer::Release()
{
    FadingLayer::Release();
    texture_.Reset();
}

void MetaballLayer::Update(float t)
{
    const uint32_t alpha = FadeAlphaBits(fade);
    for (Vertex& v : vertices_) v.color = WithAlpha(v.color, alpha);

    // NBMeta set after Init still chooses how many balls take part, but only among those made.
    const size_t count = std::min(static_cast<size_t>(std::max(NBMeta, 0)), balls_.size());
    for (size_t i = 0; i < count; ++i) {
        const Ball& b = balls_[i];
        positions_[i].x = centre_.x + std::cos(t * b.fx + b.px) * b.ax;
        positions_[i].y = std::cos(t * b.fy + b.py) * b.ay + centre_.y;
        positions_[i].z = std::cos(t * b.fz + b.pz) * b.az + centre_.z;
    }
    mesher_.Build(std::span<const MetaPoint>(positions_.data(), count));

    const MetaTriangle* triangles = mesher_.Triangles();
    const int triangleCount = mesher_.TriangleCount();
    for (int n = 0; n < triangleCount; ++n) {
        for (int k = 0; k < 3; ++k) {
            const MetaPoint& p = triangles[n].p[k];
            Vertex& v = vertices_[n * 3 + k];
            v.x = p.x;
            v.y = p.y;
            v.z = p.z;
            v.nx = 0.0f;
            v.ny = 0.0f;
            v.nz = 1.0f;
            // A planar projection of the image across the blob.
            v.u0 = v.u1 = (p.x + 12.0f) * 0.041666668f;
            v.v0 = v.v1 = (p.y + 12.0f) * 0.041666668f;
        }
    }
}

void MetaballLayer::DrawFrame()
{
    SaveTransforms(device);
    device.SetEye(0.0f, 0.0f, 10.0f);
    device.SetTarget(0.0f, 0.0f, 0.0f);
    device.SetFieldOfView(0.7853982f);
    device.SetNearPlane(1.0f);
    device.SetFarPlane(1000.0f);
    device.SetRoll(0.0f);
    device.UpdateCamera();
    device.EnableLighting(false);
    device.EnableAlphaBlend(true);
    SetModulatedAlphaBlend(device);
    device.SetCullMode(CullMode::None);
    device.SetTexture(0, texture_.Get());

    Update(time);
    const int count = mesher_.TriangleCount();
    if (count > 0) device.Draw(PrimitiveType::TriangleList, vertices_.data(), 3 * count);

    EndScreenSpace(device);
}
