// Texture of the OpenGL device: a GL texture shared through the MapCache, or a render target (internal).
#pragma once
#include <memory>
#include <vector>
#include "engine/core/MapCache.h"
#include "engine/device/Texture.h"
#include "engine/device/gl/GLFramebuffer.h"
#include "engine/device/gl/GLTextureFormat.h"

class GLDevice;

// What the MapCache shares: one GL texture in one format.
class GLMapResource : public MapResource {
public:
    ~GLMapResource() override;
    GLuint texture = 0;
    TextureFormat format = TextureFormat::XRGB32;
};

class GLTexture : public Texture {
public:
    explicit GLTexture(GLDevice* device);
    ~GLTexture() override;

    void CreateRenderTarget(int edge) override;
    void* Lock(int& pitch) override;
    void Unlock() override;
    void Upload(const void* pixels, const uint32_t* alpha) override;

    // The GL texture to sample (0 before Upload or CreateRenderTarget).
    GLuint GetGLTexture() const;
    // The framebuffer when this is a render target.
    const GLFramebuffer* GetFramebuffer() const { return target_.get(); }
    TextureFormat GetFormat() const;

private:
    GLDevice* gl_ = nullptr;
    std::unique_ptr<GLFramebuffer> target_;
    std::vector<uint8_t> locked_;
    // What Lock read, from which GL texture, after how many of the device's writes.
    std::vector<uint8_t> readBack_;
    GLuint readFrom_ = 0;
    uint64_t readAt_ = 0;
    bool isLocked_ = false;
};
