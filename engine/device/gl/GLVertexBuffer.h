// VertexBuffer of the OpenGL device: a GL buffer of Vertex records plus the public index list (internal).
#pragma once
#include <vector>
#include "engine/device/VertexBuffer.h"
#include "engine/device/gl/GLError.h"
#include "engine/device/gl/GLStateCache.h"

class GLDevice;

class GLVertexBuffer : public VertexBuffer {
public:
    explicit GLVertexBuffer(GLDevice* device);
    ~GLVertexBuffer() override;

    bool Create(bool writeOnly, int vertexCount, int indexCount) override;
    Vertex* Lock() override;
    void Unlock() override;
    void Draw() override;

    // Binds the buffer's vertex array, uploads the index list when it changed and draws it
    // as triangles; false when there is nothing to draw.
    bool Bind(GLStateCache& state);
    // The index list's whole triangles that name vertices of the buffer; false when none.
    bool CheckIndices(std::vector<uint16_t>& checked) const;
    // Binds the vertex array, uploads checked when GL holds other indices, and draws them.
    void DrawIndices(GLStateCache& state, const std::vector<uint16_t>& checked);

private:
    GLDevice* gl_ = nullptr;
    std::vector<Vertex> vertices_;
    std::vector<uint16_t> checked_;
    std::vector<uint16_t> uploaded_;  // the index list GL holds now
    GLuint vertexArray_ = 0;
    GLuint buffer_ = 0;
    GLuint indexBuffer_ = 0;
};
