// FocalGFX: a full-screen picture coming into focus, a blurred copy swelling and dying under the sharp one.
#pragma once
#include <string>
#include <vector>
#include "engine/device/DeviceTypes.h"
#include "engine/layers/ScreenSpace.h"
#include "engine/layers/Layer.h"

class FocalGFX : public FadingLayer {
public:
    FocalGFX(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations);

    // Loads both pictures with the same alpha map and scales the stored quad once.
    void Init() override;
    // Gives both textures back.
    void Release() override;

    const Vertex* GetQuad() const { return quad_; }
    // Alpha bits of the blurred picture (drawn while fade <= 0.99) and of the sharp one
    // (drawn from fade 0.3).
    static uint32_t BlurredAlphaBits(float fade);
    static uint32_t SharpAlphaBits(float fade);

protected:
    void RenderRising() override { DrawFrame(); }
    void RenderStable() override { DrawFrame(); }
    void RenderFalling() override { DrawFrame(); }
    void DrawFrame();

    std::string BlurryMap;
    std::string AlphaMap;
    std::string OrigMap;
    float XScale = 1.0f;
    float YScale = 1.0f;

private:
    void DrawPicture(Texture* texture, uint32_t alphaBits);

    Vertex quad_[4];
    LayerTexture blurred_;
    LayerTexture sharp_;
};
