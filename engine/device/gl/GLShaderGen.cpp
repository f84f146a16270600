// Writes the GLSL for one combination of texture stages, lighting and fog.
#include "engine/device/gl/GLShaderGen.h"
#include <cstdio>

uint64_t PipelineKey::Pack() const
{
    uint64_t k = 0;
    for (const StageKey& s : stages) {
        k = (k << 8) | s.colorOp;
        k = (k << 2) | s.colorArg1;
        k = (k << 2) | s.colorArg2;
        k = (k << 3) | s.alphaOp;
        k = (k << 2) | s.alphaArg1;
        k = (k << 2) | s.alphaArg2;
        k = (k << 1) | (s.textured ? 1 : 0);
    }
    k = (k << 1) | (lighting ? 1 : 0);
    k = (k << 4) | lightCount;
    k = (k << 1) | (fog ? 1 : 0);
    k = (k << 2) | fogMode;
    return k;
}

namespace {

const char* kCommon = VIREO_GLSL_HEADER;

// Colour arguments: 0 and 3 diffuse, 1 current, 2 texture.
std::string ColorArgument(int arg, int stage)
{
    switch (arg) {
    case 1: return "current.rgb";
    case 2: return "tex" + std::to_string(stage) + ".rgb";
    default: return "diffuse.rgb";
    }
}

// Alpha arguments: 0 current, 1 texture, 2 diffuse.
std::string AlphaArgument(int arg, int stage)
{
    switch (arg) {
    case 1: return "tex" + std::to_string(stage) + ".a";
    case 2: return "diffuse.a";
    default: return "current.a";
    }
}

// Shared by colour (ColorOp numbering) and alpha (AlphaOp numbering minus one).
std::string Combine(int op, const std::string& a1, const std::string& a2, const char* type)
{
    switch (op) {
    case 0: return a1;
    case 1: return a1 + " * " + a2;
    case 2: return std::string("min(") + a1 + " + " + a2 + ", " + type + "(1.0))";
    case 3: return std::string("clamp(") + a1 + " + " + a2 + " - " + type + "(0.5), " + type + "(0.0), " + type + "(1.0))";
    default: return a1;
    }
}

}  // namespace

std::string GenerateVertexShader(const PipelineKey& key)
{
    std::string s = kCommon;
    s += "layout(location = 0) in vec3 aPosition;\n"
         "layout(location = 1) in vec3 aNormal;\n"
         "layout(location = 2) in vec4 aColor;\n"  // bytes B, G, R, A of 0xAARRGGBB
         "layout(location = 3) in vec2 aUv0;\n"
         "layout(location = 4) in vec2 aUv1;\n"
         "uniform mat4 uWorldView;\n"
         "uniform mat4 uProjection;\n"
         "uniform vec2 uPixelOffset;\n"
         "out vec4 vDiffuse;\n"
         "out vec2 vUv0;\n"
         "out vec2 vUv1;\n"
         "out vec3 vViewPosition;\n";
    if (key.lighting) {
        s += "uniform mat3 uNormalMatrix;\n"
             "uniform vec3 uMaterialAmbient;\n"
             "uniform vec3 uMaterialEmissive;\n"
             "uniform vec3 uAmbient;\n";
        if (key.lightCount > 0) {
            std::string n = std::to_string(key.lightCount);
            s += "uniform vec3 uLightPosition[" + n + "];\n"
                 "uniform vec3 uLightColor[" + n + "];\n"
                 "uniform float uLightRange[" + n + "];\n";
        }
    }
    s += "void main() {\n"
         "    vec4 view = uWorldView * vec4(aPosition, 1.0);\n"
         "    vViewPosition = view.xyz;\n"
         "    vec4 color = aColor.zyxw;\n";
    if (key.lighting) {
        // Vertex colour is the diffuse material; normals are not renormalised.
        s += "    vec3 normal = uNormalMatrix * aNormal;\n"
             "    vec3 ambient = uAmbient;\n"
             "    vec3 diffuse = vec3(0.0);\n";
        if (key.lightCount > 0) {
            s += "    for (int i = 0; i < " + std::to_string(key.lightCount) + "; ++i) {\n"
                 "        vec3 toLight = uLightPosition[i] - view.xyz;\n"
                 "        float d = length(toLight);\n"
                 "        if (d > uLightRange[i]) continue;\n"
                 "        float attenuation = 1.0 / max(0.01 * d, 1e-6);\n"
                 "        ambient += uLightColor[i] * attenuation;\n"
                 "        float lambert = d > 0.0 ? max(dot(normal, toLight / d), 0.0) : 0.0;\n"
                 "        diffuse += uLightColor[i] * (attenuation * lambert);\n"
                 "    }\n";
        }
        s += "    color.rgb = clamp(uMaterialEmissive + uMaterialAmbient * ambient + color.rgb * diffuse, 0.0, 1.0);\n";
    }
    s += "    vDiffuse = color;\n"
         "    vUv0 = aUv0;\n"
         "    vUv1 = aUv1;\n"
         "    vec4 clip = uProjection * view;\n"
         // Framebuffers hold rows top-down, so y is mirrored here (and culling windings with it).
         "    clip.y = -clip.y;\n"
         // Device depth runs 0..1; GL clips -w..w.
         "    clip.z = 2.0 * clip.z - clip.w;\n"
         // Pixel centres sit on integer screen coordinates.
         "    clip.xy += uPixelOffset * clip.w;\n"
         "    gl_Position = clip;\n"
         "}\n";
    return s;
}

