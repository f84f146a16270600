// Surface of the OpenGL device: CPU pixels in the display format plus a texture for copies (internal).
#pragma once
#include <vector>
#include "engine/device/Surface.h"
#include "engine/device/gl/GLError.h"

class GLDevice;

class GLSurface : public Surface {
public:
    explicit GLSurface(GLDevice* device);
    ~GLSurface() override;

    bool Create(int width, int height, bool existing, bool videoMemory) override;
    void Draw(Surface* target, int x, int y, bool keyed) override;
    void* Lock(int& pitch) override;
    void Unlock() override;

    int GetPitch() const { return width_ * BytesPerPixel(); }
    int BytesPerPixel() const { return bitsPerPixel_ == 16 ? 2 : 4; }

private:
    // Brings the texture in line with the pixels after a change.
    void Refresh();

    GLDevice* gl_ = nullptr;
    std::vector<uint8_t> pixels_;
    GLuint texture_ = 0;
    bool dirty_ = true;
};
