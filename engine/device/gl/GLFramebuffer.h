// An off-screen framebuffer: a colour texture and a 16-bit depth buffer (internal).
#pragma once
#include <string>
#include "engine/device/gl/GLError.h"

class GLFramebuffer {
public:
    GLFramebuffer() = default;
    ~GLFramebuffer();
    GLFramebuffer(const GLFramebuffer&) = delete;
    GLFramebuffer& operator=(const GLFramebuffer&) = delete;

    // bits 16: RGB565 colour, otherwise RGBA8. Returns false with error set on failure.
    // The colour texture is left bound to the active texture unit.
    bool Create(int width, int height, int bits, std::string& error);

    GLuint GetFramebuffer() const { return framebuffer_; }
    GLuint GetColorTexture() const { return color_; }
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    int GetBits() const { return bits_; }

private:
    void Destroy();

    GLuint framebuffer_ = 0;
    GLuint color_ = 0;
    GLuint depth_ = 0;
    int width_ = 0;
    int height_ = 0;
    int bits_ = 32;
};