std::string GenerateFragmentShader(const PipelineKey& key)
{
    std::string s = kCommon;
    s += "in vec4 vDiffuse;\n"
         "in vec2 vUv0;\n"
         "in vec2 vUv1;\n"
         "in vec3 vViewPosition;\n"
         "uniform sampler2D uTexture0;\n"
         "uniform sampler2D uTexture1;\n"
         "uniform vec3 uFogColor;\n"
         "uniform vec3 uFogParams;\n"
         "out vec4 oColor;\n"
         "void main() {\n"
         "    vec4 diffuse = vDiffuse;\n"
         "    vec4 current = diffuse;\n";
    for (int i = 0; i < 2; ++i) {
        const StageKey& st = key.stages[i];
        if (st.colorOp == kStageDisabled) break;
        std::string n = std::to_string(i);
        if (st.textured) s += "    vec4 tex" + n + " = texture(uTexture" + n + ", vUv" + n + ");\n";
        else s += "    vec4 tex" + n + " = vec4(1.0);\n";
        std::string rgb = Combine(st.colorOp, ColorArgument(st.colorArg1, i), ColorArgument(st.colorArg2, i), "vec3");
        std::string alpha = st.alphaOp == 0
                                ? std::string("current.a")
                                : Combine(st.alphaOp - 1, AlphaArgument(st.alphaArg1, i), AlphaArgument(st.alphaArg2, i), "float");
        s += "    current = vec4(" + rgb + ", " + alpha + ");\n";
    }
    if (key.fog) {
        // Range-based: the distance from the eye, evaluated per pixel.
        s += "    float dist = length(vViewPosition);\n";
        switch (key.fogMode) {
        case 0:
            s += "    float range = uFogParams.y - uFogParams.x;\n"
                 "    float f = range != 0.0 ? (uFogParams.y - dist) / range : (dist < uFogParams.y ? 1.0 : 0.0);\n";
            break;
        case 1: s += "    float f = exp(-dist * uFogParams.z);\n"; break;
        default: s += "    float f = exp(-(dist * uFogParams.z) * (dist * uFogParams.z));\n"; break;
        }
        s += "    current.rgb = mix(uFogColor, current.rgb, clamp(f, 0.0, 1.0));\n";
    }
    s += "    oColor = current;\n"
         "}\n";
    return s;
}
