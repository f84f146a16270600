// Whether a draw can leave the colour buffer as it is, decided from the state and vertices alone (internal).
#pragma once
#include "engine/device/DeviceTypes.h"
#include "engine/device/Matrix.h"
#include "engine/device/gl/GLShaderGen.h"

// The state a draw meets, as the device would send it to GL.
struct DrawEffectState {
    PipelineKey pipeline;   // after the device's own adjustments (stage cascade as drawn)
    bool blend = false;
    BlendFactor src = BlendFactor::One;
    BlendFactor dest = BlendFactor::Zero;
    bool depthTest = true;  // GL writes depth only while the test is on
};

// True only when every fragment of the draw would blend to exactly the colour already there
// and nothing else (depth) would be written: blending on, the depth test off, and the
// source's contribution provably zero for every vertex (alpha 0 under a source-alpha factor,
// or black colour with lighting and fog off), with the destination kept whole.
bool DrawLeavesPictureUnchanged(const DrawEffectState& state, const Vertex* vertices, int vertexCount);

// What the vertex shader does to a position: world, view and projection (row vectors), then
// y mirrored, the 0..1 depth mapped onto -w..w and the half-pixel shift of pixelOffset per w.
struct ClipTransform {
    const Matrix4& world;
    const Matrix4& view;
    const Matrix4& projection;
    float pixelOffsetX = 0.0f;
    float pixelOffsetY = 0.0f;
};

// A position as GL's clipper receives it from the vertex shader: the row vector through
// worldView and projection, y mirrored, the 0..1 depth of w mapped onto -w..w, and the
// half-pixel shift of pixelOffset per w. In double, so the rules built on it keep their
// margins small; the one CPU copy of the shader's transform.
struct ClipVertex {
    double x, y, z, w;
};
ClipVertex ToClipSpace(const Matrix4& worldView, const Matrix4& projection, double pixelOffsetX,
                       double pixelOffsetY, const Vertex& vertex);

// True when every vertex lies beyond the same clip plane (x, y or z' below -w or above w)
// by more than a small margin: the whole primitive is then outside the clip volume, for
// any w, and GL produces no fragment. Only for triangles: a point's size or a line's width
// can reach back in. All vertices count, used or not, so an index list cannot mislead it.
bool DrawIsOffScreen(const ClipTransform& transform, const Vertex* vertices, int vertexCount);
