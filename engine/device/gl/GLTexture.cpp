// Texture upload in the device's formats, render targets and CPU locks of the OpenGL device.
#include "engine/device/gl/GLTexture.h"
#include "engine/core/Fatal.h"
#include "engine/device/gl/GLDevice.h"

GLMapResource::~GLMapResource()
{
    if (texture != 0) glDeleteTextures(1, &texture);
}

GLTexture::GLTexture(GLDevice* device) : Texture(device), gl_(device)
{
}

GLTexture::~GLTexture()
{
    // Pending draws may still sample this texture; stages must not keep it.
    gl_->SendCommandsSampling(GetGLTexture());
    gl_->ForgetTexture(this);
}

GLuint GLTexture::GetGLTexture() const
{
    if (target_) return target_->GetColorTexture();
    auto* resource = static_cast<const GLMapResource*>(GetResource());
    return resource != nullptr ? resource->texture : 0;
}

TextureFormat GLTexture::GetFormat() const
{
    if (target_) return target_->GetBits() == 16 ? TextureFormat::RGB565 : TextureFormat::XRGB32;
    auto* resource = static_cast<const GLMapResource*>(GetResource());
    return resource != nullptr ? resource->format : TextureFormat::XRGB32;
}

void GLTexture::Upload(const void* pixels, const uint32_t* alpha)
{
    if (pixels == nullptr) {
        // Another texture already made this key: share it. Pending draws keep the image
        // they were given (which the adoption may free).
        gl_->SendCommandsSampling(GetGLTexture());
        AdoptCached();
        return;
    }
    if (!gl_->IsInitialised()) ReportFatal("Error initialising Texture surface.\n[%s]", "device not initialised");
    gl_->SendCommandsSampling(GetGLTexture());
    DisplayFormat display = gl_->GetDisplayFormat();
    uint32_t count = width_ * height_;
    TextureFormat format = DisplayTextureFormat(display);
    const void* data = pixels;
    std::vector<uint8_t> converted;
    if (alpha != nullptr) {
        if (!ConvertForUpload(pixels, alpha, count, display, alphaMode_, format, converted))
            ReportFatal("Could not find any matching texture format.");
        data = converted.data();
    }
    const TextureFormatInfo& info = GetTextureFormatInfo(format);
    auto resource = std::make_unique<GLMapResource>();
    resource->format = format;
    resource->width = width_;
    resource->height = height_;
    std::vector<uint8_t> reordered;
    data = PixelsForUpload(format, data, count, reordered);
    ++gl_->contentWrites_;
    GLTakeError();
    glGenTextures(1, &resource->texture);
    gl_->state_.BindForUpdate(resource->texture);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(info.internalFormat), static_cast<GLsizei>(width_),
                 static_cast<GLsizei>(height_), 0, info.dataFormat, info.dataType, data);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    if (info.forceOpaque) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_A, GL_ONE);
    GLenum error = GLTakeError();
    if (error != GL_NO_ERROR) ReportFatal("Error initialising Texture surface.\n[%s]", GLErrorText(error));
    RegisterResource(std::move(resource));
}

void GLTexture::CreateRenderTarget(int edge)
{
    if (!gl_->IsInitialised()) ReportFatal("Error initialising Texture surface.[%s]", "device not initialised");
    // A previous target's texture goes; pending draws may still sample it.
    gl_->SendCommandsSampling(GetGLTexture());
    if (edge <= 0) ReportFatal("Error initialising Texture surface.[%s]", "invalid size");
    auto target = std::make_unique<GLFramebuffer>();
    std::string error;
    if (!target->Create(edge, edge, gl_->GetBitsPerPixel(), error))
        ReportFatal("Error initialising Texture surface.[%s]", error.c_str());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    // Pixels start at 0; the hidden alpha channel reads as opaque.
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_TRUE);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ++gl_->contentWrites_;
    gl_->state_.Invalidate();
    gl_->BindTarget();
    width_ = height_ = static_cast<uint32_t>(edge);
    target_ = std::move(target);
}

void* GLTexture::Lock(int& pitch)
{
    GLuint texture = GetGLTexture();
    if (texture == 0) {
        pitch = 0;
        return nullptr;
    }
    gl_->FlushBatch();
    const TextureFormatInfo& info = GetTextureFormatInfo(GetFormat());
    pitch = static_cast<int>(width_) * BytesPerPixel(GetFormat());
    locked_.assign(static_cast<size_t>(pitch) * height_, 0);
    gl_->state_.BindForUpdate(texture);
#ifdef STARFALL_WEB
    (void)info;
    if (!GLWebReadTexture(texture, GetFormat(), static_cast<int>(width_), static_cast<int>(height_), locked_))
        ReportFatal("Error locking Texture surface.\n[%s]", "framebuffer incomplete");
    gl_->state_.Invalidate();
    gl_->BindTarget();
#else
    glGetTexImage(GL_TEXTURE_2D, 0, info.dataFormat, info.dataType, locked_.data());
#endif
    GL_CHECK("texture lock");
    // XRGB32 pixels carry 0 in their free byte, whatever GL keeps there.
    if (GetFormat() == TextureFormat::XRGB32)
        for (size_t i = 3; i < locked_.size(); i += 4) locked_[i] = 0;
    // Kept so an Unlock that hands back the same pixels needs no upload.
    readBack_ = locked_;
    readFrom_ = texture;
    readAt_ = gl_->contentWrites_;
    isLocked_ = true;
    return locked_.data();
}

void GLTexture::Unlock()
{
    if (!isLocked_) return;
    isLocked_ = false;
    GLuint texture = GetGLTexture();
    // Nothing was written anywhere since the read and the caller changed no byte: the texture
    // still holds these pixels (the free byte of XRGB32 is never sampled or drawn).
    const bool unchanged = texture == readFrom_ && gl_->contentWrites_ == readAt_ && locked_ == readBack_;
    if (unchanged && gl_->skipRepeats_) {
        ++gl_->writeBacksSkipped_;
    } else if (texture != 0) {
        gl_->SendCommandsSampling(texture);
        ++gl_->contentWrites_;
        const TextureFormatInfo& info = GetTextureFormatInfo(GetFormat());
        // A render target's hidden alpha must stay opaque (destination alpha reads 1.0).
        if (GetFormat() == TextureFormat::XRGB32)
            for (size_t i = 3; i < locked_.size(); i += 4) locked_[i] = 0xFF;
        std::vector<uint8_t> reordered;
        const void* data = PixelsForUpload(GetFormat(), locked_.data(), static_cast<size_t>(width_) * height_, reordered);
        gl_->state_.BindForUpdate(texture);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_),
                        info.dataFormat, info.dataType, data);
        GL_CHECK("texture unlock");
    }
    locked_.clear();
    locked_.shrink_to_fit();
    readBack_.clear();
    readBack_.shrink_to_fit();
}
