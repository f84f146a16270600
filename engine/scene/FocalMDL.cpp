// FocalMDL: the scene drawn twice (into a small target and on screen) under a full-screen chromic glow quad.
#include "engine/scene/FocalMDL.h"

#include "engine/device/RenderDevice.h"
#include "engine/device/Texture.h"
#include "engine/layers/LayerRegistry.h"
#include "engine/layers/ScreenSpace.h"

static LayerRegistrar<FocalMDL> focalMdlRegistrar("FocalMDL");

namespace {

constexpr int kTargetEdge = 64;
constexpr float kHalfPi = 1.5707963f;

}  // namespace

FocalMDL::FocalMDL(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations)
    : FadingLayer(device, nestedOperations)
{
    AddStringAccessor(0, "AlphaMap", &AlphaMap);
    AddStringAccessor(1, "MDLFile", &MDLFile);
    // Seen from +z the picture is mirrored in x, so u runs from the right. Stage 1 (the
    // scene's picture) keeps coordinates 0: the glow takes the colour of its corner texel.
    MakeMirroredQuad(quad_);
    PlaceQuad(quad_, 10.0f, 10.0f * device.GetAspect(), 0.0f, 0.0f);
}

FocalMDL::~FocalMDL()
{
    scene_.reset();
    DestroyTextures();
}

void FocalMDL::Init()
{
    FadingLayer::Init();
    scene_ = std::make_unique<Scene>(device);
    scene_->Load(MDLFile.c_str());
    scene_->LoadTextures();
    target_ = device.CreateTexture();
    target_->CreateRenderTarget(kTargetEdge);
    chromic_ = LoadLayerTexture(device, "chromic.jpg", AlphaMap);
}

void FocalMDL::DestroyTextures()
{
    if (target_)
        device.DestroyTexture(target_);
    if (chromic_)
        device.DestroyTexture(chromic_);
    target_ = chromic_ = nullptr;
}

void FocalMDL::Release()
{
    FadingLayer::Release();
    if (scene_)
        scene_->ReleaseTextures();
    scene_.reset();
    DestroyTextures();
}

void FocalMDL::DrawFrame()
{
    if (!scene_)
        return;
    device.SetNearPlane(1.0f);
    device.SetFarPlane(4500.0f);
    device.UpdateCamera();
    device.EnableDepth(true);

    const float frame = time * Scene::kFramesPerSecond;
    device.SetRenderTarget(target_);
    scene_->Draw(frame);
    device.Clear(1);
    device.SetRenderTarget(nullptr);
    scene_->Draw(frame);

    device.SetWorld(Matrix4::Identity());
    device.SetCullMode(CullMode::None);
    device.SetEye(0.0f, 0.0f, 6.5f);
    device.SetTarget(0.0f, 0.0f, 0.0f);
    device.SetFieldOfView(kHalfPi);
    device.SetNearPlane(1.0f);
    device.SetFarPlane(1500.0f);
    device.SetRoll(0.0f);
    device.UpdateCamera();
    device.EnableDepth(false);
    device.EnableAlphaBlend(true);
    // A scene with dynamic lights leaves lighting on; the glow is not lit.
    device.EnableLighting(false);
    device.SetAlphaOp(0, AlphaOp::Modulate);
    device.SetAlphaArg1(0, AlphaArg::Texture);
    device.SetAlphaArg2(0, AlphaArg::Diffuse);
    device.SetColorOp(1, ColorOp::Modulate);
    device.SetColorArg1(1, ColorArg::Texture);
    device.SetColorArg2(1, ColorArg::Diffuse);
    device.SetAlphaOp(1, AlphaOp::Disable);
    device.SetSrcBlend(BlendFactor::SrcAlpha);
    device.SetDestBlend(BlendFactor::InvSrcAlpha);

    const uint32_t alpha = FadeAlphaBits(fade);
    for (Vertex& v : quad_)
        v.color = WithAlpha(v.color, alpha);
    device.SetTexture(0, chromic_);
    device.SetTexture(1, target_);
    device.Draw(PrimitiveType::TriangleStrip, quad_, 4);
    device.SetTexture(0, nullptr);
    device.SetTexture(1, nullptr);
}
