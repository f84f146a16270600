// Redundant-call filter for the OpenGL state the device changes.
#include "engine/device/gl/GLStateCache.h"

void GLStateCache::Invalidate()
{
    *this = GLStateCache{};
}

void GLStateCache::ForgetBindings()
{
    framebuffer_ = ~0u;
    textures_[0] = textures_[1] = ~0u;
    activeUnit_ = -1;
}

void GLStateCache::UseProgram(GLuint program)
{
    if (program_ == program) return;
    program_ = program;
    glUseProgram(program);
}

void GLStateCache::ActiveTextureBind(int unit, GLuint texture)
{
    if (textures_[unit] == texture) return;
    if (activeUnit_ != unit) {
        activeUnit_ = unit;
        glActiveTexture(GL_TEXTURE0 + unit);
    }
    textures_[unit] = texture;
    glBindTexture(GL_TEXTURE_2D, texture);
}

void GLStateCache::BindForUpdate(GLuint texture)
{
    if (activeUnit_ != 0) {
        activeUnit_ = 0;
        glActiveTexture(GL_TEXTURE0);
    }
    if (textures_[0] == texture) return;
    textures_[0] = texture;
    glBindTexture(GL_TEXTURE_2D, texture);
}

void GLStateCache::BindFramebuffer(GLuint framebuffer)
{
    if (framebuffer_ == framebuffer) return;
    framebuffer_ = framebuffer;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
}

void GLStateCache::BindVertexArray(GLuint vertexArray)
{
    if (vertexArray_ == vertexArray) return;
    vertexArray_ = vertexArray;
    glBindVertexArray(vertexArray);
}

void GLStateCache::BindArrayBuffer(GLuint buffer)
{
    if (arrayBuffer_ == buffer) return;
    arrayBuffer_ = buffer;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
}

void GLStateCache::Viewport(int x, int y, int width, int height)
{
    if (viewport_[0] == x && viewport_[1] == y && viewport_[2] == width && viewport_[3] == height) return;
    viewport_[0] = x;
    viewport_[1] = y;
    viewport_[2] = width;
    viewport_[3] = height;
    glViewport(x, y, width, height);
}

void GLStateCache::Blend(bool enable)
{
    if (blend_ == ToTri(enable)) return;
    blend_ = ToTri(enable);
    if (enable) glEnable(GL_BLEND);
    else glDisable(GL_BLEND);
}

void GLStateCache::BlendFunc(GLenum source, GLenum destination)
{
    if (blendSource_ == source && blendDestination_ == destination) return;
    blendSource_ = source;
    blendDestination_ = destination;
    glBlendFunc(source, destination);
}

void GLStateCache::DepthTest(bool enable)
{
    if (depthTest_ == ToTri(enable)) return;
    depthTest_ = ToTri(enable);
    if (enable) glEnable(GL_DEPTH_TEST);
    else glDisable(GL_DEPTH_TEST);
}

void GLStateCache::DepthFunc(GLenum func)
{
    if (depthFunc_ == func) return;
    depthFunc_ = func;
    glDepthFunc(func);
}

void GLStateCache::DepthMask(bool write)
{
    if (depthMask_ == ToTri(write)) return;
    depthMask_ = ToTri(write);
    glDepthMask(write ? GL_TRUE : GL_FALSE);
}

void GLStateCache::CullFront(GLenum frontFace)
{
    if (cullFront_ == frontFace) return;
    bool wasCulling = cullFront_ != GL_NONE && cullFront_ != ~0u;
    if (frontFace == GL_NONE) {
        glDisable(GL_CULL_FACE);
    } else {
        if (!wasCulling) glEnable(GL_CULL_FACE);
        if (cullBack_ != On) {
            cullBack_ = On;
            glCullFace(GL_BACK);
        }
        glFrontFace(frontFace);
    }
    cullFront_ = frontFace;
}

void GLStateCache::ColorMask(bool rgb, bool alpha)
{
    int mask = (rgb ? 1 : 0) | (alpha ? 2 : 0);
    if (colorMask_ == mask) return;
    colorMask_ = mask;
    GLboolean c = rgb ? GL_TRUE : GL_FALSE;
    glColorMask(c, c, c, alpha ? GL_TRUE : GL_FALSE);
}

void GLStateCache::Scissor(bool enable)
{
    if (scissor_ == ToTri(enable)) return;
    scissor_ = ToTri(enable);
    if (enable) glEnable(GL_SCISSOR_TEST);
    else glDisable(GL_SCISSOR_TEST);
}

void GLStateCache::ClearColor(float r, float g, float b, float a)
{
    if (clearColor_[0] == r && clearColor_[1] == g && clearColor_[2] == b && clearColor_[3] == a) return;
    clearColor_[0] = r;
    clearColor_[1] = g;
    clearColor_[2] = b;
    clearColor_[3] = a;
    glClearColor(r, g, b, a);
}

void GLStateCache::ClearDepth(double depth)
{
    if (clearDepth_ == depth) return;
    clearDepth_ = depth;
    glClearDepth(depth);
}
