// Creation of the off-screen framebuffers used as back buffer and render targets.
#include "engine/device/gl/GLFramebuffer.h"
#include "engine/device/gl/GLTextureFormat.h"

GLFramebuffer::~GLFramebuffer()
{
    Destroy();
}

void GLFramebuffer::Destroy()
{
    if (framebuffer_ != 0) glDeleteFramebuffers(1, &framebuffer_);
    if (color_ != 0) glDeleteTextures(1, &color_);
    if (depth_ != 0) glDeleteRenderbuffers(1, &depth_);
    framebuffer_ = color_ = depth_ = 0;
}

bool GLFramebuffer::Create(int width, int height, int bits, std::string& error)
{
    Destroy();
    width_ = width;
    height_ = height;
    bits_ = bits == 16 ? 16 : 32;
    GLTakeError();

    glGenTextures(1, &color_);
    glBindTexture(GL_TEXTURE_2D, color_);
    if (bits_ == 16) glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB565, width, height, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, nullptr);
    else {
        const TextureFormatInfo& info = GetTextureFormatInfo(TextureFormat::ARGB32);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, info.dataFormat, info.dataType, nullptr);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);

    glGenRenderbuffers(1, &depth_);
    glBindRenderbuffer(GL_RENDERBUFFER, depth_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, width, height);

    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color_, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);

    GLenum glError = GLTakeError();
    GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (glError != GL_NO_ERROR) {
        error = GLErrorText(glError);
        return false;
    }
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        error = "Framebuffer incomplete (status 0x" + std::to_string(status) + ")";
        return false;
    }
    return true;
}
