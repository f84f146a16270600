// Track evaluation: uniform cubic B-splines for positions and camera values, slerp for rotations.
#include "engine/scene/Track.h"
#include <cmath>

Quaternion HamiltonProduct(const Quaternion& a, const Quaternion& b)
{
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
            a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

Quaternion Slerp(const Quaternion& q0, const Quaternion& q1, float u)
{
    const float d = q0.x * q1.x + q0.y * q1.y + q0.z * q1.z + q0.w * q1.w;
    float a = 1.0f - u;
    float b = u;
    if (1.0f - std::fabs(d) >= 1e-6f) {
        const float theta = std::acos(std::fmax(-1.0f, std::fmin(1.0f, d)));
        const float s = std::sin(theta);
        a = std::sin((1.0f - u) * theta) / s;
        b = std::sin(u * theta) / s;
    }
    return {a * q0.x + b * q1.x, a * q0.y + b * q1.y, a * q0.z + b * q1.z, a * q0.w + b * q1.w};
}

Matrix4 RotationMatrix(const Quaternion& q)
{
    const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    Matrix4 m;
    if (length <= 0.0f)
        return m;
    const float x = q.x / length, y = q.y / length, z = q.z / length, w = q.w / length;
    m[0][0] = 1 - 2 * (y * y + z * z);
    m[0][1] = 2 * (x * y + z * w);
    m[0][2] = 2 * (x * z - y * w);
    m[1][0] = 2 * (x * y - z * w);
    m[1][1] = 1 - 2 * (x * x + z * z);
    m[1][2] = 2 * (y * z + x * w);
    m[2][0] = 2 * (x * z + y * w);
    m[2][1] = 2 * (y * z - x * w);
    m[2][2] = 1 - 2 * (x * x + y * y);
    return m;
}

void BSplineWeights(float u, float weights[4])
{
    const float u2 = u * u;
    const float u3 = u2 * u;
    const float v = 1.0f - u;
    weights[0] = v * v * v / 6.0f;
    weights[1] = (3 * u3 - 6 * u2 + 4) / 6.0f;
    weights[2] = (-3 * u3 + 3 * u2 + 3 * u + 1) / 6.0f;
    weights[3] = u3 / 6.0f;
}

void FindSegment(const std::vector<TrackKey>& keys, float t, size_t& segment, float& u)
{
    const size_t last = keys.size() - 2;
    size_t i = 0;
    while (i < last && t > static_cast<float>(keys[i + 1].frame))
        ++i;
    segment = i;
    const float span = static_cast<float>(keys[i + 1].frame) - static_cast<float>(keys[i].frame);
    // Two keys on one frame would divide by zero; the segment then starts at its first key.
    u = span != 0.0f ? (t - static_cast<float>(keys[i].frame)) / span : 0.0f;
}

namespace {

// The B-spline of the chosen slots of keys at t; false for an empty list.
template <size_t N>
bool Spline(const std::vector<TrackKey>& keys, float t, float TrackKey::*const (&slots)[N], float (&out)[N])
{
    if (keys.empty())
        return false;
    if (keys.size() == 1) {
        for (size_t s = 0; s < N; ++s)
            out[s] = keys[0].*slots[s];
        return true;
    }
    size_t i = 0;
    float u = 0;
    FindSegment(keys, t, i, u);
    const size_t count = keys.size();
    const TrackKey* points[4] = {&keys[i == 0 ? 0 : i - 1], &keys[i], &keys[i + 1],
                                 &keys[i + 2 == count ? i + 1 : i + 2]};
    float weights[4];
    BSplineWeights(u, weights);
    for (size_t s = 0; s < N; ++s) {
        float value = 0;
        for (int p = 0; p < 4; ++p)
            value += weights[p] * (points[p]->*slots[s]);
        out[s] = value;
    }
    return true;
}

}  // namespace

bool Track::PositionAt(float t, Vector3& out) const
{
    static constexpr float TrackKey::*slots[3] = {&TrackKey::x, &TrackKey::y, &TrackKey::z};
    float value[3];
    if (!Spline(position, t, slots, value))
        return false;
    out = {value[0], value[1], value[2]};
    return true;
}

bool Track::FieldOfViewAt(float t, float& out) const
{
    static constexpr float TrackKey::*slots[1] = {&TrackKey::fov};
    float value[1];
    if (!Spline(fieldOfView, t, slots, value))
        return false;
    out = value[0];
    return true;
}

bool Track::RollAt(float t, float& out) const
{
    static constexpr float TrackKey::*slots[1] = {&TrackKey::roll};
    float value[1];
    if (!Spline(roll, t, slots, value))
        return false;
    out = value[0];
    return true;
}

bool Track::RotationAt(float t, Quaternion& out) const
{
    if (rotation.empty())
        return false;
    auto quaternion = [](const TrackKey& key) { return Quaternion{key.x, key.y, key.z, key.w}; };
    if (rotation.size() == 1) {
        out = quaternion(rotation[0]);
        return true;
    }
    size_t i = 0;
    float u = 0;
    FindSegment(rotation, t, i, u);
    out = Slerp(quaternion(rotation[i]), quaternion(rotation[i + 1]), u);
    return true;
}
