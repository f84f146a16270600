// Texture loading: colour and alpha images, the cache key, shrinking to the device's limit.
#include "engine/device/Texture.h"
#include <cstring>
#include <strings.h>
#include "engine/core/FilePath.h"
#include "engine/core/Image.h"
#include "engine/core/Log.h"
#include "engine/core/MapCache.h"
#include "engine/device/RenderDevice.h"

Texture::Texture(RenderDevice* device) : device_(device) {}

Texture::~Texture()
{
    if (holdsKey_ && device_)
        device_->GetMapCache().Release(heldKey_, resource_);
}

bool Texture::IsCached(const std::string& key)
{
    return device_->GetMapCache().Find(key) != nullptr;
}

MapResource* Texture::AdoptCached()
{
    MapCache& cache = device_->GetMapCache();
    const std::string key = GetKey();
    MapResource* resource = cache.Find(key);
    if (!resource)
        return nullptr;
    cache.AddReference(key);
    // The previous resource is given up only after the new use is counted, so re-loading
    // the same key never destroys what it is about to use.
    if (holdsKey_)
        cache.Release(heldKey_, resource_);
    heldKey_ = key;
    holdsKey_ = true;
    resource_ = resource;
    width_ = resource->width;
    height_ = resource->height;
    return resource;
}

MapResource* Texture::RegisterResource(std::unique_ptr<MapResource> resource)
{
    MapCache& cache = device_->GetMapCache();
    const std::string key = GetKey();
    MapResource* held = cache.Add(key, std::move(resource));
    if (holdsKey_)
        cache.Release(heldKey_, resource_);
    heldKey_ = key;
    holdsKey_ = true;
    resource_ = held;
    return held;
}

void Texture::SetAlphaMap(const char* fileName, int threshold)
{
    alphaName_ = StripDirectory(fileName);
    alphaThreshold_ = static_cast<uint8_t>(threshold);
    alphaMode_ = alphaThreshold_ == 255 ? 8 : 1;
}

void Texture::LoadAlphaMap()
{
    if (alphaName_.empty()) {
        alphaPixels_.clear();
        return;
    }
    uint32_t w = 0, h = 0;
    std::vector<uint8_t> bytes =
        LoadGFX(alphaName_.c_str(), ImageConversion::XRGB32, device_->GetDisplayFormat(), w, h);
    alphaWidth_ = w;
    alphaHeight_ = h;
    alphaPixels_.assign(static_cast<size_t>(w) * h, 0);
    std::memcpy(alphaPixels_.data(), bytes.data(), alphaPixels_.size() * 4);
    if (alphaThreshold_ == 255) {
        alphaMode_ = 8;
    } else {
        alphaMode_ = 1;
        for (uint32_t& v : alphaPixels_)
            v = (v & 0xFF) <= alphaThreshold_ ? 0xFFFFFFFFu : 0u;
    }
    LogLine("Loaded [ %s ] map. (%dx%dx%d)", alphaName_.c_str(), static_cast<int>(w), static_cast<int>(h),
            device_->GetBitsPerPixel());
}

bool Texture::Load(const char* fileName, bool mipmap)
{
    name_ = StripDirectory(fileName);
    if (IsCached(GetKey())) {
        alphaPixels_.clear();
        Upload(nullptr, nullptr);
        LogLine("Cached [ %s ] map.", name_.c_str());
        LogLine("Cached [ %s ] map.", alphaName_.c_str());
        return true;
    }

    LoadAlphaMap();
    mipmap_ = mipmap;
    const DisplayFormat display = device_->GetDisplayFormat();
    std::vector<uint8_t> pixels = LoadGFX(fileName, ImageConversion::ForDisplay, display, width_, height_);

    const uint32_t count = width_ * height_;
    const int bytesPerPixel = count ? static_cast<int>(pixels.size() / count) : 0;
    const int maxSize = device_->GetMaxTextureSize();
    if (maxSize > 0 && bytesPerPixel > 0 &&
        (width_ > static_cast<uint32_t>(maxSize) || height_ > static_cast<uint32_t>(maxSize))) {
        const uint32_t m = static_cast<uint32_t>(maxSize);
        pixels = ResampleNearest(pixels.data(), width_, height_, m, m, bytesPerPixel);
        width_ = m;
        height_ = m;
    }
    // Always brought to the colour map's size, so an alpha map of another size cannot
    // make the upload read past its end.
    if (!alphaPixels_.empty()) {
        std::vector<uint8_t> resized =
            ResampleNearest(reinterpret_cast<const uint8_t*>(alphaPixels_.data()), alphaWidth_, alphaHeight_,
                            width_, height_, 4);
        alphaPixels_.assign(static_cast<size_t>(width_) * height_, 0);
        std::memcpy(alphaPixels_.data(), resized.data(), resized.size());
        alphaWidth_ = width_;
        alphaHeight_ = height_;
    }

    Upload(pixels.data(), alphaPixels_.empty() ? nullptr : alphaPixels_.data());
    std::vector<uint8_t>().swap(pixels);
    std::vector<uint32_t>().swap(alphaPixels_);
    LogLine("Loaded [ %s ] map. (%dx%dx%d)", name_.c_str(), static_cast<int>(width_), static_cast<int>(height_),
            device_->GetBitsPerPixel());
    return true;
}

size_t ForgetCachedImage(RenderDevice& device, const std::string& fileName)
{
    const std::string bare = StripDirectory(fileName.c_str());
    if (bare.empty())
        return 0;
    // Keys are the colour name followed by the alpha name without a separator, so a key
    // that merely starts or ends with the name is dropped too: loading it again is harmless.
    return device.GetMapCache().Retire([&bare](const std::string& key) {
        if (key.size() < bare.size())
            return false;
        return strncasecmp(key.c_str(), bare.c_str(), bare.size()) == 0 ||
               strcasecmp(key.c_str() + key.size() - bare.size(), bare.c_str()) == 0;
    });
}
