// Whether a draw overwrites every pixel of its viewport regardless of what is there (internal, no GL calls).
#pragma once
#include <cstdint>
#include <vector>
#include "engine/device/DeviceTypes.h"
#include "engine/device/Matrix.h"
#include "engine/device/gl/GLDrawSkip.h"

// Everything the proof reads besides the geometry, as the draw reaches GL.
struct CoverState {
    DrawEffectState effects;  // pipeline after the device's adjustments, blending, depth test
    CompareFunc depthFunc = CompareFunc::LessEqual;
    CullMode cullMode = CullMode::None;
    // Per stage: its texture reads alpha 1 everywhere (no alpha channel, or no texture at all).
    bool textureAlphaOne[2] = {true, true};
    Matrix4 worldView;   // world x view, as the vertex shader receives it
    Matrix4 projection;
    int viewportWidth = 0;
    int viewportHeight = 0;
};

// True when every fragment's colour is independent of the destination: blending off, or
// blend factors whose destination term is provably zero (inverse source alpha with the
// source alpha proved 1 through the stage cascade) and a source term that reads no
// destination; and when every fragment passes the depth test (off, or Always).
bool DrawIsOpaque(const CoverState& state, const Vertex* vertices, size_t vertexCount);

// True when the triangles (indices into vertices, three a triangle) include one triangle, or
// two sharing an edge that form a convex quad, which survives culling, lies wholly in front
// of the eye and within the depth range, and contains the whole viewport rectangle once
// projected as the vertex shader projects it (mirrored y, half-pixel shift). Pixel centres
// then lie half a pixel inside the covering shape, so rounding cannot uncover any.
bool TrianglesCoverViewport(const CoverState& state, const Vertex* vertices, size_t vertexCount,
                            const uint32_t* indices, size_t indexCount);

// Both of the above: the draw leaves no trace of the picture beneath it.
bool DrawCoversViewport(const CoverState& state, const Vertex* vertices, size_t vertexCount,
                        const uint32_t* indices, size_t indexCount);
