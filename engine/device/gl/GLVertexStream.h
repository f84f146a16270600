// Vertex arrays of the 44-byte Vertex and the stream buffer that carries draws to GL (internal).
#pragma once
#include <cstddef>
#include <cstdint>
#include "engine/device/DeviceTypes.h"
#include "engine/device/gl/GLError.h"
#include "engine/device/gl/GLStateCache.h"

// Points attributes 0-4 of the bound vertex array at the bound array buffer in the Vertex layout.
void SetVertexLayout();

class GLVertexStream {
public:
    GLVertexStream() = default;
    ~GLVertexStream();
    GLVertexStream(const GLVertexStream&) = delete;
    GLVertexStream& operator=(const GLVertexStream&) = delete;

    void Create(GLStateCache& state);
    // Uploads the vertices and indices (32-bit, relative to the first vertex) and draws them.
    void Draw(GLStateCache& state, GLenum mode, const Vertex* vertices, size_t vertexCount,
              const uint32_t* indices, size_t indexCount);

private:
    GLuint vertexArray_ = 0;
    GLuint vertexBuffer_ = 0;
    GLuint indexBuffer_ = 0;
    size_t vertexCapacity_ = 0;
    size_t indexCapacity_ = 0;
};
