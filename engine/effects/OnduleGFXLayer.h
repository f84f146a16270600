// Image on a 64 x 64 vertex grid lifted by rings that run out from the screen centre, seen in perspective.
#pragma once
#include <string>
#include <vector>
#include "engine/layers/ScreenSpace.h"
#include "engine/layers/ImageLayer.h"

class VertexBuffer;

class OnduleGFXLayer : public ImageLayer {
public:
    static constexpr int kCells = 63;  // N
    static constexpr int kVertexCount = (kCells + 1) * (kCells + 1);
    static constexpr int kIndexCount = kCells * kCells * 6;

    OnduleGFXLayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations);
    ~OnduleGFXLayer() override;

    void Init() override;
    // Gives back the texture and the vertex buffer.
    void Release() override;

    VertexBuffer* GetVertexBuffer() const { return buffer_; }
    // Alpha byte rule of Effect for one frame (draws one LayerRand() when Effect is 1).
    uint32_t FrameAlphaBits() const;
    // Height of the wave at (x, y) at layer time t.
    static float WaveHeight(float x, float y, float t);

protected:
    void RenderRising() override { DrawFrame(); }
    void RenderStable() override { DrawFrame(); }
    void RenderFalling() override { DrawFrame(); }
    void DrawFrame();

    // Writes every grid vertex for the current parameters, colour and time.
    void FillGrid(Vertex* vertices, uint32_t colour, float t, bool wave) const;

    int32_t Effect = 0;

private:
    LayerTexture texture_;
    VertexBuffer* buffer_ = nullptr;
};
