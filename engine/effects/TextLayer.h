// TextLayer: one line of text cut from a 16 x 16 glyph image, optionally coming into focus from a blurred twin.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "engine/device/DeviceTypes.h"
#include "engine/layers/ScreenSpace.h"
#include "engine/layers/ImageLayer.h"

// Texture rectangle of one glyph in a 512 x 512 image of 32 x 32 cells, 16 per row, from "!".
struct GlyphRect {
    float left = 0.0f, top = 0.0f, right = 0.0f, bottom = 0.0f;
};

class TextLayer : public ImageLayer {
public:
    TextLayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations);

    // Loads the sharp glyph image and, when BlurryMap is named, the blurred one.
    void Init() override;
    void Release() override;

    // False for characters that have no glyph (outside "!" .. "~"): they draw nothing.
    static bool GetGlyphRect(char c, GlyphRect& rect);

protected:
    void RenderRising() override { DrawFrame(); }
    void RenderStable() override { DrawFrame(); }
    void RenderFalling() override { DrawFrame(); }
    void DrawFrame();

    int32_t AlphaType = kAlphaTypeTransparent;
    int32_t Effect = 0;
    float ZOffset = 0.0f;
    float XOffsetStart = 0.0f;
    float YOffsetStart = 0.0f;
    float ZOffsetStart = 0.0f;
    float XOffsetEnd = 0.0f;
    float YOffsetEnd = 0.0f;
    float ZOffsetEnd = 0.0f;
    float XScaleStart = 0.0f;
    float YScaleStart = 0.0f;
    float XScaleEnd = 0.0f;
    float YScaleEnd = 0.0f;
    float Tracking = 0.0f;
    std::string Text;
    std::string BlurryMap;
    std::string AlphaBlurMap;

private:
    // The stored quad placed for this frame (envelope motion, offsets, jitter), with alphaBits.
    void BuildWorkingQuad(uint32_t alphaBits, float jitterX, float jitterY);
    // Draws Text glyph by glyph, advancing the working quad by Tracking + XScale per character.
    void DrawGlyphs();

    Vertex quad_[4];
    Vertex work_[4];
    LayerTexture texture_;
    LayerTexture blurred_;
    float previousFade_ = 0.0f;
};
