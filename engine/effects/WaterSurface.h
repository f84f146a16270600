// Damped eight-neighbour wave simulation on a 64 x 64 vertex grid, drawn as one indexed mesh.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "engine/device/DeviceTypes.h"

class RenderDevice;
class VertexBuffer;
class TextMap;

class WaterSurface {
public:
    static constexpr int kCells = 63;                      // N
    static constexpr int kSide = kCells + 1;               // vertices per side
    static constexpr int kVertexCount = kSide * kSide;     // 4096
    static constexpr int kIndexCount = kCells * kCells * 6;  // 23814
    static constexpr float kStepInterval = 0.3f;           // seconds between filter steps
    static constexpr float kDamping = 0.75f;
    static constexpr float kPressScale = 0.005f;           // height per unit of map intensity
    static constexpr float kHeight = 25.2f;                // the surface is 33.6 x 25.2
    static constexpr float kWidth = kHeight * 4.0f / 3.0f;

    // Rest vertices, index list, flat heights and the work array are made here, once.
    WaterSurface();
    ~WaterSurface();
    WaterSurface(const WaterSurface&) = delete;
    WaterSurface& operator=(const WaterSurface&) = delete;

    // Makes the device vertex buffer and hands it the index list.
    void Create(RenderDevice& device);
    // Gives the vertex buffer back to its device (also done by the destructor).
    void Release();

    // One draw at demo-clock time now: a filter step when one is due, the blended heights,
    // normals and environment coordinates, the indexed draw, then any pending map pressed in.
    void Draw(float now);
    // The map to press in after the next draw (not owned; nullptr clears).
    void SetPendingMap(const TextMap* map) { pending_ = map; }
    const TextMap* GetPendingMap() const { return pending_; }

    // The steps of Draw, usable alone.
    // Filters the older buffer against the newest one and makes it the newest.
    void Step();
    // Fills the work vertices for blend factor e between the previous and newest heights.
    void Compose(float e);
    // newest height[i] += intensity[i] * kPressScale over the first N x N grid values.
    void Press(const TextMap& map);

    // Height buffers: 0 = previous, 1 = newest.
    const std::vector<float>& GetNewest() const { return heights_[newest_]; }
    const std::vector<float>& GetPrevious() const { return heights_[1 - newest_]; }
    std::vector<float>& GetNewestForTesting() { return heights_[newest_]; }
    float GetLastStep() const { return lastStep_; }
    const std::vector<Vertex>& GetVertices() const { return work_; }
    const std::vector<uint16_t>& GetIndices() const { return indices_; }
    VertexBuffer* GetVertexBuffer() const { return buffer_; }

private:
    RenderDevice* device_ = nullptr;
    VertexBuffer* buffer_ = nullptr;
    std::vector<Vertex> base_;
    std::vector<Vertex> work_;
    std::vector<uint16_t> indices_;
    std::vector<float> heights_[2];
    int newest_ = 0;
    float lastStep_ = 0.0f;
    const TextMap* pending_ = nullptr;
};

// The intensities (red component, 0..255) of one lettering image on the water grid,
// 64 x 64 values row by row.
class TextMap {
public:
    static constexpr int kSide = WaterSurface::kSide;

    // Reads the image through the image loader (any size) and resamples it.
    explicit TextMap(const std::string& fileName);
    // From XRGB32 pixels (0x00RRGGBB), width x height, resampled by nearest neighbour.
    TextMap(const uint32_t* pixels, uint32_t width, uint32_t height);

    const std::vector<uint8_t>& GetIntensities() const { return intensity_; }

private:
    void Resample(const uint32_t* pixels, uint32_t width, uint32_t height);
    std::vector<uint8_t> intensity_;
};

// Splits a TextMapList: a comma or a tab ends a name, spaces before a name are skipped,
// spaces inside or after it kept, empty names dropped.
std::vector<std::string> SplitTextMapList(const std::string& list);
