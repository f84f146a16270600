// Interference flicker: the image drawn at a random opacity, turned and shifted (or zoomed and jittered) every frame.
#pragma once
#include <string>
#include <vector>
#include "engine/device/DeviceTypes.h"
#include "engine/device/Matrix.h"
#include "engine/layers/ScreenSpace.h"
#include "engine/layers/Layer.h"

class ParasitesLayer : public FadingLayer {
public:
    ParasitesLayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations);

    void Init() override;
    void Release() override;

    const Vertex* GetQuad() const { return quad_; }

    // The random choices of one frame, drawn from LayerRand() in the layer's order.
    struct FrameChoice {
        uint32_t colourBits = 0;  // alpha bits (or 0x00FFFFFF with AlphaType 1)
        Matrix4 world;
        float shiftX = 0.0f;
        float shiftY = 0.0f;
        bool material = false;
        float materialLevel = 0.0f;
    };
    // Draws the frame's random values (and, with Effect 1, swaps in the unit quad once).
    FrameChoice ChooseFrame();

protected:
    void RenderRising() override { DrawFrame(); }
    void RenderStable() override { DrawFrame(); }
    void RenderFalling() override { DrawFrame(); }
    void DrawFrame();

    int32_t AlphaType = 0;
    std::string AlphaTexture;
    std::string Texture;
    int32_t Effect = 0;

private:
    Vertex quad_[4];
    bool unitQuad_ = false;
    LayerTexture texture_;
};
