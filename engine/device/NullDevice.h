// NullDevice: a RenderDevice without a display or a GPU that accepts every call and draws nothing.
//
// For programs that load a production without showing it (checking a script, listing the
// layer stack at a time): images, fonts and scenes load as on a real device, because the
// companions keep their data in memory. Textures hold their pixels converted as a device
// would store them, surfaces their pixels, vertex buffers their vertices, so a Lock always
// hands out memory of the size that was asked for. Draws, clears and presents do nothing.
#pragma once
#include <cstdint>
#include <vector>
#include "engine/core/MapCache.h"
#include "engine/device/RenderDevice.h"
#include "engine/device/Surface.h"
#include "engine/device/Texture.h"
#include "engine/device/TextureFormat.h"
#include "engine/device/VertexBuffer.h"

// The pixels of a null texture, shared through the MapCache like a device texture.
class NullResource : public MapResource {
public:
    TextureFormat format = TextureFormat::XRGB32;
    int bytesPerPixel = 4;
    std::vector<uint8_t> pixels;  // width * height * bytesPerPixel
};

class NullTexture : public Texture {
public:
    explicit NullTexture(RenderDevice* device);
    // An edge x edge XRGB32 render target, cleared to 0.
    void CreateRenderTarget(int edge) override;
    // The pixels in use, pitch width * bytes per pixel; nullptr before any upload or target.
    void* Lock(int& pitch) override;
    void Unlock() override;
    // Converts as ConvertForUpload does and shares the result through the MapCache.
    void Upload(const void* pixels, const uint32_t* alpha) override;

    // The pixels in use (the shared resource's, or the render target's); nullptr before either.
    NullResource* GetPixels() const;
    bool IsRenderTarget() const { return isRenderTarget_; }

private:
    bool isRenderTarget_ = false;
    NullResource renderTarget_;
};

class NullSurface : public Surface {
public:
    explicit NullSurface(RenderDevice* device);
    // Negative sizes are refused (false); otherwise the pixels are width x height in the
    // display depth, cleared to 0.
    bool Create(int width, int height, bool existing, bool videoMemory) override;
    // Draws nothing.
    void Draw(Surface* target, int x, int y, bool keyed) override;
    // nullptr for an empty surface.
    void* Lock(int& pitch) override;
    void Unlock() override;

protected:
    std::vector<uint8_t> pixels_;
};

class NullVertexBuffer : public VertexBuffer {
public:
    explicit NullVertexBuffer(RenderDevice* device);
    // Room for vertexCount vertices, zeroed.
    bool Create(bool writeOnly, int vertexCount, int indexCount) override;
    // nullptr for an empty buffer.
    Vertex* Lock() override;
    void Unlock() override;
    // Draws nothing.
    void Draw() override;

protected:
    std::vector<Vertex> vertices_;
};

class NullDevice : public RenderDevice {
public:
    // Offers one driver with one device whose modes are 640x480, 800x600 and 1024x768 at
    // 16 and 32 bits. Not initialised: call Open or Init. Usable for image work before
    // Init as a width x height x 32 display.
    explicit NullDevice(int width = 640, int height = 480);
    ~NullDevice() override;

    // Selects the first driver and device and initialises at width x height x bits.
    // Call before loading images so the display depth applies.
    void Open(int width = 640, int height = 480, int bits = 32);
    // The largest texture edge reported, so a check can hold files to a real card's limit.
    void SetMaxTextureSize(int edge) { maxTextureSize_ = edge; }

    // Missing selections are fatal as on any device; width 0 takes the selected mode.
    // 16 bits lay pixels out as 5-6-5, 32 bits as XRGB.
    bool Init(void* window, bool fullScreen, int width, int height, int bits) override;
    const char* GetDescription() override;
    bool Clear(int flags) override;
    void SetClearColor(float r, float g, float b, float a = 1.0f) override;
    void BeginScene() override;
    void EndScene() override;
    bool Present(int unused) override;
    void SetOrtho(float width, float height, float nearPlane, float farPlane) override;
    VertexBuffer* CreateVertexBuffer() override;
    void DestroyVertexBuffer(VertexBuffer* buffer) override;
    Texture* CreateTexture() override;
    void DestroyTexture(Texture* texture) override;
    Surface* CreateSurface() override;
    void DestroySurface(Surface* surface) override;
    uint32_t ConvertColor(uint32_t argb) override;  // unchanged
    void DrawIndexed(PrimitiveType type, const Vertex* vertices, int vertexCount, const uint16_t* indices,
                     int indexCount) override;
    void Draw(PrimitiveType type, const Vertex* vertices, int vertexCount) override;
    // Nothing is drawn, so nothing hides a point: a point on screen is visible. The tests
    // leave stage 0 and the depth test as a device does (SelectArg1 of Diffuse, alpha off,
    // depth on).
    bool IsPointVisible(float x, float y, float z) override;
    void ArePointsVisible(TransformedVertex* points, uint32_t* results, int count) override;
    void SetRenderTarget(Texture* texture) override;
    bool DrawTestPattern() override;

protected:
    // What the visibility tests answer for points on screen.
    bool pointsVisible_ = true;
    // The red mask of 16-bit displays: 0xF800 (5-6-5) or 0x7C00 (5-5-5).
    uint32_t redMask16_ = 0xF800;
};
