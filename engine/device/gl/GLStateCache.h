// Shadow of the OpenGL state the device changes, so redundant GL calls are skipped (internal).
#pragma once
#include "engine/device/gl/GLError.h"

class GLStateCache {
public:
    // Forgets everything: the next call of each kind reaches GL (after a context is made).
    void Invalidate();
    // Forgets framebuffer and texture bindings (after code that binds them directly).
    void ForgetBindings();

    void UseProgram(GLuint program);
    void ActiveTextureBind(int unit, GLuint texture);
    // Binds texture on unit 0 and makes that unit active, for the calls that work on the
    // bound texture (uploads, reads); ActiveTextureBind may leave another unit active.
    void BindForUpdate(GLuint texture);
    void BindFramebuffer(GLuint framebuffer);  // both draw and read
    void BindVertexArray(GLuint vertexArray);
    void BindArrayBuffer(GLuint buffer);
    void Viewport(int x, int y, int width, int height);
    void Blend(bool enable);
    void BlendFunc(GLenum source, GLenum destination);
    void DepthTest(bool enable);
    void DepthFunc(GLenum func);
    void DepthMask(bool write);
    // GL_NONE disables culling; otherwise the winding GL keeps as front faces, backs culled.
    void CullFront(GLenum frontFace);
    // Drawing writes colour only: the alpha channel of a 32-bit target stays at the 1.0 its
    // clear wrote, so destination alpha reads as opaque, as on a display without alpha.
    void ColorMask(bool rgb, bool alpha);
    void Scissor(bool enable);
    void ClearColor(float r, float g, float b, float a);
    void ClearDepth(double depth);

    GLuint GetFramebuffer() const { return framebuffer_; }

private:
    enum Tri : signed char { Unknown = -1, Off = 0, On = 1 };
    static Tri ToTri(bool v) { return v ? On : Off; }

    GLuint program_ = ~0u;
    GLuint textures_[2] = {~0u, ~0u};
    int activeUnit_ = -1;
    GLuint framebuffer_ = ~0u;
    GLuint vertexArray_ = ~0u;
    GLuint arrayBuffer_ = ~0u;
    int viewport_[4] = {-1, -1, -1, -1};
    Tri blend_ = Unknown;
    GLenum blendSource_ = ~0u;
    GLenum blendDestination_ = ~0u;
    Tri depthTest_ = Unknown;
    GLenum depthFunc_ = ~0u;
    Tri depthMask_ = Unknown;
    GLenum cullFront_ = ~0u;
    int colorMask_ = -1;
    Tri scissor_ = Unknown;
    Tri cullBack_ = Unknown;  // glCullFace(GL_BACK) sent
    float clearColor_[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
    double clearDepth_ = -1.0;
};
