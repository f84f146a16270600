// Rippling water surface on which lettering images are pressed in, one every UpdateInterval seconds.
#pragma once
#include <memory>
#include <string>
#include <vector>
#include "engine/layers/ScreenSpace.h"
#include "engine/effects/WaterSurface.h"
#include "engine/layers/Layer.h"

class WaterText : public Layer {
public:
    WaterText(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations);

    // Loads the surface and environment images and one text map per name of TextMapList.
    void Init() override;
    void Release() override;

    const WaterSurface& GetWater() const { return water_; }
    WaterSurface& GetWater() { return water_; }
    size_t GetTextMapCount() const { return textMaps_.size(); }
    const TextMap* GetTextMap(size_t index) const { return textMaps_[index].get(); }
    int GetNextMap() const { return nextMap_; }
    float GetLastUpdate() const { return lastUpdate_; }

    // The map schedule at layer time t: when more than UpdateInterval has passed since the
    // last update, the next map becomes the water's pending map. Nothing without maps.
    void UpdateMaps(float t);
    // Draws at layer time t with demo-clock time now (Render uses time and ClockNow()).
    void DrawAt(float t, float now);

protected:
    void Render() override;

    std::string TextureFile;
    std::string EnvMapFile;
    std::string TextMapList;
    // Scripts that leave it out get one word a second.
    float UpdateInterval = 1.0f;

private:
    LayerTexture surfaceTexture_;
    LayerTexture environmentTexture_;
    WaterSurface water_;
    std::vector<std::unique_ptr<TextMap>> textMaps_;
    int nextMap_ = 0;
    float lastUpdate_ = 0.0f;
};
