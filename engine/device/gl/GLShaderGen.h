// GLSL generation of the fixed-function pipeline the device emulates (internal).
#pragma once
#include <cstdint>
#include <string>

// Everything that changes the generated code; the rest of the device state is uniforms.
struct StageKey {
    uint8_t colorOp = 0;    // ColorOp value, or kStageDisabled
    uint8_t colorArg1 = 0;  // ColorArg value
    uint8_t colorArg2 = 0;
    uint8_t alphaOp = 0;    // AlphaOp value (0 = Disable: the incoming alpha passes)
    uint8_t alphaArg1 = 0;  // AlphaArg value
    uint8_t alphaArg2 = 0;
    bool textured = false;  // a texture is bound; without one the texture argument is white
};
constexpr uint8_t kStageDisabled = 0xFF;

// First lines of every shader: GLSL 3.30 core, or GLSL ES 3.00 on WebGL 2 (same language
// otherwise, so one generator serves both).
#ifdef STARFALL_WEB
#define VIREO_GLSL_HEADER \
    "#version 300 es\nprecision highp float;\nprecision highp int;\nprecision highp sampler2D;\n"
#else
#define VIREO_GLSL_HEADER "#version 330 core\n"
#endif
constexpr int kMaxLights = 8;

struct PipelineKey {
    StageKey stages[2];
    bool lighting = false;
    uint8_t lightCount = 0;  // enabled lights, packed into the first uniform slots
    bool fog = false;
    uint8_t fogMode = 0;     // FogMode value

    uint64_t Pack() const;
};

// Uniforms every generated program declares (names used by the program cache):
// uWorldView, uProjection (row-major data, used as M * v = v * M_rowmajor), uNormalMatrix,
// uPixelOffset, uLightPosition[], uLightColor[], uLightRange[], uMaterialAmbient,
// uMaterialEmissive, uAmbient, uFogColor, uFogParams (start, end, density), uTexture0/1.
std::string GenerateVertexShader(const PipelineKey& key);
std::string GenerateFragmentShader(const PipelineKey& key);
