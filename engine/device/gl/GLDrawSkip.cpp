// The skip rules: the stage cascade proves a source adds nothing; clip planes prove a draw lies off the screen.
#include "engine/device/gl/GLDrawSkip.h"
#include <cmath>

namespace {

// What is known of a value computed by the fragment stages: zero everywhere, or not known.
struct Zeros {
    bool rgb = false;
    bool alpha = false;
};

// The same combinations as the generated code: select, modulate, add (saturated) and
// add-signed (clamped): zero when the operands say so.
bool CombineIsZero(int op, bool a1, bool a2)
{
    switch (op) {
    case 0: return a1;
    case 1: return a1 || a2;
    case 2: return a1 && a2;
    case 3: return a1 && a2;  // clamp(0 + 0 - 0.5) is 0
    default: return a1;
    }
}

// Colour arguments: 1 current, 2 texture (never known), others diffuse.
bool ColorArgZero(int arg, const Zeros& current, const Zeros& diffuse)
{
    switch (arg) {
    case 1: return current.rgb;
    case 2: return false;
    default: return diffuse.rgb;
    }
}

// Alpha arguments: 0 current, 1 texture (never known), 2 diffuse.
bool AlphaArgZero(int arg, const Zeros& current, const Zeros& diffuse)
{
    switch (arg) {
    case 0: return current.alpha;
    case 2: return diffuse.alpha;
    default: return false;
    }
}

Zeros SourceZeros(const PipelineKey& key, const Vertex* vertices, int vertexCount)
{
    Zeros diffuse{true, true};
    for (int i = 0; i < vertexCount; ++i) {
        diffuse.alpha = diffuse.alpha && (vertices[i].color >> 24) == 0;
        diffuse.rgb = diffuse.rgb && (vertices[i].color & 0x00FFFFFFu) == 0;
    }
    // Lighting replaces the vertex colour with emissive and ambient terms (alpha stays).
    if (key.lighting) diffuse.rgb = false;
    Zeros current = diffuse;
    for (const StageKey& stage : key.stages) {
        if (stage.colorOp == kStageDisabled) break;
        Zeros next;
        next.rgb = CombineIsZero(stage.colorOp, ColorArgZero(stage.colorArg1, current, diffuse),
                                 ColorArgZero(stage.colorArg2, current, diffuse));
        next.alpha = stage.alphaOp == 0
                         ? current.alpha
                         : CombineIsZero(stage.alphaOp - 1, AlphaArgZero(stage.alphaArg1, current, diffuse),
                                         AlphaArgZero(stage.alphaArg2, current, diffuse));
        current = next;
    }
    // Fog pulls the colour towards the fog colour; alpha is left alone.
    if (key.fog) current.rgb = false;
    return current;
}

// Slack on every plane, relative to the size of the coordinates: the GPU rounds its own
// products, and a vertex this close to the edge is no longer worth the risk.
constexpr double kClipMargin = 1.0 / 256.0;

enum ClipPlane : unsigned {
    kLowX = 1, kHighX = 2, kLowY = 4, kHighY = 8, kLowZ = 16, kHighZ = 32, kAllPlanes = 63
};

// The planes c lies beyond: c < -w or c > w, each with the margin. NaN is beyond none.
unsigned Outside(double c, double w, unsigned below, unsigned above)
{
    const double margin = kClipMargin * (std::fabs(c) + std::fabs(w));
    unsigned planes = 0;
    if (c + w < -margin) planes |= below;
    if (c - w > margin) planes |= above;
    return planes;
}

}  // namespace

ClipVertex ToClipSpace(const Matrix4& worldView, const Matrix4& projection, double pixelOffsetX,
                       double pixelOffsetY, const Vertex& vertex)
{
    const double in[4] = {vertex.x, vertex.y, vertex.z, 1.0};
    double view[4], clip[4];
    for (int c = 0; c < 4; ++c) {
        view[c] = 0.0;
        for (int r = 0; r < 4; ++r) view[c] += in[r] * worldView.m[r][c];
    }
    for (int c = 0; c < 4; ++c) {
        clip[c] = 0.0;
        for (int r = 0; r < 4; ++r) clip[c] += view[r] * projection.m[r][c];
    }
    const double w = clip[3];
    return {clip[0] + pixelOffsetX * w, -clip[1] + pixelOffsetY * w, 2.0 * clip[2] - w, w};
}

bool DrawIsOffScreen(const ClipTransform& transform, const Vertex* vertices, int vertexCount)
{
    if (vertices == nullptr || vertexCount <= 0) return false;
    // The shader receives world x view as one matrix, multiplied in float.
    const Matrix4 worldView = transform.world * transform.view;
    unsigned common = kAllPlanes;
    for (int i = 0; i < vertexCount && common != 0; ++i) {
        const ClipVertex p = ToClipSpace(worldView, transform.projection, transform.pixelOffsetX,
                                         transform.pixelOffsetY, vertices[i]);
        common &= Outside(p.x, p.w, kLowX, kHighX) | Outside(p.y, p.w, kLowY, kHighY) |
                  Outside(p.z, p.w, kLowZ, kHighZ);
    }
    return common != 0;
}

bool DrawLeavesPictureUnchanged(const DrawEffectState& state, const Vertex* vertices, int vertexCount)
{
    if (!state.blend || state.depthTest || vertices == nullptr || vertexCount <= 0) return false;
    const Zeros source = SourceZeros(state.pipeline, vertices, vertexCount);
    // The destination factor must be exactly one for every fragment.
    const bool keepsDestination = state.dest == BlendFactor::One ||
                                  (state.dest == BlendFactor::InvSrcAlpha && source.alpha) ||
                                  (state.dest == BlendFactor::InvSrcColor && source.rgb);
    if (!keepsDestination) return false;
    // Black source colour adds nothing under any factor (all lie in 0..1); a zero alpha adds
    // nothing through the factors that scale by it.
    if (source.rgb || state.src == BlendFactor::Zero) return true;
    return source.alpha && state.src == BlendFactor::SrcAlpha;
}
