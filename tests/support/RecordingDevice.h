// RecordingDevice: a display-less RenderDevice for tests that records every call as plain data.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>
#include "engine/core/MapCache.h"
#include "engine/device/RenderDevice.h"
#include "engine/device/Surface.h"
#include "engine/device/Texture.h"
#include "engine/device/VertexBuffer.h"

// One call made on the device or one of its companions.
struct RecordedCall {
    std::string name;           // the operation, e.g. "SetColorOp", "Draw", "Surface::Draw"
    std::vector<double> args;   // numeric arguments in order (enumerations as ints, bools as 0/1)
    const void* object = nullptr;  // texture, surface or buffer involved (or the companion called)
    Matrix4 matrix;             // SetProjection / SetView / SetWorld
    MaterialRecord material;    // SetMaterial
    LightRecord light;          // SetLight
    std::vector<Vertex> vertices;   // Draw, DrawIndexed, VertexBuffer::Draw
    std::vector<uint16_t> indices;  // DrawIndexed, VertexBuffer::Draw

    double Arg(size_t i) const { return i < args.size() ? args[i] : 0.0; }
    int IntArg(size_t i) const { return static_cast<int>(Arg(i)); }
};

// What the texture format of an upload became.
enum class UploadFormat { Display, ARGB4444, ARGB32, RenderTarget };

// The pixels a recording texture holds (shared through the MapCache like a device texture).
class RecordingResource : public MapResource {
public:
    UploadFormat format = UploadFormat::Display;
    int bytesPerPixel = 4;
    std::vector<uint8_t> pixels;  // width * height * bytesPerPixel
};

class RecordingDevice;

class RecordingTexture : public Texture {
public:
    struct UploadRecord {
        bool adopted = false;        // took the cached resource instead of pixels
        uint32_t width = 0, height = 0;
        bool hadAlpha = false;
        UploadFormat format = UploadFormat::Display;
    };

    explicit RecordingTexture(RecordingDevice* device);
    ~RecordingTexture() override;
    void CreateRenderTarget(int edge) override;
    void* Lock(int& pitch) override;
    void Unlock() override;
    void Upload(const void* pixels, const uint32_t* alpha) override;

    // The pixels in use (the shared resource's, or the render target's).
    RecordingResource* GetPixels() const;
    std::vector<UploadRecord> uploads;
    bool isRenderTarget = false;
    bool locked = false;

private:
    RecordingDevice* recorder_;
    RecordingResource renderTarget_;
};

class RecordingSurface : public Surface {
public:
    explicit RecordingSurface(RecordingDevice* device);
    ~RecordingSurface() override;
    bool Create(int width, int height, bool existing, bool videoMemory) override;
    // Records the call and, with no target, copies into the device's back buffer.
    void Draw(Surface* target, int x, int y, bool keyed) override;
    void* Lock(int& pitch) override;
    void Unlock() override;

    std::vector<uint8_t> pixels;  // width * height * bytes per pixel

private:
    RecordingDevice* recorder_;
};

class RecordingVertexBuffer : public VertexBuffer {
public:
    explicit RecordingVertexBuffer(RecordingDevice* device);
    ~RecordingVertexBuffer() override;
    bool Create(bool writeOnly, int vertexCount, int indexCount) override;
    Vertex* Lock() override;
    void Unlock() override;
    void Draw() override;

    std::vector<Vertex> vertices;

private:
    RecordingDevice* recorder_;
};

class RecordingDevice : public RenderDevice {
public:
    // Offers one driver ("Recording Driver") with one device whose modes are 640x480,
    // 800x600 and 1024x768 at 16 and 32 bits. Not initialised: call Open or Init.
    RecordingDevice();
    ~RecordingDevice() override;

    // Selects the first driver and device and initialises at width x height x bits.
    // Call before loading images so the display depth applies.
    void Open(int width = 640, int height = 480, int bits = 32);

    // ---- Test controls (set before Open/Init where they concern Init) ----
    void SetMaxTextureSizeForTest(int size) { maxTextureSize_ = size; }
    void SetMinTextureSizeForTest(int size) { minTextureSize_ = size; }
    // 16-bit displays use 0xF800 (5-6-5) unless this gives 0x7C00 (5-5-5).
    void SetRedMaskForTest(uint32_t redMask) { forcedRedMask_ = redMask; }
    // The answer of the visibility tests for points on screen. The tests leave stage 0 and
    // the depth test as a device does (SelectArg1 of Diffuse, alpha off, depth on; a hidden
    // IsPointVisible puts colour argument 1 back to Texture).
    void SetPointsVisibleForTest(bool visible) { pointsVisible_ = visible; }

    // ---- The record ----
    std::vector<RecordedCall> calls;
    void ClearCalls() { calls.clear(); }
    int Count(const std::string& name) const;
    // The last call of that name, or nullptr.
    const RecordedCall* Last(const std::string& name) const;
    // Every call of that name, in order.
    std::vector<const RecordedCall*> All(const std::string& name) const;
    std::vector<std::string> Names() const;

