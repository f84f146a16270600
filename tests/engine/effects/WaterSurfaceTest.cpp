// Tests of the water grid: filter step, decay, presses of text maps, blending, and list splitting.
#include <gtest/gtest.h>

#include <vector>
#include "engine/effects/GridMesh.h"
#include "engine/effects/WaterSurface.h"
#include "support/AllocationProbe.h"

namespace {

constexpr int kSide = WaterSurface::kSide;
int At(int i, int k) { return i + k * kSide; }

// A map whose only non-zero intensity is 255 at grid value index.
TextMap SinglePointMap(int index)
{
    std::vector<uint32_t> pixels(kSide * kSide, 0);
    pixels[index] = 0x00FF0000u;  // red 255; green and blue must not count
    return TextMap(pixels.data(), kSide, kSide);
}

}  // namespace

TEST(GridMesh, IndexListOfTheSixtyThreeCellGrid)
{
    const std::vector<uint16_t> indices = BuildGridIndices(63);
    ASSERT_EQ(indices.size(), 23814u);
    const std::vector<uint16_t> firstCell{0, 1, 64, 64, 1, 65};
    EXPECT_EQ(std::vector<uint16_t>(indices.begin(), indices.begin() + 6), firstCell);
    // Second cell of the first row, then the first cell of the second row.
    EXPECT_EQ(indices[6], 1);
    EXPECT_EQ(indices[63 * 6], 64);
    EXPECT_EQ(indices.back(), 4095);
    for (uint16_t i : indices) ASSERT_LT(i, 4096);
    EXPECT_TRUE(BuildGridIndices(0).empty());
}

TEST(WaterSurface, RestGridSpansTheSurfaceAndStaysFlatWithoutMaps)
{
    WaterSurface water;
    const std::vector<Vertex>& v = water.GetVertices();
    ASSERT_EQ(v.size(), 4096u);
    EXPECT_FLOAT_EQ(v[0].x, -16.8f);
    EXPECT_FLOAT_EQ(v[0].y, -12.6f);
    EXPECT_FLOAT_EQ(v[4095].x, 16.8f);
    EXPECT_FLOAT_EQ(v[4095].y, 12.6f);
    EXPECT_FLOAT_EQ(v[0].u0, 1.0f);
    EXPECT_FLOAT_EQ(v[4095].v0, 0.0f);
    EXPECT_EQ(v[0].color, 0x00FFFFFFu);

    for (float now : {0.1f, 0.35f, 0.5f, 0.7f, 1.0f}) water.Draw(now);
    for (const Vertex& p : water.GetVertices()) {
        ASSERT_FLOAT_EQ(p.z, 0.0f);
        ASSERT_NEAR(p.nz, 1.0f, 1e-6f);
        ASSERT_FLOAT_EQ(p.u1, p.u0);
        ASSERT_FLOAT_EQ(p.v1, p.v0);
    }
}

TEST(WaterSurface, FilterStepSpreadsToTheEightNeighboursAndDecays)
{
    WaterSurface water;
    const float h = 1.0f;
    water.GetNewestForTesting()[At(10, 20)] = h;
    water.Step();
    const std::vector<float>& newest = water.GetNewest();
    // Each neighbour: (h * 0.25 - 0) * 0.75.
    for (int dk = -1; dk <= 1; ++dk)
        for (int di = -1; di <= 1; ++di)
            if (di || dk) { EXPECT_FLOAT_EQ(newest[At(10 + di, 20 + dk)], 0.1875f); }
    EXPECT_FLOAT_EQ(newest[At(10, 20)], 0.0f);
    EXPECT_FLOAT_EQ(newest[At(12, 20)], 0.0f);
    EXPECT_FLOAT_EQ(water.GetPrevious()[At(10, 20)], h);

    // The old peak: (8 * 0.1875 * 0.25 - h) * 0.75.
    water.Step();
    EXPECT_FLOAT_EQ(water.GetNewest()[At(10, 20)], (8 * 0.1875f * 0.25f - h) * 0.75f);
}

TEST(WaterSurface, OlderStateDecaysByThreeQuartersAndBorderStaysStill)
{
    WaterSurface water;
    // Put a value in the older buffer by stepping a peak once, then clearing the newest.
    water.GetNewestForTesting()[At(30, 30)] = 2.0f;
    water.GetNewestForTesting()[At(0, 30)] = 5.0f;  // on the border
    water.Step();
    for (float& v : water.GetNewestForTesting()) v = 0.0f;
    water.Step();
    // Alone, with flat neighbours, a value comes back as -0.75 times itself.
    EXPECT_FLOAT_EQ(water.GetNewest()[At(30, 30)], -1.5f);
    EXPECT_FLOAT_EQ(water.GetNewest()[At(0, 30)], 5.0f);
}

