// Tests of track evaluation: B-spline weights and segments, slerp, rotation keys accumulated on loading.
#include <gtest/gtest.h>
#include <cmath>
#include "support/SceneTestKit.h"
#include "engine/scene/Track.h"

namespace {

TrackKey PositionKey(int frame, float x, float y = 0, float z = 0)
{
    TrackKey key;
    key.frame = frame;
    key.x = x;
    key.y = y;
    key.z = z;
    return key;
}

constexpr float kPi = 3.14159265f;

}  // namespace

TEST(TrackTest, BSplineWeightsMatchTheCurveWorkedByHand)
{
    struct Case {
        float u;
        float w[4];
    };
    // u = 0: 1/6, 4/6, 1/6, 0; u = 1: 0, 1/6, 4/6, 1/6; u = 0.5: 1/48, 23/48, 23/48, 1/48.
    const Case cases[] = {{0.0f, {1 / 6.0f, 4 / 6.0f, 1 / 6.0f, 0}},
                          {1.0f, {0, 1 / 6.0f, 4 / 6.0f, 1 / 6.0f}},
                          {0.5f, {1 / 48.0f, 23 / 48.0f, 23 / 48.0f, 1 / 48.0f}}};
    for (const Case& c : cases) {
        float w[4];
        BSplineWeights(c.u, w);
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(w[i], c.w[i], 1e-6f) << "u " << c.u << " weight " << i;
    }
}

TEST(TrackTest, PositionsFollowTheBSplineAndDoNotPassThroughTheKeys)
{
    Track track("Box");
    track.position = {PositionKey(0, 0), PositionKey(10, 6), PositionKey(20, 12), PositionKey(30, 0)};
    struct Case {
        float t;
        float x;
    };
    // t = 0: segment 0, u 0, points P0 P0 P1 P2 = 0 0 6 12: 4/6*0 + 1/6*6 = 1.
    // t = 10: segment 0 (t <= frame 1), u 1: 1/6*0 + 4/6*6 + 1/6*12 = 6.
    // t = 15: segment 1, u 0.5, points 0 6 12 0: 23/48*6 + 23/48*12 + 0 = 8.625.
    // t = 30: segment 2, u 1, points 6 12 0 0 (last repeated): 1/6*12 = 2.
    // t = 40: past the last key, u = 2 of the last segment, points 6 12 0 0, weights
    // -1/6, 4/6, -5/6, 8/6: -1 + 8 = 7.
    const Case cases[] = {{0, 1.0f}, {10, 6.0f}, {15, 8.625f}, {30, 2.0f}, {40, 7.0f}};
    for (const Case& c : cases) {
        Vector3 p;
        ASSERT_TRUE(track.PositionAt(c.t, p));
        EXPECT_NEAR(p.x, c.x, 1e-4f) << "t " << c.t;
    }
}

TEST(TrackTest, ShortListsGiveTheirKeyOrNothing)
{
    Track track("t");
    Vector3 p{7, 7, 7};
    EXPECT_FALSE(track.PositionAt(5, p));
    EXPECT_FLOAT_EQ(p.x, 7);
    float fov = -1;
    EXPECT_FALSE(track.FieldOfViewAt(5, fov));
    Quaternion q;
    EXPECT_FALSE(track.RotationAt(5, q));
    track.position = {PositionKey(40, 1, 2, 3)};
    ASSERT_TRUE(track.PositionAt(5, p));
    EXPECT_FLOAT_EQ(p.x, 1);
    EXPECT_FLOAT_EQ(p.z, 3);
    // Two keys on one frame do not divide by zero.
    track.position = {PositionKey(10, 1), PositionKey(10, 3)};
    ASSERT_TRUE(track.PositionAt(10, p));
    EXPECT_TRUE(std::isfinite(p.x));
}

