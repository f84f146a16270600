// A row of NBCercles small copies of an image along a diagonal, through the perspective camera.
#pragma once
#include <string>
#include <vector>
#include "engine/device/DeviceTypes.h"
#include "engine/layers/ScreenSpace.h"
#include "engine/layers/ImageLayer.h"

class CerclesLayer : public ImageLayer {
public:
    CerclesLayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations);

    void Init() override;
    void Release() override;

    const Vertex* GetQuad() const { return quad_; }
    // Step between copies: h = max(1, NBCercles / 2), step = scale / h * 0.5.
    float GetStepX() const;
    float GetStepY() const;

protected:
    void RenderRising() override { DrawFrame(); }
    void RenderStable() override { DrawFrame(); }
    void RenderFalling() override { DrawFrame(); }
    void DrawFrame();

    int32_t NBCercles = 1;

private:
    int HalfCount() const;

    Vertex quad_[4];
    LayerTexture texture_;
};
