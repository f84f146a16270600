// A blob of merging spheres on Lissajous paths, meshed on the CPU every frame and drawn textured.
#pragma once
#include <string>
#include <vector>
#include "engine/device/DeviceTypes.h"
#include "engine/effects/MetaballMesher.h"
#include "engine/layers/ScreenSpace.h"
#include "engine/layers/Layer.h"

class MetaballLayer : public FadingLayer {
public:
    // Amplitudes, frequencies and phases of one ball's path.
    struct Ball {
        float ax, ay, az;
        float fx, fy, fz;
        float px, py, pz;
    };
    static constexpr int kMaxBalls = 64;
    static constexpr int kVertexCapacity = 3 * MetaballMesher::kTriangleCapacity + 3;

    // The triangle store and the vertex array are allocated here, once.
    MetaballLayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations);

    // Makes NBMeta ball paths (the value in force now) from LayerRand().
    void Init() override;
    void Release() override;

    const std::vector<Ball>& GetBalls() const { return balls_; }
    const std::vector<MetaPoint>& GetPositions() const { return positions_; }
    const MetaballMesher& GetMesher() const { return mesher_; }
    const std::vector<Vertex>& GetVertices() const { return vertices_; }
    // Ball positions, surface and vertex list for layer time t and the current fade; the first
    // NBMeta balls take part (at most those made at Init).
    void Update(float t);

protected:
    void RenderRising() override { DrawFrame(); }
    void RenderStable() override { DrawFrame(); }
    void RenderFalling() override { DrawFrame(); }
    void DrawFrame();

    std::string AlphaTexture;
    std::string Texture;
    float XOffset = 0.0f;
    float YOffset = 0.0f;
    float ZOffset = 0.0f;
    // Accepted for scripts; the drawing does not scale with them.
    float XScale = 1.0f;
    float YScale = 1.0f;
    float ZScale = 1.0f;
    int32_t NBMeta = 3;

private:
    MetaPoint centre_{0.0f, 0.0f, 0.0f};
    std::vector<Ball> balls_;
    std::vector<MetaPoint> positions_;
    MetaballMesher mesher_;
    std::vector<Vertex> vertices_;
    LayerTexture texture_;
};
