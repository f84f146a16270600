// Whether a draw can leave the colour buffer as it is, decided from the pipeline, blend and vertices (internal).
#pragma once
#include "engine/device/DeviceTypes.h"
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
