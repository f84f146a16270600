// VertexBuffer: device-held vertices in the Vertex layout plus a public index list, drawn as triangles.
#pragma once
#include <cstdint>
#include <vector>
#include "engine/core/LibObject.h"
#include "engine/device/DeviceTypes.h"

class RenderDevice;

class VertexBuffer : public LibObject {
public:
    explicit VertexBuffer(RenderDevice* device);
    ~VertexBuffer() override = default;
    VertexBuffer(const VertexBuffer&) = delete;
    VertexBuffer& operator=(const VertexBuffer&) = delete;

    // Room for vertexCount vertices; the index list becomes indexCount entries (new ones 0).
    // Implementations call VertexBuffer::Create first, then make their storage.
    virtual bool Create(bool writeOnly, int vertexCount, int indexCount);
    // The vertex array (vertexCount entries) for writing.
    virtual Vertex* Lock() = 0;
    // May optimise the buffer for drawing when it was created write-only.
    virtual void Unlock() = 0;
    // Draws the whole buffer as an indexed triangle list with `indices`.
    virtual void Draw() = 0;

    int GetVertexCount() const { return vertexCount_; }
    bool IsWriteOnly() const { return writeOnly_; }
    RenderDevice* GetDevice() const { return device_; }

    std::vector<uint16_t> indices;

protected:
    RenderDevice* device_ = nullptr;
    int vertexCount_ = 0;
    bool writeOnly_ = false;
};
