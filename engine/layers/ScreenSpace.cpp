// Drawing frames, blend presets, fade-to-alpha rule and texture loading shared by the image layers.
#include "engine/layers/ScreenSpace.h"

#include <cstdlib>
#include "engine/device/RenderDevice.h"
#include "engine/device/Texture.h"

void SaveTransforms(RenderDevice& device)
{
    device.PushTransform(device.GetWorld());
    device.PushTransform(device.GetView());
    device.PushTransform(device.GetProjection());
}

void RestoreTransforms(RenderDevice& device)
{
    // Pushed as world, view, projection: they come back in the opposite order.
    const Matrix4 projection = device.PopTransform();
    const Matrix4 view = device.PopTransform();
    const Matrix4 world = device.PopTransform();
    device.SetProjection(projection);
    device.SetView(view);
    device.SetWorld(world);
}

void ApplyBlendPreset(RenderDevice& device, int32_t alphaType)
{
    if (alphaType == kAlphaTypeTransparent) {
        ApplyTransparentBlend(device, false);
    } else if (alphaType == kAlphaTypeAdditive) {
        // Lighting on so the material, not the vertex alpha, scales the brightness.
        device.EnableLighting(true);
        device.EnableAlphaBlend(true);
        device.EnableDepth(false);
        device.SetSrcBlend(BlendFactor::One);
        device.SetDestBlend(BlendFactor::One);
    }
}

void SetModulatedAlphaBlend(RenderDevice& device)
{
    device.SetAlphaOp(0, AlphaOp::Modulate);
    device.SetAlphaArg1(0, AlphaArg::Texture);
    device.SetAlphaArg2(0, AlphaArg::Diffuse);
    device.SetSrcBlend(BlendFactor::SrcAlpha);
    device.SetDestBlend(BlendFactor::InvSrcAlpha);
}

void ApplyTransparentBlend(RenderDevice& device, bool depthTest)
{
    device.EnableLighting(false);
    device.EnableAlphaBlend(true);
    device.EnableDepth(depthTest);
    SetModulatedAlphaBlend(device);
}

void ResetBlendState(RenderDevice& device)
{
    device.SetAlphaOp(0, AlphaOp::Disable);
    device.EnableLighting(false);
    device.EnableAlphaBlend(false);
}

void SetLayerCamera(RenderDevice& device)
{
    device.SetWorld(Matrix4::Identity());
    device.SetEye(0.0f, 0.0f, -5.0f);
    device.SetTarget(0.0f, 0.0f, 0.0f);
    device.SetFieldOfView(0.7853982f);
    device.SetNearPlane(1.0f);
    device.SetFarPlane(1500.0f);
    device.SetRoll(0.0f);
    device.UpdateCamera();
}

void BeginScreenSpace(RenderDevice& device, int32_t alphaType, Texture* texture)
{
    SaveTransforms(device);
    device.SetOrtho(1.0f, 1.0f, 1.0f, -1.0f);
    ApplyBlendPreset(device, alphaType);
    device.SetTexture(0, texture);
}

void BeginCamera(RenderDevice& device, Texture* texture)
{
    SaveTransforms(device);
    SetLayerCamera(device);
    ApplyBlendPreset(device, kAlphaTypeTransparent);
    device.SetTexture(0, texture);
}

void EndScreenSpace(RenderDevice& device)
{
    ResetBlendState(device);
    RestoreTransforms(device);
}

uint32_t AlphaBits(double byteValue)
{
    if (!(byteValue > 0.0)) return 0;  // also NaN
    if (byteValue >= 255.0) return 0xFF000000u;
    return static_cast<uint32_t>(byteValue) << 24;  // conversion truncates toward zero
}

uint32_t FadeAlphaBits(float fade)
{
    return AlphaBits(fade * 255.0f);
}

int LayerRand()
{
    return std::rand() & 0x7FFF;
}

void SetLevelMaterial(RenderDevice& device, float level)
{
    MaterialRecord material;
    material.diffuseR = material.diffuseG = material.diffuseB = level;
    material.ambientR = material.ambientG = material.ambientB = level;
    material.emissiveR = material.emissiveG = material.emissiveB = level;
    device.SetMaterial(material);
}

Texture* LoadLayerTexture(RenderDevice& device, const std::string& colourFile, const std::string& alphaFile)
{
    Texture* texture = device.CreateTexture();
    try {
        if (!alphaFile.empty()) texture->SetAlphaMap(alphaFile.c_str(), 255);
        texture->Load(colourFile.c_str(), false);
    } catch (...) {
        device.DestroyTexture(texture);
        throw;
    }
    return texture;
}

void LayerTexture::Load(RenderDevice& device, const std::string& colourFile, const std::string& alphaFile)
{
    Reset();
    texture_ = LoadLayerTexture(device, colourFile, alphaFile);
    device_ = &device;
}

void LayerTexture::Reset()
{
    if (texture_ != nullptr && device_ != nullptr) device_->DestroyTexture(texture_);
    texture_ = nullptr;
    device_ = nullptr;
}

// Corners given as (x, y, u, v) rows.
static void FillQuad(Vertex quad[4], const float (&corners)[4][4])
{
    for (int i = 0; i < 4; ++i) quad[i] = QuadVertex(corners[i][0], corners[i][1], corners[i][2], corners[i][3]);
}

void MakeScreenQuad(Vertex quad[4])
{
    static const float corners[4][4] = {
        {0.5f, -0.5f, 0.998f, 0.998f},
        {0.5f, 0.5f, 0.998f, 0.002f},
        {-0.5f, -0.5f, 0.002f, 0.998f},
        {-0.5f, 0.5f, 0.002f, 0.002f},
    };
    FillQuad(quad, corners);
}

void MakeMirroredQuad(Vertex quad[4])
{
    static const float corners[4][4] = {
        {1.0f, -1.0f, 0.002f, 0.998f},
        {1.0f, 1.0f, 0.002f, 0.002f},
        {-1.0f, -1.0f, 0.998f, 0.998f},
        {-1.0f, 1.0f, 0.998f, 0.002f},
    };
    FillQuad(quad, corners);
}

Vertex QuadVertex(float x, float y, float u, float v)
{
    return Vertex{x, y, 0.0f, 0.0f, 0.0f, 0.0f, 0xFFFFFFFFu, u, v, 0.0f, 0.0f};
}

void PlaceQuad(Vertex quad[4], float xScale, float yScale, float xOffset, float yOffset)
{
    for (int i = 0; i < 4; ++i) {
        quad[i].x = quad[i].x * xScale + xOffset;
        quad[i].y = quad[i].y * yScale + yOffset;
    }
}
