// Lookup tables of the marching-cubes surface extraction (12 cube edges, up to 5 triangles per cell).
#pragma once
#include <cstdint>

// Cell corners: 0..3 run round the face z = z0 as (x0,y0), (x1,y0), (x1,y1), (x0,y1);
// 4..7 are the same at z = z1. Edges 0..3 join corners 0-1, 1-2, 2-3, 3-0; edges 4..7
// join 4-5, 5-6, 6-7, 7-4; edges 8..11 join corner k to corner k + 4.
extern const uint8_t kCubeEdgeCorners[12][2];

// Indexed by the cube index (bit i set when corner i is below the isolevel): the
// edges the surface crosses, as 12 bits.
extern const uint16_t kCubeEdgeTable[256];

// Indexed by the cube index: triples of edge numbers, one per triangle, ended by -1.
extern const int8_t kCubeTriangleTable[256][16];