TEST(TrackTest, SlerpAsWrittenWithoutSignFlipOrNormalisation)
{
    const Quaternion identity{0, 0, 0, 1};
    const Quaternion quarter{0, std::sin(kPi / 4), 0, std::cos(kPi / 4)};  // 90 degrees about y
    // Halfway: 45 degrees about y.
    Quaternion q = Slerp(identity, quarter, 0.5f);
    EXPECT_NEAR(q.y, std::sin(kPi / 8), 1e-5f);
    EXPECT_NEAR(q.w, std::cos(kPi / 8), 1e-5f);
    // Opposite signs are not flipped: from identity to -identity passes through zero
    // linearly (|d| = 1) and is not normalised.
    q = Slerp(identity, Quaternion{0, 0, 0, -1}, 0.5f);
    EXPECT_NEAR(q.w, 0.0f, 1e-6f);
    // A negative dot product takes the long way round: theta = acos(-0.5) = 120 degrees.
    const Quaternion a{0, 0, 0, 1};
    const Quaternion b{0, 0, std::sin(2 * kPi / 3), -0.5f};  // dot = -0.5
    // Halfway both weights are sin 60 / sin 120 = 1: q = a + b = (0, 0, 0.8660254, 0.5).
    q = Slerp(a, b, 0.5f);
    EXPECT_NEAR(q.w, 0.5f, 1e-5f);
    EXPECT_NEAR(q.z, 0.8660254f, 1e-5f);
    // A quarter of the way: sin 90 / sin 120 = 1.1547005 and sin 30 / sin 120 = 0.5773503,
    // so w = 1.1547005 - 0.5 x 0.5773503 = 0.8660254 and z = 0.5773503 x 0.8660254 = 0.5.
    q = Slerp(a, b, 0.25f);
    EXPECT_NEAR(q.w, 0.8660254f, 1e-5f);
    EXPECT_NEAR(q.z, 0.5f, 1e-5f);
}

TEST(TrackTest, RotationKeysAccumulateWithSwappedAxesAndReversedAngles)
{
    MdlFile file;
    MdlTrackRecord track;
    track.name = "Spin";
    track.rotation = {{0, {0, 0, 1}, 0.0f, 0, 0}, {10, {1, 0, 0}, 0.0f, 0, 0}, {20, {0, 0, 1}, kPi / 2, 0, 0},
                      {30, {0, 0, 1}, kPi / 2, 0, 0}};
    file.tracks.push_back(track);
    LoadedScene loaded(file);
    const std::vector<TrackKey>& keys = loaded.scene->GetTracks()[0]->rotation;
    ASSERT_EQ(keys.size(), 4u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_FLOAT_EQ(keys[i].x, 0);
        EXPECT_FLOAT_EQ(keys[i].y, 0);
        EXPECT_FLOAT_EQ(keys[i].z, 0);
        EXPECT_FLOAT_EQ(keys[i].w, 1);
    }
    // The file's z axis becomes y and the angle turns the other way.
    EXPECT_NEAR(keys[2].x, 0, 1e-6f);
    EXPECT_NEAR(keys[2].y, -0.7071068f, 1e-6f);
    EXPECT_NEAR(keys[2].z, 0, 1e-6f);
    EXPECT_NEAR(keys[2].w, 0.7071068f, 1e-6f);
    // Accumulated: two quarter turns make a half turn.
    EXPECT_NEAR(keys[3].y, -1.0f, 1e-6f);
    EXPECT_NEAR(keys[3].w, 0.0f, 1e-6f);
    EXPECT_EQ(keys[3].frame, 30);
}

TEST(TrackTest, RotationMatrixTurnsRowVectorsAsTheQuaternionDoes)
{
    // A quarter turn about y (positive angle) takes x to -z.
    const Matrix4 m = RotationMatrix({0, std::sin(kPi / 4), 0, std::cos(kPi / 4)});
    const Vector4 p = TransformPoint(m, {1, 0, 0});
    EXPECT_NEAR(p.x, 0, 1e-6f);
    EXPECT_NEAR(p.z, -1, 1e-6f);
    // Not normalised on input: the matrix is.
    const Matrix4 n = RotationMatrix({0, 2 * std::sin(kPi / 4), 0, 2 * std::cos(kPi / 4)});
    EXPECT_NEAR(TransformPoint(n, {1, 0, 0}).z, -1, 1e-6f);
    const Quaternion h = HamiltonProduct({0, std::sin(kPi / 4), 0, std::cos(kPi / 4)},
                                         {0, std::sin(kPi / 4), 0, std::cos(kPi / 4)});
    EXPECT_NEAR(h.y, 1, 1e-6f);
    EXPECT_NEAR(h.w, 0, 1e-6f);
}
