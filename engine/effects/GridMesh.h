// Index list of a square grid of N x N cells ((N + 1)^2 vertices numbered i + k(N + 1)), two triangles a cell.
#pragma once
#include <cstdint>
#include <vector>

// Rows outside, columns inside; per cell (n, j): (a, b, c) and (c, b, d) with a = n + j(N+1),
// b = a + 1, c = a + (N+1), d = c + 1. N x N x 6 indices.
std::vector<uint16_t> BuildGridIndices(int cells);
