// An image cut into NBLines stripes (or bands) that blink each on its own phase.
#pragma once
#include <string>
#include <vector>
#include "engine/device/DeviceTypes.h"
#include "engine/layers/ScreenSpace.h"
#include "engine/layers/ImageLayer.h"

class LineLayer : public ImageLayer {
public:
    LineLayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations);

    void Init() override;
    void Release() override;

    const Vertex* GetQuad() const { return quad_; }
    const std::vector<float>& GetPhases() const { return phases_; }
    // Stripes drawn this frame: NBLines, limited to the phases made at Init; 0 when not positive.
    int StripeCount() const;
    // Width of a vertical stripe (Sens 0) or height of a horizontal band (other Sens).
    float StripeSize() const;

protected:
    void RenderRising() override { DrawFrame(); }
    void RenderStable() override { DrawFrame(); }
    void RenderFalling() override { DrawFrame(); }
    void DrawFrame();

    // Accepted and stored for scripts; the drawing does not move with them.
    float XOffsetDelta = 0.0f;
    float YOffsetDelta = 0.0f;
    float XScaleDelta = 0.0f;
    float YScaleDelta = 0.0f;
    int32_t NBLines = 32;
    float Tracking = 0.1f;
    int32_t Sens = 0;
    float IntensityMax = 1.0f;

private:
    Vertex quad_[4];
    std::vector<float> phases_;
    int phaseCount_ = 0;
    LayerTexture texture_;
};
