// Tests of the marching-cubes tables and the metaball surface: radius, merging, triangle cap.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>
#include <vector>
#include "engine/effects/MarchingCubesTables.h"
#include "engine/effects/MetaballMesher.h"
#include "support/AllocationProbe.h"

namespace {

float Distance(const MetaPoint& a, const MetaPoint& b)
{
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

// Key of a point rounded to a fine grid, so the two cells that cut one edge agree.
std::tuple<long, long, long> Key(const MetaPoint& p)
{
    return {std::lround(p.x * 1000.0f), std::lround(p.y * 1000.0f), std::lround(p.z * 1000.0f)};
}

}  // namespace

TEST(MarchingCubesTables, EveryRowCutsExactlyTheEdgesWhoseCornersDisagree)
{
    for (int cube = 0; cube < 256; ++cube) {
        unsigned expected = 0;
        for (int e = 0; e < 12; ++e) {
            const int a = kCubeEdgeCorners[e][0], b = kCubeEdgeCorners[e][1];
            if (((cube >> a) & 1) != ((cube >> b) & 1)) expected |= 1u << e;
        }
        ASSERT_EQ(kCubeEdgeTable[cube], expected) << "cube " << cube;

        unsigned used = 0;
        int length = 0;
        while (length < 16 && kCubeTriangleTable[cube][length] != -1) {
            const int edge = kCubeTriangleTable[cube][length];
            ASSERT_GE(edge, 0);
            ASSERT_LT(edge, 12);
            used |= 1u << edge;
            ++length;
        }
        ASSERT_LT(length, 16) << "row " << cube << " has no end marker";
        EXPECT_EQ(length % 3, 0) << "cube " << cube;
        EXPECT_LE(length / 3, 5);
        EXPECT_EQ(used, expected) << "cube " << cube;
    }
}

TEST(MetaballMesher, SingleBallIsAClosedSphereOfTheIsoRadius)
{
    // (5 - d)^2 * 0.2 = 0.9  gives  d = 5 - sqrt(4.5).
    const float radius = 5.0f - std::sqrt(4.5f);
    EXPECT_NEAR(radius, 2.879f, 0.001f);

    const std::vector<MetaPoint> balls{{0.3f, -0.2f, 0.1f}};
    EXPECT_NEAR(MetaballMesher::Field(balls, {0.3f + radius, -0.2f, 0.1f}), 0.9f, 1e-4f);
    EXPECT_FLOAT_EQ(MetaballMesher::Field(balls, {5.3f, -0.2f, 0.1f}), 0.0f);

    MetaballMesher mesher;
    mesher.Build(balls);
    ASSERT_GT(mesher.TriangleCount(), 100);
    std::map<std::pair<std::tuple<long, long, long>, std::tuple<long, long, long>>, int> edges;
    for (int i = 0; i < mesher.TriangleCount(); ++i) {
        const MetaTriangle& t = mesher.Triangles()[i];
        for (int k = 0; k < 3; ++k) {
            // Linear interpolation of the field across a 1.125 cell stays close to the sphere.
            EXPECT_NEAR(Distance(t.p[k], balls[0]), radius, 0.1f);
            auto a = Key(t.p[k]), b = Key(t.p[(k + 1) % 3]);
            if (b < a) std::swap(a, b);
            if (a != b) ++edges[{a, b}];
        }
    }
    // A mistyped triangle row leaves a hole or a fold: every edge must join exactly two faces.
    int open = 0;
    for (const auto& [edge, uses] : edges)
        if (uses != 2) ++open;
    EXPECT_EQ(open, 0);
}

TEST(MetaballMesher, BallsCloserThanSevenUnitsMerge)
{
    // At the midpoint each ball adds (5 - 3.5)^2 * 0.2 = 0.45: together exactly the isolevel.
    const std::vector<MetaPoint> seven{{-3.5f, 0, 0}, {3.5f, 0, 0}};
    EXPECT_NEAR(MetaballMesher::Field(seven, {0, 0, 0}), 0.9f, 1e-5f);
    const std::vector<MetaPoint> closer{{-3.4f, 0, 0}, {3.4f, 0, 0}};
    EXPECT_GT(MetaballMesher::Field(closer, {0, 0, 0}), 0.9f);
    const std::vector<MetaPoint> farther{{-3.6f, 0, 0}, {3.6f, 0, 0}};
    EXPECT_LT(MetaballMesher::Field(farther, {0, 0, 0}), 0.9f);

    // Merged balls have a neck of surface around the midpoint; apart ones leave a gap.
    auto nearestToMidplane = [](const std::vector<MetaPoint>& balls) {
        MetaballMesher mesher;
        mesher.Build(balls);
        float nearest = 1e9f;
        for (int i = 0; i < mesher.TriangleCount(); ++i)
            for (const MetaPoint& p : mesher.Triangles()[i].p) nearest = std::min(nearest, std::fabs(p.x));
        return nearest;
    };
    EXPECT_LT(nearestToMidplane({{-3.0f, 0, 0}, {3.0f, 0, 0}}), 0.6f);
    EXPECT_GT(nearestToMidplane({{-4.0f, 0, 0}, {4.0f, 0, 0}}), 1.0f);
}

TEST(MetaballMesher, TriangleStoreIsCappedAndNeverReallocated)
{
    MetaballMesher mesher;
    EXPECT_EQ(mesher.StoreSize(), 6001u);
    const MetaTriangle* store = mesher.Triangles();

    // Sixty-four separate balls make far more surface than the store holds.
    std::vector<MetaPoint> balls;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) balls.push_back({i * 8.0f, j * 8.0f, k * 8.0f});
    {
        AllocationProbe probe;
        mesher.Build(balls);
        EXPECT_EQ(probe.Largest(), 0u) << "building the surface must not allocate";
    }
    EXPECT_GE(mesher.TriangleCount(), 5995);
    EXPECT_LE(mesher.TriangleCount(), 6000);
    EXPECT_EQ(mesher.Triangles(), store);

    // A rebuild starts from nothing.
    mesher.Build(std::vector<MetaPoint>{});
    EXPECT_EQ(mesher.TriangleCount(), 0);
}
