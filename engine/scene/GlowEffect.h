// GlowEffect: three enlarged, additively blended copies of a mesh around it, pulsing with time.
#pragma once
#include <vector>
#include "engine/scene/MDLModifier.h"

class Mesh;

class GlowEffect : public MDLModifier {
public:
    GlowEffect(RenderDevice& device, Scene& scene);
    ~GlowEffect() override;

    // Origin := now, the common Init; the mesh is drawn from memory from now on.
    void Init() override;
    // Puts the mesh back as it was (if a frame left it changed), then the base's Release.
    void Release() override;

    Mesh* GetMesh() const { return mesh_; }

protected:
    // Swaps the glow texture and alpha flag in, draws the three passes of an unlimited
    // glow inside its pulse windows, and restores the mesh whether it drew or not.
    void Render() override;

    float ZScale = 1.0f;
    float TimeRatio = 1.0f;

private:
    void SwapIn();
    void Restore();
    void DrawPass(uint32_t grey, Vector3 scale, Vector3 position);

    Mesh* mesh_ = nullptr;
    Texture* meshTexture_ = nullptr;    // the material's first texture before the swap
    std::vector<Vertex> savedVertices_; // the drawn vertices before the passes
    uint32_t savedFlags_ = 0;
    Matrix4 savedWorld_;
    bool swapped_ = false;
};
