// VertexBuffer base: counts and the public index list.
#include "engine/device/VertexBuffer.h"

VertexBuffer::VertexBuffer(RenderDevice* device) : device_(device) {}

bool VertexBuffer::Create(bool writeOnly, int vertexCount, int indexCount)
{
    writeOnly_ = writeOnly;
    vertexCount_ = vertexCount > 0 ? vertexCount : 0;
    indices.resize(indexCount > 0 ? static_cast<size_t>(indexCount) : 0, 0);
    return true;
}
