// Surface: a 2D image in the display format, copied to the back buffer (fonts, overlays).
#pragma once
#include <cstdint>
#include "engine/core/LibObject.h"

class RenderDevice;

class Surface : public LibObject {
public:
    explicit Surface(RenderDevice* device);
    ~Surface() override = default;
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    // Makes a width x height surface (unless existing) whose transparent key colour is
    // black (pixel value 0). Implementations call Surface::Create first to record the size.
    virtual bool Create(int width, int height, bool existing, bool videoMemory);
    // target nullptr: copies the whole surface to the back buffer at (x, y) in pixels,
    // unscaled, skipping pixels of value 0 when keyed. With a target and x == -1: stretches
    // the whole surface over the whole target, unkeyed. Anything else draws nothing.
    virtual void Draw(Surface* target, int x, int y, bool keyed) = 0;
    // Pixels in the display format and the row pitch in bytes; nullptr on failure.
    virtual void* Lock(int& pitch) = 0;
    virtual void Unlock() = 0;

    // Reads a PNG file into a new surface of its size, in the display format.
    void LoadFromFile(const char* fileName);

    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    // The display depth the pixels are kept in (16 or 32).
    int GetBitsPerPixel() const { return bitsPerPixel_; }
    RenderDevice* GetDevice() const { return device_; }

protected:
    RenderDevice* device_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 32;
};
