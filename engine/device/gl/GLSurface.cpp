// 2D surfaces of the OpenGL device: pixel copies to the back buffer and stretched copies between surfaces.
#include "engine/device/gl/GLSurface.h"
#include "engine/device/gl/GLDevice.h"
#include "engine/device/gl/GLTextureFormat.h"

GLSurface::GLSurface(GLDevice* device) : Surface(device), gl_(device)
{
    bitsPerPixel_ = device->GetBitsPerPixel() == 16 ? 16 : 32;
}

GLSurface::~GLSurface()
{
    if (texture_ != 0) {
        gl_->FlushBatch();
        glDeleteTextures(1, &texture_);
        gl_->state_.ForgetBindings();
    }
}

bool GLSurface::Create(int width, int height, bool existing, bool videoMemory)
{
    if (width < 0 || height < 0) return false;
    Surface::Create(width, height, existing, videoMemory);
    bitsPerPixel_ = gl_->GetBitsPerPixel() == 16 ? 16 : 32;
    pixels_.assign(static_cast<size_t>(width_) * height_ * BytesPerPixel(), 0);
    dirty_ = true;
    return true;
}

void* GLSurface::Lock(int& pitch)
{
    pitch = GetPitch();
    return pixels_.empty() ? nullptr : pixels_.data();
}

void GLSurface::Unlock()
{
    dirty_ = true;
}

void GLSurface::Refresh()
{
    if (!dirty_ || pixels_.empty()) return;
    gl_->FlushBatch();
    if (texture_ == 0) glGenTextures(1, &texture_);
    gl_->state_.BindForUpdate(texture_);
    if (bitsPerPixel_ == 16)
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB565, width_, height_, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, pixels_.data());
    else {
        const TextureFormatInfo& info = GetTextureFormatInfo(TextureFormat::XRGB32);
        std::vector<uint8_t> reordered;
        const void* data = PixelsForUpload(TextureFormat::XRGB32, pixels_.data(),
                                           static_cast<size_t>(width_) * height_, reordered);
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(info.internalFormat), width_, height_, 0, info.dataFormat,
                     info.dataType, data);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    GL_CHECK("surface upload");
    dirty_ = false;
}

void GLSurface::Draw(Surface* target, int x, int y, bool keyed)
{
    if (target == nullptr) {
        if (!gl_->IsInitialised() || pixels_.empty()) return;
        Refresh();
        gl_->BlitSurface(texture_, width_, height_, x, y, keyed);
        return;
    }
    if (x != -1) return;
    // Stretched over the whole target, nearest pixel, unkeyed.
    auto* other = static_cast<GLSurface*>(target);
    if (other->pixels_.empty() || pixels_.empty() || other->BytesPerPixel() != BytesPerPixel()) return;
    int bytes = BytesPerPixel();
    for (int row = 0; row < other->height_; ++row) {
        int sourceRow = static_cast<int>(static_cast<int64_t>(row) * height_ / other->height_);
        for (int column = 0; column < other->width_; ++column) {
            int sourceColumn = static_cast<int>(static_cast<int64_t>(column) * width_ / other->width_);
            const uint8_t* from = &pixels_[(static_cast<size_t>(sourceRow) * width_ + sourceColumn) * bytes];
            uint8_t* to = &other->pixels_[(static_cast<size_t>(row) * other->width_ + column) * bytes];
            std::copy(from, from + bytes, to);
        }
    }
    other->dirty_ = true;
}
