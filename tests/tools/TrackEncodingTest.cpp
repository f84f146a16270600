// Tests of the converter's track encoding against the player's own track evaluation and reader.
#ifdef STARFALL_MDLCONVERT
#include <gtest/gtest.h>
#include <cmath>
#include <random>
#include "support/SceneTestKit.h"
#include "tools/mdlconvert/TrackEncoding.h"

namespace {

constexpr float kPi = 3.14159265f;

Quaternion AxisAngle(Vector3 axis, float angle)
{
    const float s = std::sin(angle / 2) / Length(axis);
    return {axis.x * s, axis.y * s, axis.z * s, std::cos(angle / 2)};
}

// Control points as x of position keys, one key step (10 frames) apart from frame -10.
Track ScalarTrack(const std::vector<double>& points)
{
    Track track("t");
    for (size_t i = 0; i < points.size(); ++i) {
        TrackKey key;
        key.frame = static_cast<int32_t>(10 * i) - 10;
        key.x = static_cast<float>(points[i]);
        track.position.push_back(key);
    }
    return track;
}

// Equal rotations: q and -q are the same turn.
float RotationDistance(const Quaternion& a, const Quaternion& b)
{
    const double dot = static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
                       static_cast<double>(a.z) * b.z + static_cast<double>(a.w) * b.w;
    const double lengths = std::sqrt((static_cast<double>(a.x) * a.x + a.y * a.y + a.z * a.z + a.w * a.w) *
                                     (static_cast<double>(b.x) * b.x + b.y * b.y + b.z * b.z + b.w * b.w));
    return static_cast<float>(1.0 - std::fabs(dot) / lengths);
}

}  // namespace

TEST(TrackEncoding, ControlPointsMakeThePlayersCurvePassThroughEverySample)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> value(-50.0, 50.0);
    for (size_t count : {2u, 3u, 4u, 9u, 40u}) {
        SCOPED_TRACE(count);
        std::vector<double> samples(count);
        for (double& s : samples)
            s = value(random);
        const std::vector<double> points = InterpolatingControlPoints(samples);
        ASSERT_EQ(points.size(), count + 2);
        const Track track = ScalarTrack(points);
        for (size_t i = 0; i < count; ++i) {
            Vector3 out;
            ASSERT_TRUE(track.PositionAt(10.0f * i, out));
            EXPECT_NEAR(out.x, samples[i], 1e-3) << "key " << i;
        }
    }
    // Straight motion stays straight between the keys too, up to both ends.
    const std::vector<double> line = {0, 5, 10, 15, 20};
    const Track track = ScalarTrack(InterpolatingControlPoints(line));
    for (float t : {0.0f, 3.0f, 17.5f, 33.0f, 40.0f}) {
        Vector3 out;
        track.PositionAt(t, out);
        EXPECT_NEAR(out.x, t / 2, 1e-3) << "t " << t;
    }
    EXPECT_EQ(InterpolatingControlPoints({7.0}), std::vector<double>{7.0});
    EXPECT_TRUE(InterpolatingControlPoints({}).empty());
}

