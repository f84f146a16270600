// OpenGL ES 3.0 (WebGL 2) in place of desktop OpenGL for the web build (internal): the
// header, the few desktop names the device uses, and the web's stand-ins for what WebGL 2
// lacks (texture read-back, depth read-back, BGRA uploads).
#pragma once
#include <GLES3/gl3.h>
#include <cstddef>
#include <cstdint>
#include <vector>
#include "engine/device/TextureFormat.h"

inline void glClearDepth(double depth)
{
    glClearDepthf(static_cast<float>(depth));
}

// Desktop-only enumerants; the web's format table never hands them to WebGL.
#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif
#ifndef GL_UNSIGNED_INT_8_8_8_8_REV
#define GL_UNSIGNED_INT_8_8_8_8_REV 0x8367
#endif
#ifndef GL_UNSIGNED_SHORT_1_5_5_5_REV
#define GL_UNSIGNED_SHORT_1_5_5_5_REV 0x8366
#endif
#ifndef GL_UNSIGNED_SHORT_4_4_4_4_REV
#define GL_UNSIGNED_SHORT_4_4_4_4_REV 0x8365
#endif

// Reads a texture's pixels in the device's layout of format, rows from the bottom as
// glGetTexImage gives them, through a temporary framebuffer (WebGL 2 has no
// glGetTexImage); false when the texture cannot be attached. Leaves framebuffer 0 bound.
bool GLWebReadTexture(GLuint texture, TextureFormat format, int width, int height, std::vector<uint8_t>& pixels);

// Reads the depth values (0..1) of a rectangle (rows from the bottom) of framebuffer's
// 16-bit depth buffer, which WebGL 2 cannot read with glReadPixels: the rectangle is
// copied into a depth texture and drawn as colour. Changes bindings, program and
// enables: the caller forgets its cached state afterwards.
void GLWebReadDepth(GLuint framebuffer, int x, int y, int width, int height, float* depths);
