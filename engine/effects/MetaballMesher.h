// Isosurface of a set of metaballs, rebuilt per frame by an adaptive octree and marching cubes.
#pragma once
#include <cstddef>
#include <span>
#include <vector>

struct MetaPoint {
    float x, y, z;
};

struct MetaTriangle {
    MetaPoint p[3];
};

class MetaballMesher {
public:
    static constexpr int kTriangleCapacity = 6000;
    static constexpr int kMaxDepth = 4;
    static constexpr float kIsoLevel = 0.9f;
    // Each ball is meshed inside the box of this half-size around it.
    static constexpr float kBoxHalfSize = 9.0f;
    // A ball adds (kReach - d)^2 * kWeight at distance d below kReach.
    static constexpr float kReach = 5.0f;
    static constexpr float kWeight = 0.2f;

    // The triangle store is allocated here, once.
    MetaballMesher();

    // Summed field of the given balls at p.
    static float Field(std::span<const MetaPoint> balls, const MetaPoint& p);

    // Rebuilds the surface of the balls from nothing. Overlapping ball boxes each
    // produce their own copy of the shared surface.
    void Build(std::span<const MetaPoint> balls);

    int TriangleCount() const { return count_; }
    const MetaTriangle* Triangles() const { return triangles_.data(); }
    // Number of triangle slots reserved (never changes).
    size_t StoreSize() const { return triangles_.size(); }

private:
    void Polygonise(const MetaPoint& lo, const MetaPoint& hi, int depth);
    void PolygoniseCell(const MetaPoint corner[8], const float value[8]);

    std::span<const MetaPoint> balls_;
    std::vector<MetaTriangle> triangles_;
    int count_ = 0;
};