    // ---- Current state, as the last calls left it ----
    struct Stage {
        Texture* texture = nullptr;
        ColorOp colorOp = ColorOp::Modulate;
        ColorArg colorArg1 = ColorArg::Texture;
        ColorArg colorArg2 = ColorArg::Diffuse;
        AlphaOp alphaOp = AlphaOp::Disable;
        AlphaArg alphaArg1 = AlphaArg::Texture;
        AlphaArg alphaArg2 = AlphaArg::Current;
    };
    Stage stages[2];  // as a device starts: stage 0's alpha op is SelectArg1, stage 1's Disable
    BlendFactor srcBlend = BlendFactor::One;
    BlendFactor destBlend = BlendFactor::One;
    bool alphaBlend = false;
    bool depthTest = true;
    CompareFunc depthFunc = CompareFunc::LessEqual;
    CullMode cullMode = CullMode::Clockwise;
    MaterialRecord material;
    uint32_t clearColor = 0xFF000000;
    uint32_t fogColor = 0xFF000000;
    FogMode fogMode = FogMode::Linear;
    float fogStart = 0, fogEnd = 0, fogDensity = 0;
    uint32_t ambient = 0;
    std::map<int, LightRecord> lights;  // range as stored (800 x the value given)
    std::map<int, bool> lightEnabled;
    Texture* renderTarget = nullptr;
    bool inScene = false;
    int liveTextures = 0, liveSurfaces = 0, liveVertexBuffers = 0;

    // The back buffer (width x height in the display depth) that surface copies land in.
    std::vector<uint8_t> backBuffer;
    // The pixel at (x, y) of the back buffer (16- or 32-bit value), 0 outside.
    uint32_t BackBufferPixel(int x, int y) const;

    // ---- RenderDevice ----
    bool Init(void* window, bool fullScreen, int width, int height, int bits) override;
    const char* GetDescription() override;
    bool Clear(int flags) override;
    void SetClearColor(float r, float g, float b, float a = 1.0f) override;
    void BeginScene() override;
    void EndScene() override;
    bool Present(int unused) override;
    void SetOrtho(float width, float height, float nearPlane, float farPlane) override;
    void SetProjection(const Matrix4& matrix) override;
    void SetView(const Matrix4& matrix) override;
    void SetWorld(const Matrix4& matrix) override;
    VertexBuffer* CreateVertexBuffer() override;
    void DestroyVertexBuffer(VertexBuffer* buffer) override;
    Texture* CreateTexture() override;
    void DestroyTexture(Texture* texture) override;
    Surface* CreateSurface() override;
    void DestroySurface(Surface* surface) override;
    void SetTexture(int stage, Texture* texture) override;
    void SetColorOp(int stage, ColorOp op) override;
    void SetColorArg1(int stage, ColorArg arg) override;
    void SetColorArg2(int stage, ColorArg arg) override;
    void SetAlphaOp(int stage, AlphaOp op) override;
    void SetAlphaArg1(int stage, AlphaArg arg) override;
    void SetAlphaArg2(int stage, AlphaArg arg) override;
    void BeginStateBlock() override;
    void EndStateBlock(uint32_t* handle) override;
    void ApplyStateBlock(uint32_t handle) override;
    void DeleteStateBlock(uint32_t handle) override;
    uint32_t ConvertColor(uint32_t argb) override;
    void SetSrcBlend(BlendFactor factor) override;
    void SetDestBlend(BlendFactor factor) override;
    void EnableAlphaBlend(bool enable) override;
    void EnableDepth(bool enable) override;
    void SetDepthFunc(CompareFunc func) override;
    void DrawIndexed(PrimitiveType type, const Vertex* vertices, int vertexCount, const uint16_t* indices,
                     int indexCount) override;
    void Draw(PrimitiveType type, const Vertex* vertices, int vertexCount) override;
    void SetCullMode(CullMode mode) override;
    void EnableLighting(bool enable) override;
    void SetMaterial(const MaterialRecord& material) override;
    void EnableFog(bool enable) override;
    void SetFogColor(float r, float g, float b) override;
    void SetFog(FogMode mode, float start, float end, float density) override;
    bool IsPointVisible(float x, float y, float z) override;
    void ArePointsVisible(TransformedVertex* points, uint32_t* results, int count) override;
    void SetRenderTarget(Texture* texture) override;
    void GetLight(int index, LightRecord& light) override;
    void SetLight(int index, const LightRecord& light) override;
    bool EnableLight(int index, bool enable) override;
    void SetAmbient(float r, float g, float b) override;
    bool DrawTestPattern() override;

    // Used by the companions.
    RecordedCall& Record(const std::string& name, std::vector<double> args = {}, const void* object = nullptr);

private:
    uint32_t forcedRedMask_ = 0;
    bool pointsVisible_ = true;
};
