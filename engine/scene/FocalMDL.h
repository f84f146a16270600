// FocalMDL: an envelope layer that plays a scene and lays a glow of the scene, seen through a chromic texture, over it.
#pragma once
#include <memory>
#include <string>
#include <vector>
#include "engine/device/DeviceTypes.h"
#include "engine/layers/Layer.h"
#include "engine/scene/Scene.h"

class FocalMDL : public FadingLayer {
public:
    FocalMDL(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations);
    ~FocalMDL() override;

    // The envelope's Init, the scene and its textures, the 64 x 64 target and the chromic
    // texture ("chromic.jpg" with AlphaMap as its alpha).
    void Init() override;
    // Gives back the scene's textures, deletes the scene, and gives back both textures.
    void Release() override;

    Scene* GetScene() const { return scene_.get(); }
    const Vertex* GetQuad() const { return quad_; }
    Texture* GetTarget() const { return target_; }
    Texture* GetChromic() const { return chromic_; }

protected:
    void RenderRising() override { DrawFrame(); }
    void RenderStable() override { DrawFrame(); }
    void RenderFalling() override { DrawFrame(); }
    // The scene into the target and on screen, then the glow quad at alpha fade x 255.
    void DrawFrame();

    std::string AlphaMap;
    std::string MDLFile;

private:
    void DestroyTextures();

    std::unique_ptr<Scene> scene_;
    Texture* target_ = nullptr;
    Texture* chromic_ = nullptr;
    Vertex quad_[4];
};
