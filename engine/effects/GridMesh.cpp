// Index list shared by the waving image and the water surface.
#include "engine/effects/GridMesh.h"

#include <cstddef>

std::vector<uint16_t> BuildGridIndices(int cells)
{
    std::vector<uint16_t> indices;
    if (cells <= 0) return indices;
    const int side = cells + 1;
    indices.reserve(static_cast<size_t>(cells) * cells * 6);
    for (int j = 0; j < cells; ++j) {
        for (int n = 0; n < cells; ++n) {
            const int a = n + j * side;
            const int b = a + 1;
            const int c = n + (j + 1) * side;
            const int d = c + 1;
            for (int index : {a, b, c, c, b, d}) indices.push_back(static_cast<uint16_t>(index));
        }
    }
    return indices;
}
