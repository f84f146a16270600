// Track encoding: B-spline control points by a tridiagonal solve, relative rotation keys, camera roll.
#include "tools/mdlconvert/TrackEncoding.h"
#include <cmath>

std::vector<double> InterpolatingControlPoints(const std::vector<double>& samples)
{
    const size_t n = samples.size();
    if (n < 2)
        return samples;
    // Points P[0..n+1]; sample i sits at P[i+1]: (P[i] + 4 P[i+1] + P[i+2]) / 6 = S[i]. With
    // no bending at the ends (P[0] - 2 P[1] + P[2] = 0) the end rows give P[1] = S[0] and
    // P[n] = S[n-1]; the rows between form a diagonally dominant tridiagonal system for
    // P[2..n-1], solved by the Thomas algorithm.
    std::vector<double> points(n + 2);
    points[1] = samples[0];
    points[n] = samples[n - 1];
    const size_t inner = n - 2;
    if (inner > 0) {
        std::vector<double> diagonal(inner, 4.0), rhs(inner);
        for (size_t k = 0; k < inner; ++k)
            rhs[k] = 6.0 * samples[k + 1];
        rhs[0] -= points[1];
        rhs[inner - 1] -= points[n];
        for (size_t k = 1; k < inner; ++k) {
            const double factor = 1.0 / diagonal[k - 1];
            diagonal[k] -= factor;
            rhs[k] -= factor * rhs[k - 1];
        }
        points[inner + 1] = rhs[inner - 1] / diagonal[inner - 1];
        for (size_t k = inner - 1; k-- > 0;)
            points[k + 2] = (rhs[k] - points[k + 3]) / diagonal[k];
    }
    points[0] = 2.0 * points[1] - points[2];
    points[n + 1] = 2.0 * points[n] - points[n - 1];
    return points;
}

static Quaternion Conjugate(const Quaternion& q)
{
    return {-q.x, -q.y, -q.z, q.w};
}

static double Dot(const Quaternion& a, const Quaternion& b)
{
    return static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y + static_cast<double>(a.z) * b.z +
           static_cast<double>(a.w) * b.w;
}

static Quaternion Normalised(Quaternion q)
{
    const double length = std::sqrt(Dot(q, q));
    if (length <= 0.0)
        return {};
    const float scale = static_cast<float>(1.0 / length);
    return {q.x * scale, q.y * scale, q.z * scale, q.w * scale};
}

std::vector<MdlRotationKey> RelativeRotationKeys(const std::vector<int>& frames,
                                                 const std::vector<Quaternion>& absolute, float e1, float e2)
{
    std::vector<MdlRotationKey> keys;
    Quaternion accumulated;  // what the reader holds after the previous key
    for (size_t i = 0; i < absolute.size() && i < frames.size(); ++i) {
        Quaternion wanted = Normalised(absolute[i]);
        if (Dot(accumulated, wanted) < 0.0)
            wanted = {-wanted.x, -wanted.y, -wanted.z, -wanted.w};
        // accumulated (x) step = wanted.
        const Quaternion step = HamiltonProduct(Conjugate(Normalised(accumulated)), wanted);
        const double vector = std::sqrt(static_cast<double>(step.x) * step.x + static_cast<double>(step.y) * step.y +
                                        static_cast<double>(step.z) * step.z);
        MdlRotationKey key;
        key.frame = frames[i];
        key.e1 = e1;
        key.e2 = e2;
        // The reader builds (s a1, s a3, s a2, c) with s = sin(-angle/2), c = cos(-angle/2).
        if (vector > 1e-12) {
            key.angle = static_cast<float>(2.0 * std::atan2(vector, static_cast<double>(step.w)));
            key.axis = {static_cast<float>(-step.x / vector), static_cast<float>(-step.z / vector),
                        static_cast<float>(-step.y / vector)};
        } else {
            key.axis = {0.0f, 0.0f, 1.0f};
            key.angle = 0.0f;
        }
        const float s = std::sin(-key.angle / 2);
        const float c = std::cos(-key.angle / 2);
        accumulated = HamiltonProduct(accumulated, Quaternion{s * key.axis.x, s * key.axis.z, s * key.axis.y, c});
        keys.push_back(key);
    }
    return keys;
}

namespace {

// Signed angle from the up the player reaches with roll r to the wanted up, about forward;
// false when the hint is parallel to forward.
bool RollError(const Vector3& forward, const Vector3& wanted, double r, double& angle)
{
    const Vector3 hint{static_cast<float>(std::sin(r)), static_cast<float>(std::cos(r)),
                       static_cast<float>(std::sin(r) * std::cos(r))};
    const Vector3 reached = hint - forward * Dot(hint, forward);
    if (Length(reached) < 1e-6f)
        return false;
    angle = std::atan2(static_cast<double>(Dot(Cross(reached, wanted), forward)),
                       static_cast<double>(Dot(reached, wanted)));
    return true;
}

}  // namespace

float CameraRoll(Vector3 forward, Vector3 up, float previous, float& error)
{
    constexpr double kPi = 3.14159265358979323846;
    error = static_cast<float>(kPi);
    if (Length(forward) < 1e-9f)
        return previous;
    forward = forward * (1.0f / Length(forward));
    Vector3 wanted = up - forward * Dot(up, forward);
    if (Length(wanted) < 1e-6f)
        return previous;
    wanted = wanted * (1.0f / Length(wanted));

    // A coarse scan for the basins, each refined by a golden-section search on |angle|.
    constexpr int kSteps = 720;
    const double step = 2.0 * kPi / kSteps;
    auto cost = [&](double r) {
        double angle = 0;
        return RollError(forward, wanted, r, angle) ? std::fabs(angle) : 10.0;
    };
    std::vector<double> coarse(kSteps);
    for (int i = 0; i < kSteps; ++i)
        coarse[i] = cost(-kPi + i * step);
    double bestRoll = previous, bestCost = 10.0;
    for (int i = 0; i < kSteps; ++i) {
        const double here = coarse[i];
        if (here > coarse[(i + kSteps - 1) % kSteps] || here > coarse[(i + 1) % kSteps])
            continue;
        double low = -kPi + (i - 1) * step, high = -kPi + (i + 1) * step;
        const double ratio = 0.6180339887498949;
        for (int k = 0; k < 60; ++k) {
            const double a = high - ratio * (high - low), b = low + ratio * (high - low);
            if (cost(a) < cost(b))
                high = b;
            else
                low = a;
        }
        double r = 0.5 * (low + high);
        const double c = cost(r);
        // Unwrap to the turn nearest the previous roll.
        r += 2.0 * kPi * std::round((previous - r) / (2.0 * kPi));
        const bool clearlyBetter = c < bestCost - 1e-4;
        const bool asGoodAndNearer = std::fabs(c - bestCost) <= 1e-4 && std::fabs(r - previous) < std::fabs(bestRoll - previous);
        if (clearlyBetter || asGoodAndNearer) {
            bestRoll = r;
            bestCost = c;
        }
    }
    error = static_cast<float>(bestCost);
    return static_cast<float>(bestRoll);
}
