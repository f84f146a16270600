// Octree descent over each ball's box and per-cell triangulation from the cube tables.
#include "engine/effects/MetaballMesher.h"

#include <cmath>
#include "engine/effects/MarchingCubesTables.h"

namespace {

MetaPoint Interpolate(float iso, const MetaPoint& a, const MetaPoint& b, float va, float vb)
{
    if (std::fabs(iso - va) < 0.00001f) return a;
    if (std::fabs(iso - vb) < 0.00001f) return b;
    if (std::fabs(va - vb) < 0.00001f) return a;
    const float mu = (iso - va) / (vb - va);
    return {a.x + mu * (b.x - a.x), a.y + mu * (b.y - a.y), a.z + mu * (b.z - a.z)};
}

void CellCorners(const MetaPoint& lo, const MetaPoint& hi, MetaPoint corner[8])
{
    corner[0] = {lo.x, lo.y, lo.z};
    corner[1] = {hi.x, lo.y, lo.z};
    corner[2] = {hi.x, hi.y, lo.z};
    corner[3] = {lo.x, hi.y, lo.z};
    corner[4] = {lo.x, lo.y, hi.z};
    corner[5] = {hi.x, lo.y, hi.z};
    corner[6] = {hi.x, hi.y, hi.z};
    corner[7] = {lo.x, hi.y, hi.z};
}

}  // namespace

// One slot more than the capacity, as the store has always had.
MetaballMesher::MetaballMesher() : triangles_(kTriangleCapacity + 1) {}

float MetaballMesher::Field(std::span<const MetaPoint> balls, const MetaPoint& p)
{
    float sum = 0.0f;
    for (const MetaPoint& b : balls) {
        const float dx = p.x - b.x, dy = p.y - b.y, dz = p.z - b.z;
        const float d = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (d < kReach) {
            const float r = kReach - d;
            sum += r * r * kWeight;
        }
    }
    return sum;
}

void MetaballMesher::Build(std::span<const MetaPoint> balls)
{
    balls_ = balls;
    count_ = 0;
    for (const MetaPoint& b : balls) {
        const MetaPoint lo{b.x - kBoxHalfSize, b.y - kBoxHalfSize, b.z - kBoxHalfSize};
        const MetaPoint hi{b.x + kBoxHalfSize, b.y + kBoxHalfSize, b.z + kBoxHalfSize};
        Polygonise(lo, hi, 0);
    }
}

void MetaballMesher::Polygonise(const MetaPoint& lo, const MetaPoint& hi, int depth)
{
    MetaPoint corner[8];
    float value[8] = {};
    CellCorners(lo, hi, corner);
    if (depth != 0) {
        // A box whose corners all lie on one side is taken to hold no surface.
        int above = 0, below = 0;
        for (int i = 0; i < 8; ++i) {
            value[i] = Field(balls_, corner[i]);
            if (value[i] > kIsoLevel) ++above;
            if (value[i] < kIsoLevel) ++below;
        }
        if (above == 8 || below == 8) return;
    }
    if (depth < kMaxDepth) {
        const MetaPoint mid{(lo.x + hi.x) * 0.5f, (lo.y + hi.y) * 0.5f, (lo.z + hi.z) * 0.5f};
        for (int k = 0; k < 2; ++k)
            for (int j = 0; j < 2; ++j)
                for (int i = 0; i < 2; ++i) {
                    const MetaPoint a{i ? mid.x : lo.x, j ? mid.y : lo.y, k ? mid.z : lo.z};
                    const MetaPoint b{i ? hi.x : mid.x, j ? hi.y : mid.y, k ? hi.z : mid.z};
                    Polygonise(a, b, depth + 1);
                }
        return;
    }
    PolygoniseCell(corner, value);
}

void MetaballMesher::PolygoniseCell(const MetaPoint corner[8], const float value[8])
{
    // A cell adds at most five triangles, so stopping here keeps the store in bounds.
    if (count_ >= kTriangleCapacity - 5) return;

    int cube = 0;
    for (int i = 0; i < 8; ++i)
        if (value[i] < kIsoLevel) cube |= 1 << i;
    const unsigned edges = kCubeEdgeTable[cube];
    if (edges == 0) return;

    MetaPoint cut[12];
    for (int e = 0; e < 12; ++e) {
        if (edges & (1u << e)) {
            const int a = kCubeEdgeCorners[e][0], b = kCubeEdgeCorners[e][1];
            cut[e] = Interpolate(kIsoLevel, corner[a], corner[b], value[a], value[b]);
        }
    }
    const int8_t* row = kCubeTriangleTable[cube];
    for (int i = 0; row[i] != -1; i += 3) {
        MetaTriangle& t = triangles_[count_++];
        t.p[0] = cut[row[i]];
        t.p[1] = cut[row[i + 1]];
        t.p[2] = cut[row[i + 2]];
    }
}
