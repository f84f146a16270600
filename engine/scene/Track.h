// Track: an object's keyframe lists and their evaluation (B-spline positions, slerped rotations).
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "engine/device/Matrix.h"

// One key of any list; each list fills only its own slots.
struct TrackKey {
    float x = 0, y = 0, z = 0;  // position, scale or the quaternion's x, y, z
    float w = 0;                // the quaternion's w
    float fov = 0;              // field of view, radians
    float roll = 0;             // roll, radians
    float e1 = 0, e2 = 0;       // kept with rotation keys
    int32_t frame = 0;
};
static_assert(sizeof(TrackKey) == 36, "a key is nine 32-bit slots");

struct Quaternion {
    float x = 0, y = 0, z = 0, w = 1;
};

// a (x) b, the Hamilton product with a on the left.
Quaternion HamiltonProduct(const Quaternion& a, const Quaternion& b);
// Spherical interpolation as the tracks use it: no sign flip for a negative dot product,
// no normalisation of the result; nearly equal keys are blended linearly.
Quaternion Slerp(const Quaternion& q0, const Quaternion& q1, float u);
// The rotation matrix (row-vector convention) of q after normalising it.
Matrix4 RotationMatrix(const Quaternion& q);
// Weights of P(i-1), P(i), P(i+1), P(i+2) of the uniform cubic B-spline at u.
void BSplineWeights(float u, float weights[4]);

// The segment i and parameter u of t in keys (count >= 2): the first i with
// t <= frame(i + 1), at most count - 2; u may lie outside 0..1 before the first and after
// the last key. A segment of zero length gives u = 0.
void FindSegment(const std::vector<TrackKey>& keys, float t, size_t& segment, float& u);

class Track {
public:
    explicit Track(std::string name) : name_(std::move(name)) {}

    const std::string& GetName() const { return name_; }

    // Values at time t in frames. False (out untouched) for an empty list; a single key
    // gives its own value.
    bool PositionAt(float t, Vector3& out) const;
    bool FieldOfViewAt(float t, float& out) const;
    bool RollAt(float t, float& out) const;
    bool RotationAt(float t, Quaternion& out) const;

    std::vector<TrackKey> position;
    std::vector<TrackKey> roll;
    std::vector<TrackKey> fieldOfView;
    std::vector<TrackKey> rotation;  // absolute quaternions (x, y, z, w)
    std::vector<TrackKey> scale;

private:
    std::string name_;
};
