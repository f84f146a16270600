// Collects consecutive draws with identical state as one indexed list (internal, no GL calls).
#pragma once
#include <cstdint>
#include <vector>
#include "engine/device/DeviceTypes.h"

enum class BatchKind { None, Points, Lines, Triangles };

// Points, lines or triangles: strips and fans become lists, so they can share a batch.
BatchKind KindOf(PrimitiveType type);

class PrimitiveBatch {
public:
    // Appends vertexCount vertices and the list indices of the primitive, through indices
    // when given (indexCount of them). Primitives naming a vertex outside the vertices are
    // dropped. The batch must be empty or of the same kind (see Accepts).
    void Append(PrimitiveType type, const Vertex* vertices, int vertexCount, const uint16_t* indices,
                int indexCount);
    bool Accepts(PrimitiveType type) const { return kind_ == BatchKind::None || kind_ == KindOf(type); }
    void Clear();
    // Exchanges the vertices and indices with the given (empty) vectors, so neither side
    // gives up its storage; the batch is empty afterwards.
    void SwapInto(std::vector<Vertex>& vertices, std::vector<uint32_t>& indices);

    bool IsEmpty() const { return indices_.empty(); }
    BatchKind GetKind() const { return kind_; }
    const std::vector<Vertex>& GetVertices() const { return vertices_; }
    const std::vector<uint32_t>& GetIndices() const { return indices_; }

private:
    void Emit(uint32_t base, const uint16_t* indices, int a, int b, int c, int corners, int vertexCount);

    BatchKind kind_ = BatchKind::None;
    std::vector<Vertex> vertices_;
    std::vector<uint32_t> indices_;
};
