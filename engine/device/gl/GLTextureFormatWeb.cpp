// The OpenGL device's texture formats on WebGL 2: RGBA uploads reordered on the CPU, and
// the read-backs WebGL 2 lacks (texture contents, depth values).
#include <string>
#include "engine/core/Fatal.h"
#include "engine/device/gl/GLProgramCache.h"
#include "engine/device/gl/GLTextureFormat.h"

namespace {

// Indexed by TextureFormat. The opaque formats get their alpha from the reordering.
const TextureFormatInfo kFormats[] = {
    {TextureFormat::RGB565, GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, false},
    {TextureFormat::RGB555, GL_RGB5_A1, GL_RGBA, GL_UNSIGNED_SHORT_5_5_5_1, false},
    {TextureFormat::XRGB32, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, false},
    {TextureFormat::ARGB1555, GL_RGB5_A1, GL_RGBA, GL_UNSIGNED_SHORT_5_5_5_1, false},
    {TextureFormat::ARGB4444, GL_RGBA4, GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4, false},
    {TextureFormat::ARGB32, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, false},
};

uint16_t Load16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

void Store16(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

const char* const kDepthVertex = VIREO_GLSL_HEADER
    "void main() {\n"
    "    vec2 corner = vec2(gl_VertexID & 1, gl_VertexID >> 1);\n"
    "    gl_Position = vec4(corner * 4.0 - 1.0, 0.0, 1.0);\n"
    "}\n";

// The 16-bit depth value, split into two bytes so that RGBA bytes carry it exactly.
const char* const kDepthFragment = VIREO_GLSL_HEADER
    "uniform highp sampler2D uDepth;\n"
    "out vec4 oColor;\n"
    "void main() {\n"
    "    float d = texelFetch(uDepth, ivec2(gl_FragCoord.xy), 0).r;\n"
    "    uint v = uint(clamp(d, 0.0, 1.0) * 65535.0 + 0.5);\n"
    "    oColor = vec4(float(v >> 8u) / 255.0, float(v & 255u) / 255.0, 0.0, 1.0);\n"
    "}\n";

}  // namespace

const TextureFormatInfo& GetTextureFormatInfo(TextureFormat format)
{
    return kFormats[static_cast<int>(format)];
}

const void* PixelsForUpload(TextureFormat format, const void* pixels, size_t count, std::vector<uint8_t>& scratch)
{
    if (pixels == nullptr || format == TextureFormat::RGB565) return pixels;
    const auto* in = static_cast<const uint8_t*>(pixels);
    const size_t bytes = BytesPerPixel(format);
    scratch.resize(count * bytes);
    uint8_t* out = scratch.data();
    for (size_t i = 0; i < count; ++i, in += bytes, out += bytes) {
        switch (format) {
        case TextureFormat::XRGB32:
        case TextureFormat::ARGB32:
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
            out[3] = format == TextureFormat::XRGB32 ? 0xFF : in[3];
            break;
        case TextureFormat::RGB555:
            Store16(out, (Load16(in) & 0x7FFFu) << 1 | 1u);
            break;
        case TextureFormat::ARGB1555: {
            const uint32_t v = Load16(in);
            Store16(out, (v & 0x7FFFu) << 1 | v >> 15);
            break;
        }
        case TextureFormat::ARGB4444: {
            const uint32_t v = Load16(in);
            Store16(out, (v << 4 | v >> 12) & 0xFFFFu);
            break;
        }
        default:
            break;
        }
    }
    return scratch.data();
}

bool GLWebReadTexture(GLuint texture, TextureFormat format, int width, int height, std::vector<uint8_t>& pixels)
{
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    std::vector<uint8_t> rgba;
    if (complete) {
        rgba.resize(static_cast<size_t>(width) * height * 4);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    if (!complete) return false;

    const size_t count = static_cast<size_t>(width) * height;
    pixels.resize(count * BytesPerPixel(format));
    for (size_t i = 0; i < count; ++i) {
        const uint32_t r = rgba[4 * i], g = rgba[4 * i + 1], b = rgba[4 * i + 2], a = rgba[4 * i + 3];
        uint8_t* out = pixels.data() + i * BytesPerPixel(format);
        switch (format) {
        case TextureFormat::XRGB32:
        case TextureFormat::ARGB32:
            out[0] = static_cast<uint8_t>(b);
            out[1] = static_cast<uint8_t>(g);
            out[2] = static_cast<uint8_t>(r);
            out[3] = static_cast<uint8_t>(a);
            break;
        case TextureFormat::RGB565:
            Store16(out, (r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
            break;
        case TextureFormat::RGB555:
            Store16(out, (r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
            break;
        case TextureFormat::ARGB1555:
            Store16(out, (a >= 128 ? 0x8000u : 0u) | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
            break;
        case TextureFormat::ARGB4444:
            Store16(out, (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | b >> 4);
            break;
        }
    }
    return true;
}

void GLWebReadDepth(GLuint framebuffer, int x, int y, int width, int height, float* depths)
{
    // Made once, kept for the process (the page's one context lives as long).
    static GLuint program = 0;
    static GLint depthUniform = -1;
    if (program == 0) {
        program = BuildGLProgram(kDepthVertex, kDepthFragment, "depth read");
        depthUniform = glGetUniformLocation(program, "uDepth");
    }

    GLuint objects[2] = {};  // depth texture, colour renderbuffer
    GLuint framebuffers[2] = {};  // depth copy, colour output
    glGenTextures(1, &objects[0]);
    glBindTexture(GL_TEXTURE_2D, objects[0]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT16, width, height, 0, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT,
                 nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glGenRenderbuffers(1, &objects[1]);
    glBindRenderbuffer(GL_RENDERBUFFER, objects[1]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glGenFramebuffers(2, framebuffers);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffers[0]);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, objects[0], 0);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffers[1]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, objects[1]);

    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffers[0]);
    glBlitFramebuffer(x, y, x + width, y + height, 0, 0, width, height, GL_DEPTH_BUFFER_BIT, GL_NEAREST);

    glBindFramebuffer(GL_FRAMEBUFFER, framebuffers[1]);
    glViewport(0, 0, width, height);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glUseProgram(program);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, objects[0]);
    glUniform1i(depthUniform, 0);
    glBindVertexArray(0);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 3);

    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    for (size_t i = 0, count = static_cast<size_t>(width) * height; i < count; ++i)
        depths[i] = static_cast<float>(rgba[4 * i] << 8 | rgba[4 * i + 1]) / 65535.0f;

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(2, framebuffers);
    glDeleteRenderbuffers(1, &objects[1]);
    glDeleteTextures(1, &objects[0]);
}
