// The cover rule: an opaque draw whose projected triangles contain the whole viewport.
#include "engine/device/gl/GLCover.h"
#include <cmath>

namespace {

// Pixel centres sit half a pixel inside the viewport's corners; a corner this far outside
// the shape (float differences between this projection and the shader's) still leaves
// every centre well inside it.
constexpr double kCornerTolerance = 1e-3;
// Depth this close to the near or far plane might be clipped on the graphics processor.
constexpr double kDepthTolerance = 1e-5;

// The same combinations as the generated code: select, modulate, add (saturated) and
// add-signed (clamped): one when the operands say so.
bool CombineIsOne(int op, bool a1, bool a2)
{
    switch (op) {
    case 0: return a1;
    case 1: return a1 && a2;
    case 2: return a1 || a2;  // min(1 + x, 1) with x >= 0
    case 3: return a1 && a2;  // clamp(1 + 1 - 0.5) is 1
    default: return a1;
    }
}

// Alpha arguments: 0 current, 1 texture, 2 diffuse.
bool AlphaArgOne(int arg, bool current, bool texture, bool diffuse)
{
    switch (arg) {
    case 1: return texture;
    case 2: return diffuse;
    default: return current;
    }
}

bool SourceAlphaIsOne(const CoverState& state, const Vertex* vertices, size_t vertexCount)
{
    bool diffuse = vertexCount > 0;
    for (size_t i = 0; i < vertexCount && diffuse; ++i) diffuse = (vertices[i].color >> 24) == 0xFF;
    bool current = diffuse;
    for (int i = 0; i < 2; ++i) {
        const StageKey& stage = state.effects.pipeline.stages[i];
        if (stage.colorOp == kStageDisabled) break;
        // A stage without a texture reads white.
        const bool texture = !stage.textured || state.textureAlphaOne[i];
        if (stage.alphaOp != 0)
            current = CombineIsOne(stage.alphaOp - 1, AlphaArgOne(stage.alphaArg1, current, texture, diffuse),
                                   AlphaArgOne(stage.alphaArg2, current, texture, diffuse));
    }
    // Lighting and fog change the colour only.
    return current;
}

// Source factors that read nothing of the destination.
bool SourceFactorIgnoresDestination(BlendFactor factor)
{
    switch (factor) {
    case BlendFactor::Zero:
    case BlendFactor::One:
    case BlendFactor::SrcColor:
    case BlendFactor::InvSrcColor:
    case BlendFactor::SrcAlpha:
    case BlendFactor::InvSrcAlpha: return true;
    default: return false;
    }
}

struct Point {
    double x = 0.0, y = 0.0;
};

// (b - a) x (c - a): positive when a, b, c turn counter-clockwise with y up.
double Cross(Point a, Point b, Point c)
{
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

// A vertex in GL's window coordinates of the viewport (y up), as the vertex shader and the
// viewport transform place it; false when it is behind the eye or near the depth planes.
bool Project(const CoverState& state, const Vertex& vertex, Point& out)
{
    const double width = state.viewportWidth, height = state.viewportHeight;
    const ClipVertex clip = ToClipSpace(state.worldView, state.projection, 1.0 / width, 1.0 / height, vertex);
    const double w = clip.w;
    if (!(w > 0.0) || !std::isfinite(w)) return false;
    // Outside GL's -w..w (the device's depth 0..1) the triangle would be clipped.
    const double depthLimit = w * (1.0 - 2.0 * kDepthTolerance);
    if (!(clip.z >= -depthLimit && clip.z <= depthLimit)) return false;
    out.x = (clip.x / w + 1.0) * width / 2.0;
    out.y = (clip.y / w + 1.0) * height / 2.0;
    return std::isfinite(out.x) && std::isfinite(out.y);
}

// Whether culling keeps a triangle of this winding in window coordinates (y up): the device
// names windings with y down, and its Clockwise mode keeps what GL sees as clockwise.
bool SurvivesCulling(CullMode mode, double area)
{
    switch (mode) {
    case CullMode::Clockwise: return area < 0.0;
    case CullMode::CounterClockwise: return area > 0.0;
    default: return true;
    }
}

// Whether the convex polygon (corners in order, either winding) contains the viewport.
bool ContainsViewport(const Point* corners, int count, const CoverState& state)
{
    double area = 0.0;
    for (int i = 0; i < count; ++i) area += Cross(corners[0], corners[i], corners[(i + 1) % count]);
    if (area == 0.0) return false;
    const double sign = area > 0.0 ? 1.0 : -1.0;
    const Point viewport[4] = {{0.0, 0.0},
                               {static_cast<double>(state.viewportWidth), 0.0},
                               {0.0, static_cast<double>(state.viewportHeight)},
                               {static_cast<double>(state.viewportWidth), static_cast<double>(state.viewportHeight)}};
    for (int i = 0; i < count; ++i) {
        const Point a = corners[i], b = corners[(i + 1) % count];
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        if (length == 0.0) return false;
        for (const Point& p : viewport)
            if (sign * Cross(a, b, p) / length < -kCornerTolerance) return false;
    }
    return true;
}

bool SamePosition(const Vertex& a, const Vertex& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

// A triangle of the draw, projected, or nothing when it cannot take part in a cover.
struct Triangle {
    bool usable = false;
    const Vertex* corners[3] = {nullptr, nullptr, nullptr};
    Point points[3];
};

Triangle ProjectTriangle(const CoverState& state, const Vertex* vertices, size_t vertexCount, const uint32_t* indices)
{
    Triangle t;
    for (int i = 0; i < 3; ++i) {
        if (indices[i] >= vertexCount) return t;
        t.corners[i] = &vertices[indices[i]];
        if (!Project(state, *t.corners[i], t.points[i])) return t;
    }
    t.usable = SurvivesCulling(state.cullMode, Cross(t.points[0], t.points[1], t.points[2]));
    return t;
}

// The corner of t at the position of v, or -1.
int FindCorner(const Triangle& t, const Vertex& v)
{
    for (int j = 0; j < 3; ++j)
        if (SamePosition(*t.corners[j], v)) return j;
    return -1;
}

// Two triangles sharing an edge whose union is a convex quad containing the viewport.
bool PairCovers(const CoverState& state, const Triangle& a, const Triangle& b)
{
    int sharedA[2] = {0, 0}, sharedB[2] = {0, 0}, shared = 0, loneA = -1;
    for (int i = 0; i < 3; ++i) {
        const int j = FindCorner(b, *a.corners[i]);
        if (j < 0) {
            loneA = i;
        } else {
            if (shared == 2) return false;
            sharedA[shared] = i;
            sharedB[shared] = j;
            ++shared;
        }
    }
    if (shared != 2 || loneA < 0 || sharedB[0] == sharedB[1]) return false;
    const Point p = a.points[loneA], q = b.points[3 - sharedB[0] - sharedB[1]];
    const Point s1 = a.points[sharedA[0]], s2 = a.points[sharedA[1]];
    // Convex exactly when the diagonals cross.
    if (!(Cross(s1, s2, p) * Cross(s1, s2, q) < 0.0) || !(Cross(p, q, s1) * Cross(p, q, s2) < 0.0)) return false;
    const Point quad[4] = {p, s1, q, s2};
    return ContainsViewport(quad, 4, state);
}

}  // namespace

bool DrawIsOpaque(const CoverState& state, const Vertex* vertices, size_t vertexCount)
{
    const DrawEffectState& effects = state.effects;
    if (effects.depthTest && state.depthFunc != CompareFunc::Always) return false;
    if (!effects.blend) return true;
    if (!SourceFactorIgnoresDestination(effects.src)) return false;
    if (effects.dest == BlendFactor::Zero) return true;
    return effects.dest == BlendFactor::InvSrcAlpha && SourceAlphaIsOne(state, vertices, vertexCount);
}

bool TrianglesCoverViewport(const CoverState& state, const Vertex* vertices, size_t vertexCount,
                            const uint32_t* indices, size_t indexCount)
{
    if (vertices == nullptr || indices == nullptr || state.viewportWidth <= 0 || state.viewportHeight <= 0)
        return false;
    Triangle previous;
    for (size_t i = 0; i + 2 < indexCount; i += 3) {
        const Triangle t = ProjectTriangle(state, vertices, vertexCount, indices + i);
        if (t.usable) {
            if (ContainsViewport(t.points, 3, state)) return true;
            if (previous.usable && PairCovers(state, previous, t)) return true;
        }
        previous = t;
    }
    return false;
}

bool DrawCoversViewport(const CoverState& state, const Vertex* vertices, size_t vertexCount,
                        const uint32_t* indices, size_t indexCount)
{
    return DrawIsOpaque(state, vertices, vertexCount) &&
           TrianglesCoverViewport(state, vertices, vertexCount, indices, indexCount);
}