TEST(WaterSurface, PressedMapShowsFromTheNextFrameAndUsesOnlyTheFirstNxNValues)
{
    WaterSurface water;
    const TextMap map = SinglePointMap(At(5, 7));
    water.SetPendingMap(&map);
    water.Draw(0.1f);  // no step is due yet
    EXPECT_EQ(water.GetPendingMap(), nullptr);
    EXPECT_FLOAT_EQ(water.GetNewest()[At(5, 7)], 1.275f);
    EXPECT_FLOAT_EQ(water.GetVertices()[At(5, 7)].z, 0.0f) << "the press follows the draw";

    // Halfway to the next step the display blends previous (0) and newest (1.275).
    water.Draw(0.15f);
    EXPECT_NEAR(water.GetVertices()[At(5, 7)].z, 0.5f * 1.275f, 1e-5f);

    // Grid values from N x N on are not pressed.
    WaterSurface other;
    const TextMap late = SinglePointMap(63 * 63);
    other.Press(late);
    EXPECT_FLOAT_EQ(other.GetNewest()[63 * 63], 0.0f);
}

TEST(WaterSurface, StepsRunOnlyAfterTheStepIntervalAndDrawingDoesNotAllocate)
{
    WaterSurface water;
    water.GetNewestForTesting()[At(10, 10)] = 1.0f;
    water.Draw(0.3f);  // not more than 0.3 s since 0
    EXPECT_FLOAT_EQ(water.GetNewest()[At(10, 10)], 1.0f);
    AllocationProbe probe;
    water.Draw(0.31f);
    EXPECT_FLOAT_EQ(water.GetLastStep(), 0.31f);
    EXPECT_FLOAT_EQ(water.GetNewest()[At(10, 10)], 0.0f);
    EXPECT_FLOAT_EQ(water.GetNewest()[At(11, 10)], 0.1875f);
    water.Draw(0.5f);
    EXPECT_FLOAT_EQ(water.GetLastStep(), 0.31f);
    EXPECT_EQ(probe.Largest(), 0u);
}

TEST(WaterSurface, NormalsLeanAwayFromABump)
{
    WaterSurface water;
    water.GetNewestForTesting()[At(20, 20)] = 1.0f;
    water.Compose(1.0f);
    const std::vector<Vertex>& v = water.GetVertices();
    // Unit length, and the slopes on either side point in opposite x directions.
    const Vertex& left = v[At(19, 20)];
    const Vertex& right = v[At(21, 20)];
    EXPECT_NEAR(left.nx * left.nx + left.ny * left.ny + left.nz * left.nz, 1.0f, 1e-5f);
    EXPECT_LT(left.nx * right.nx, 0.0f);
    EXPECT_FLOAT_EQ(right.u1, right.u0 + right.nx);
    EXPECT_FLOAT_EQ(right.v1, right.v0 + right.ny);
}

TEST(TextMap, ResamplesAnyImageSizeTo64x64FromTheRedComponent)
{
    // 640 x 480: grid value (i, j) takes source column i * 10, row j * 7.5 (truncated).
    const uint32_t w = 640, h = 480;
    std::vector<uint32_t> pixels(w * h, 0x0000FFFFu);  // green and blue only: no intensity
    pixels[15 * w + 30] = 0x00800000u;                  // row 15 = trunc(2 * 7.5), column 30 = 3 * 10
    const TextMap map(pixels.data(), w, h);
    ASSERT_EQ(map.GetIntensities().size(), 4096u);
    EXPECT_EQ(map.GetIntensities()[3 + 2 * 64], 0x80);
    int nonZero = 0;
    for (uint8_t v : map.GetIntensities()) nonZero += v != 0;
    EXPECT_EQ(nonZero, 1);

    // A tiny image is stretched: every grid value of a 1 x 1 image is its pixel.
    const uint32_t one = 0x00FF0000u;
    const TextMap small(&one, 1, 1);
    for (uint8_t v : small.GetIntensities()) ASSERT_EQ(v, 255);
}

TEST(TextMapList, SplitsOnCommasAndTabsKeepingTrailingSpaces)
{
    EXPECT_EQ(SplitTextMapList(" a.jpg , b.jpg"), (std::vector<std::string>{"a.jpg ", "b.jpg"}));
    EXPECT_EQ(SplitTextMapList("one.jpg\ttwo words.jpg,,three.jpg,"),
              (std::vector<std::string>{"one.jpg", "two words.jpg", "three.jpg"}));
    EXPECT_EQ(SplitTextMapList("a.jpg, ,\t b.jpg"), (std::vector<std::string>{"a.jpg", "b.jpg"}));
    EXPECT_TRUE(SplitTextMapList("").empty());
    EXPECT_TRUE(SplitTextMapList(" , \t ").empty());
}
