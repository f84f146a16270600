// Flash: white light added over the whole picture, rising, holding and falling with the envelope.
#pragma once
#include <vector>
#include "engine/device/DeviceTypes.h"
#include "engine/layers/ScreenSpace.h"
#include "engine/layers/Layer.h"

class Flash : public FadingLayer {
public:
    Flash(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations);

    // Loads "white.jpg".
    void Init() override;
    void Release() override;

    const Vertex* GetQuad() const { return quad_; }

protected:
    void RenderRising() override { DrawFrame(); }
    void RenderStable() override { DrawFrame(); }
    void RenderFalling() override { DrawFrame(); }
    // A 20 x 20 quad before the perspective camera, lit by a material at half the fade.
    void DrawFrame();

private:
    Vertex quad_[4];
    LayerTexture texture_;
};