TEST(TrackEncoding, RelativeRotationKeysReadBackAsTheAbsoluteRotations)
{
    // A long random walk (errors must not add up), flipped signs, half turns and standstill.
    std::mt19937 random(5);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    std::vector<Quaternion> absolute = {Quaternion{}, AxisAngle({0, 1, 0}, 0.3f), AxisAngle({0, 1, 0}, 0.3f)};
    const Quaternion q = AxisAngle({1, 2, 3}, 2.0f);
    absolute.push_back(q);
    absolute.push_back({-q.x, -q.y, -q.z, -q.w});
    absolute.push_back(HamiltonProduct(q, AxisAngle({0, 0, 1}, kPi)));
    for (int i = 0; i < 300; ++i) {
        const Quaternion turn = AxisAngle({normal(random), normal(random), normal(random)}, 0.4f * normal(random));
        absolute.push_back(HamiltonProduct(absolute.back(), turn));
    }
    std::vector<int> frames;
    for (size_t i = 0; i < absolute.size(); ++i)
        frames.push_back(static_cast<int>(10 * i));

    MdlFile file;
    file.frameCount = static_cast<uint32_t>(frames.back());
    MdlTrackRecord record;
    record.name = "Spinner";
    record.rotation = RelativeRotationKeys(frames, absolute, 25.0f, 25.0f);
    ASSERT_EQ(record.rotation.size(), absolute.size());
    file.tracks.push_back(record);
    LoadedScene loaded(file);
    const Track& track = *loaded.scene->GetTracks().at(0);
    ASSERT_EQ(track.rotation.size(), absolute.size());
    for (size_t i = 0; i < absolute.size(); ++i) {
        const TrackKey& key = track.rotation[i];
        EXPECT_LT(RotationDistance({key.x, key.y, key.z, key.w}, absolute[i]), 1e-6f) << "key " << i;
        EXPECT_EQ(key.frame, frames[i]);
        EXPECT_EQ(key.e1, 25.0f);
        if (i > 0) {
            const TrackKey& before = track.rotation[i - 1];
            EXPECT_GE(key.x * before.x + key.y * before.y + key.z * before.z + key.w * before.w, -1e-6f)
                << "neighbours on the same side, so the slerp takes the short way (key " << i << ")";
        }
    }
    // The reader's own example: axis (0, 0, 1), angle pi/2 after the identity is (0, -0.7071, 0, 0.7071).
    const std::vector<MdlRotationKey> keys =
        RelativeRotationKeys({0, 10}, {Quaternion{}, Quaternion{0.0f, -0.70710678f, 0.0f, 0.70710678f}});
    EXPECT_EQ(keys[0].angle, 0.0f);
    EXPECT_NEAR(keys[1].angle, kPi / 2, 1e-5f);
    EXPECT_NEAR(keys[1].axis.x, 0.0f, 1e-6f);
    EXPECT_NEAR(keys[1].axis.y, 0.0f, 1e-6f);
    EXPECT_NEAR(keys[1].axis.z, 1.0f, 1e-6f);
}

TEST(TrackEncoding, CameraRollGivesThePlayersViewTheWantedUp)
{
    struct Case {
        Vector3 forward;
        Vector3 up;
        bool reachable;
    } cases[] = {
        {{0, 0, 1}, {0, 1, 0}, true},
        {{0, 0, 1}, {0.5f, 0.8660254f, 0}, true},
        {{0, 0, 1}, {-1, 0, 0}, true},
        {{0, 0, 1}, {0, -1, 0}, true},
        {{1, 0, 0}, {0, 1, 0}, true},
        {{0.6f, -0.3f, 0.74f}, {0.1f, 0.9f, 0.2f}, true},
        {{-0.2f, 0.1f, -0.97f}, {0.7f, 0.7f, 0.0f}, true},
        {{0, -1, 0}, {1, 0, 0.2f}, true},
        // Looking along x the player's up stays within 45 degrees of +-y, looking down within
        // 45 degrees of +-x.
        {{1, 0, 0}, {0, 0, 1}, false},
        {{0, -1, 0}, {0, 0, 1}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "forward " << c.forward.x << "," << c.forward.y << "," << c.forward.z
                                        << " up " << c.up.x << "," << c.up.y << "," << c.up.z);
        float error = 0;
        const float roll = CameraRoll(c.forward, c.up, 0.0f, error);
        if (!c.reachable) {
            EXPECT_GT(error, 0.1f) << "the error is reported";
            continue;
        }
        EXPECT_LT(error, 1e-3f);
        RecordingDevice device;
        device.Open(640, 480, 32);
        device.SetEye(0, 0, 0);
        device.SetTarget(c.forward.x, c.forward.y, c.forward.z);
        device.SetRoll(roll);
        device.UpdateCamera();
        const Matrix4& view = device.GetView();
        const Vector3 viewUp{view.m[0][1], view.m[1][1], view.m[2][1]};
        const Vector3 forward = c.forward * (1.0f / Length(c.forward));
        Vector3 wanted = c.up - forward * Dot(c.up, forward);
        wanted = wanted * (1.0f / Length(wanted));
        EXPECT_GT(Dot(viewUp, wanted), 0.9999f);
    }
    // Continuity: of equally good rolls, the one nearest the previous (whole turns added).
    float error = 0;
    EXPECT_NEAR(CameraRoll({0, 0, 1}, {0, 1, 0}, 6.2f, error), 2 * kPi, 1e-3f);
    EXPECT_NEAR(CameraRoll({0, 0, 1}, {0, 1, 0}, -12.4f, error), -4 * kPi, 1e-3f);
}
#endif
