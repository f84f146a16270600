// Turns every primitive type into point, line or triangle lists appended to one batch.
#include "engine/device/gl/GLBatch.h"

BatchKind KindOf(PrimitiveType type)
{
    switch (type) {
    case PrimitiveType::PointList: return BatchKind::Points;
    case PrimitiveType::LineList:
    case PrimitiveType::LineStrip: return BatchKind::Lines;
    case PrimitiveType::TriangleList:
    case PrimitiveType::TriangleStrip:
    case PrimitiveType::TriangleFan: return BatchKind::Triangles;
    }
    return BatchKind::None;
}

void PrimitiveBatch::Clear()
{
    kind_ = BatchKind::None;
    vertices_.clear();
    indices_.clear();
}

void PrimitiveBatch::SwapInto(std::vector<Vertex>& vertices, std::vector<uint32_t>& indices)
{
    vertices.swap(vertices_);
    indices.swap(indices_);
    Clear();
}

// Adds one primitive of `corners` corners (positions a, b, c in the source order); a
// corner beyond the vertex array drops the whole primitive.
void PrimitiveBatch::Emit(uint32_t base, const uint16_t* indices, int a, int b, int c, int corners, int vertexCount)
{
    int at[3] = {a, b, c};
    uint32_t v[3] = {0, 0, 0};
    for (int i = 0; i < corners; ++i) {
        int k = indices ? indices[at[i]] : at[i];
        if (k >= vertexCount) return;
        v[i] = base + static_cast<uint32_t>(k);
    }
    for (int i = 0; i < corners; ++i) indices_.push_back(v[i]);
}

void PrimitiveBatch::Append(PrimitiveType type, const Vertex* vertices, int vertexCount, const uint16_t* indices,
                            int indexCount)
{
    BatchKind kind = KindOf(type);
    if (vertices == nullptr || vertexCount <= 0 || kind == BatchKind::None) return;
    int n = indices ? indexCount : vertexCount;
    if (n <= 0) return;
    kind_ = kind;
    uint32_t base = static_cast<uint32_t>(vertices_.size());
    vertices_.insert(vertices_.end(), vertices, vertices + vertexCount);
    switch (type) {
    case PrimitiveType::PointList:
        for (int i = 0; i < n; ++i) Emit(base, indices, i, 0, 0, 1, vertexCount);
        break;
    case PrimitiveType::LineList:
        for (int i = 0; i + 1 < n; i += 2) Emit(base, indices, i, i + 1, 0, 2, vertexCount);
        break;
    case PrimitiveType::LineStrip:
        for (int i = 0; i + 1 < n; ++i) Emit(base, indices, i, i + 1, 0, 2, vertexCount);
        break;
    case PrimitiveType::TriangleList:
        for (int i = 0; i + 2 < n; i += 3) Emit(base, indices, i, i + 1, i + 2, 3, vertexCount);
        break;
    case PrimitiveType::TriangleStrip:
        // Every second triangle is turned round so all keep the strip's winding.
        for (int i = 0; i + 2 < n; ++i) {
            if (i % 2 == 0) Emit(base, indices, i, i + 1, i + 2, 3, vertexCount);
            else Emit(base, indices, i + 1, i, i + 2, 3, vertexCount);
        }
        break;
    case PrimitiveType::TriangleFan:
        for (int i = 1; i + 1 < n; ++i) Emit(base, indices, 0, i, i + 1, 3, vertexCount);
        break;
    }
}
