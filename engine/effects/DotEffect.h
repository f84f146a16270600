// DotEffect: a scene rendered into a 64 x 64 target and shown as a grid of dots sized by each texel's blue.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "engine/device/DeviceTypes.h"
#include "engine/layers/ScreenSpace.h"
#include "engine/scene/MDLPlayer.h"

class DotEffect : public MDLPlayer {
public:
    static constexpr int kEdge = 64;
    static constexpr int kDots = kEdge * kEdge;

    DotEffect(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations);
    ~DotEffect() override;

    // The player's Init, the render target, the intensities and the dot texture.
    void Init() override;
    // Gives back the target and the dot texture, then the player's Release.
    void Release() override;

    // Reads kEdge rows of kEdge pixels of bits (16 or 32) per pixel, rows pitch bytes
    // apart, into intensities: the top five bits of the channel blueMask selects (0..31).
    static void ReadIntensities(const uint8_t* pixels, int pitch, int bits, uint32_t blueMask, uint8_t* intensities);
    const std::vector<uint8_t>& GetIntensities() const { return intensities_; }
    Texture* GetTarget() const { return target_; }
    Texture* GetDotTexture() const { return dotTexture_.Get(); }

protected:
    // The player's frame into the target, then one batched draw of every lit dot through
    // the layers' perspective camera.
    void Render() override;

    std::string TextureMap;
    std::string AlphaMap;

private:
    void ReadBack();
    void DrawDots();
    void DestroyTextures();

    Texture* target_ = nullptr;
    LayerTexture dotTexture_;
    std::vector<uint8_t> intensities_;
    Vertex quad_[4];
    std::vector<Vertex> vertices_;   // four per lit dot, sized once
    std::vector<uint16_t> indices_;  // six per dot, fixed
};
