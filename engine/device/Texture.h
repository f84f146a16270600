// Texture: a device texture made from a colour image and an optional alpha image, shared through the MapCache.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "engine/core/LibObject.h"

class RenderDevice;
class MapResource;

class Texture : public LibObject {
public:
    explicit Texture(RenderDevice* device);
    // Releases the texture's key in the device's MapCache when it holds one; the
    // last user's release destroys the shared resource.
    ~Texture() override;
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // An empty edge x edge texture that can be drawn into, with its own depth buffer, cleared to 0.
    virtual void CreateRenderTarget(int edge) = 0;
    // Pixels of the texture (first pixel) and the row pitch in bytes; nullptr on failure.
    virtual void* Lock(int& pitch) = 0;
    virtual void Unlock() = 0;
    // pixels: width x height in the display format (16 or 32 bits), alpha: XRGB32 values of
    // the same size or nullptr. With pixels nullptr the texture adopts the resource the
    // MapCache holds under its key (one more use). Otherwise converts (see Image.h),
    // creates the resource and adds it to the MapCache under the key.
    virtual void Upload(const void* pixels, const uint32_t* alpha) = 0;
    // Whether the device's MapCache holds key.
    virtual bool IsCached(const std::string& key);

    // Names the alpha image (directory part dropped). threshold 255: eight-bit alpha from
    // the alpha image's blue byte; anything else: one-bit mask, opaque where blue <= threshold.
    void SetAlphaMap(const char* fileName, int threshold);
    // Loads the colour (and alpha) image, shrinks it to the device's maximum texture size
    // and uploads it; a key already cached is shared without reading any file. True.
    bool Load(const char* fileName, bool mipmap);
    // Loads the alpha image named by SetAlphaMap into alphaPixels_ (none when no name).
    void LoadAlphaMap();

    // name + alpha name, no separator: the MapCache key.
    std::string GetKey() const { return name_ + alphaName_; }
    uint32_t GetWidth() const { return width_; }
    uint32_t GetHeight() const { return height_; }
    const std::string& GetName() const { return name_; }
    const std::string& GetAlphaName() const { return alphaName_; }
    int GetAlphaMode() const { return alphaMode_; }
    int GetAlphaThreshold() const { return alphaThreshold_; }
    bool GetMipmap() const { return mipmap_; }
    RenderDevice* GetDevice() const { return device_; }
    const std::vector<uint32_t>& GetAlphaPixels() const { return alphaPixels_; }
    uint32_t GetAlphaWidth() const { return alphaWidth_; }
    uint32_t GetAlphaHeight() const { return alphaHeight_; }

protected:
    // For Upload implementations. Adopts the cached resource under the key (one more
    // use, width and height taken from it); nullptr when the key is not cached.
    MapResource* AdoptCached();
    // Adds a freshly made resource under the key; the cache owns it from now on.
    MapResource* RegisterResource(std::unique_ptr<MapResource> resource);
    // The shared resource this texture uses (nullptr before Upload).
    MapResource* GetResource() const { return resource_; }

    uint32_t width_ = 0;
    uint32_t height_ = 0;
    bool mipmap_ = false;
    std::string name_;
    std::string alphaName_;
    int alphaMode_ = 1;  // 1 = one-bit mask, 8 = eight-bit alpha
    RenderDevice* device_ = nullptr;
    std::vector<uint32_t> alphaPixels_;  // XRGB32, only while loading
    uint32_t alphaWidth_ = 0;
    uint32_t alphaHeight_ = 0;
    uint8_t alphaThreshold_ = 0;

private:
    MapResource* resource_ = nullptr;
    std::string heldKey_;
    bool holdsKey_ = false;
};

// An image file changed on disk: every resource of the device's MapCache made from it, as
// colour or alpha image, leaves the lookup (the keys that begin or end with its bare name,
// in any case), so the next Load reads the file again. Returns how many left.
size_t ForgetCachedImage(RenderDevice& device, const std::string& fileName);
