// GFXLayer: one image as a screen-space rectangle that fades, slides and zooms with its envelope.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "engine/device/DeviceTypes.h"
#include "engine/layers/ScreenSpace.h"
#include "engine/layers/ImageLayer.h"

class GFXLayer : public ImageLayer {
public:
    GFXLayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations);

    // Loads the image (alpha map first when named) and scales and offsets the stored quad once.
    void Init() override;
    void Release() override;

    const Vertex* GetQuad() const { return quad_; }

protected:
    void RenderRising() override { DrawFrame(); }
    void RenderStable() override { DrawFrame(); }
    void RenderFalling() override { DrawFrame(); }
    // While the fade goes down the End terms move the image, otherwise the Start terms.
    void DrawFrame();

    float XOffsetStart = 0.0f;
    float YOffsetStart = 0.0f;
    float XOffsetEnd = 0.0f;
    float YOffsetEnd = 0.0f;
    float XScaleStart = 0.0f;
    float YScaleStart = 0.0f;
    float XScaleEnd = 0.0f;
    float YScaleEnd = 0.0f;
    int32_t AlphaType = kAlphaTypeTransparent;

private:
    Vertex quad_[4];
    LayerTexture texture_;
    float previousFade_ = 0.0f;
};
