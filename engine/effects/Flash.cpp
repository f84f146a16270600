// Flash: adds a plain white image through the lighting material, so its strength follows the fade.
#include "engine/effects/Flash.h"

#include "engine/device/RenderDevice.h"
#include "engine/layers/LayerRegistry.h"

static LayerRegistrar<Flash> flashRegistrar("Flash");

Flash::Flash(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations)
    : FadingLayer(device, nestedOperations)
{
    static const float corners[4][4] = {
        {10.0f, -10.0f, 0.002f, 0.998f},
        {10.0f, 10.0f, 0.002f, 0.002f},
        {-10.0f, -10.0f, 0.998f, 0.998f},
        {-10.0f, 10.0f, 0.998f, 0.002f},
    };
    for (int i = 0; i < 4; ++i) {
        quad_[i] = Vertex{corners[i][0], corners[i][1], 0.0f, 0.0f, 0.0f, 0.0f, 0x00FFFFFFu,
                          corners[i][2], corners[i][3], 0.0f, 0.0f};
    }
    SetDefaultName("Flash Layer [%X]");
}

void Flash::Init()
{
    FadingLayer::Init();
    texture_.Load(device, "white.jpg", "");
}

void Flash::Release()
{
    FadingLayer::Release();
    texture_.Reset();
}

void Flash::DrawFrame()
{
    SaveTransforms(device);
    SetLayerCamera(device);
    device.EnableLighting(true);
    device.EnableAlphaBlend(true);
    device.EnableDepth(false);
    device.SetSrcBlend(BlendFactor::One);
    device.SetDestBlend(BlendFactor::One);
    device.SetTexture(0, texture_.Get());
    // At full fade the added light is half the image's brightness.
    SetLevelMaterial(device, fade * 0.5f);
    device.Draw(PrimitiveType::TriangleStrip, quad_, 4);
    device.EnableLighting(false);
    device.EnableAlphaBlend(false);
    RestoreTransforms(device);
}
