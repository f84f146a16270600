// RecordingDevice: a display-less RenderDevice for tests that records every call as typed data.
//
// Every call on the device or one of its companions (textures, surfaces, vertex buffers)
// appends a RecordedCall: the operation (an Op), the object involved and the arguments as
// one typed struct. Look calls up by operation and read their arguments by type:
//
//     device.Count(Op::Draw);                              // how many
//     const RecordedCall* draw = device.Last(Op::Draw);    // the last one, or nullptr
//     draw->Draw().vertices;                               // a DrawRecord (Draw, DrawIndexed, VertexBufferDraw)
//     device.Last(Op::SetSrcBlend)->As<BlendFactor>();     // any other argument type
//     for (const RecordedCall* c : device.All(Op::SetTexture)) c->As<StageArgs>().texture;
//
// As<T>() throws when the call carries another argument type (the table below says which
// operation carries what), so a wrong guess fails the test instead of reading zeros.
// The state the calls left (stages, blending, lights...) is the device's own GetState(),
// also readable under the names below. It is the engine's null device underneath, which
// keeps CPU pixels for textures (converted by the engine's own upload rule) and surfaces;
// the recording device adds a back buffer that clears and surface copies land in.
#pragma once
#include <cstdint>
#include <ostream>
#include <variant>
#include <vector>
#include "engine/device/NullDevice.h"

// The recorded operations. Companion operations are prefixed with their class.
enum class Op {
    Init, Clear, SetClearColor, BeginScene, EndScene, Present, SetOrtho, SetProjection, SetView, SetWorld,
    CreateVertexBuffer, DestroyVertexBuffer, CreateTexture, DestroyTexture, CreateSurface, DestroySurface,
    SetTexture, SetColorOp, SetColorArg1, SetColorArg2, SetAlphaOp, SetAlphaArg1, SetAlphaArg2,
    BeginStateBlock, EndStateBlock, ApplyStateBlock, DeleteStateBlock, SetSrcBlend, SetDestBlend,
    EnableAlphaBlend, EnableDepth, SetDepthFunc, Draw, DrawIndexed, SetCullMode, EnableLighting, SetMaterial,
    EnableFog, SetFogColor, SetFog, IsPointVisible, ArePointsVisible, SetRenderTarget, GetLight, SetLight,
    EnableLight, SetAmbient, DrawTestPattern,
    TextureCreateRenderTarget, TextureLock, TextureUnlock, TextureUpload,
    SurfaceCreate, SurfaceDraw, VertexBufferCreate, VertexBufferDraw,
    ReadBackBuffer,
};
// The operation's name as the interface spells it ("SetColorOp", "Surface::Draw"); also
// how test failures print it.
const char* OpName(Op op);
std::ostream& operator<<(std::ostream& out, Op op);

// ---- Argument types (the operations that carry each) ----

// Init
struct InitArgs {
    const void* window = nullptr;
    bool fullScreen = false;
    int width = 0, height = 0, bits = 0;
    bool operator==(const InitArgs&) const = default;
};
// Clear: the flags passed and whether the colour buffer was cleared.
struct ClearArgs {
    int flags = 0;
    bool colour = false;
    bool operator==(const ClearArgs&) const = default;
};
// SetClearColor, SetFogColor, SetAmbient (a = 1 but for SetClearColor)
struct ColorArgs {
    float r = 0, g = 0, b = 0, a = 1;
    bool operator==(const ColorArgs&) const = default;
};
// SetOrtho
struct OrthoArgs {
    float width = 0, height = 0, nearPlane = 0, farPlane = 0;
    bool operator==(const OrthoArgs&) const = default;
};
// SetTexture (texture) and the six stage states (the field their name says; SetColorArg1
// and SetColorArg2 both fill colorArg, SetAlphaArg1/2 alphaArg).
struct StageArgs {
    int stage = 0;
    const Texture* texture = nullptr;
    ColorOp colorOp{};
    ColorArg colorArg{};
    AlphaOp alphaOp{};
    AlphaArg alphaArg{};
    bool operator==(const StageArgs&) const = default;
};
// EndStateBlock, ApplyStateBlock, DeleteStateBlock
struct StateBlockArgs {
    uint32_t handle = 0;
    bool operator==(const StateBlockArgs&) const = default;
};
// SetFog
struct FogArgs {
    FogMode mode{};
    float start = 0, end = 0, density = 0;
    bool operator==(const FogArgs&) const = default;
};
// IsPointVisible
struct PointArgs {
    float x = 0, y = 0, z = 0;
    bool visible = false;
    bool operator==(const PointArgs&) const = default;
};
// GetLight (index only), SetLight (light as given, before the range scale)
struct LightArgs {
    int index = 0;
    LightRecord light;
};
// EnableLight
struct LightSwitchArgs {
    int index = 0;
    bool enable = false;
    bool operator==(const LightSwitchArgs&) const = default;
};
// Draw, DrawIndexed, VertexBufferDraw: what was drawn (copies of the caller's arrays).
struct DrawRecord {
    PrimitiveType primitive = PrimitiveType::TriangleList;  // VertexBufferDraw: TriangleList
    int vertexCount = 0, indexCount = 0;
    std::vector<Vertex> vertices;
    std::vector<uint16_t> indices;
};
// TextureUpload: also kept per texture in RecordingTexture::uploads.
struct UploadArgs {
    bool adopted = false;        // took the cached resource instead of pixels
    uint32_t width = 0, height = 0;
    bool hadAlpha = false;
    TextureFormat format = TextureFormat::XRGB32;
    bool operator==(const UploadArgs&) const = default;
};
// SurfaceCreate
struct SurfaceCreateArgs {
    int width = 0, height = 0;
    bool existing = false, videoMemory = false;
    bool operator==(const SurfaceCreateArgs&) const = default;
};
// SurfaceDraw
struct SurfaceDrawArgs {
    int x = 0, y = 0;
    bool keyed = false;
    bool operator==(const SurfaceDrawArgs&) const = default;
};
// VertexBufferCreate
struct BufferCreateArgs {
    bool writeOnly = false;
    int vertexCount = 0, indexCount = 0;
    bool operator==(const BufferCreateArgs&) const = default;
};

// Operations without arguments carry std::monostate; the others:
//   bool: EnableAlphaBlend, EnableDepth, EnableLighting, EnableFog
//   int: Present (its argument), ArePointsVisible (count), TextureCreateRenderTarget (edge)
//   Matrix4: SetProjection, SetView, SetWorld          MaterialRecord: SetMaterial
//   BlendFactor: SetSrcBlend, SetDestBlend   CompareFunc: SetDepthFunc   CullMode: SetCullMode
using CallArgs = std::variant<std::monostate, bool, int, InitArgs, ClearArgs, ColorArgs, OrthoArgs, Matrix4,
                              StageArgs, StateBlockArgs, BlendFactor, CompareFunc, CullMode, MaterialRecord, FogArgs,
                              PointArgs, LightArgs, LightSwitchArgs, DrawRecord, UploadArgs, SurfaceCreateArgs,
                              SurfaceDrawArgs, BufferCreateArgs>;

// One call made on the device or one of its companions.
struct RecordedCall {
    Op op{};
    const void* object = nullptr;  // texture, surface or buffer involved (or the companion called)
    CallArgs args;

    // The arguments as T; throws std::bad_variant_access when the call carries another type.
    template <class T>
    const T& As() const { return std::get<T>(args); }
    const DrawRecord& Draw() const { return As<DrawRecord>(); }
    const std::vector<Vertex>& Vertices() const { return Draw().vertices; }
};

// The pixels a recording texture holds: the null device's own.
using RecordingResource = NullResource;

class RecordingDevice;

// The companions record their calls on top of the null device's, which keep the data.
class RecordingTexture : public NullTexture {
public:
    explicit RecordingTexture(RecordingDevice* device);
    void CreateRenderTarget(int edge) override;
    void* Lock(int& pitch) override;
    void Unlock() override;
    void Upload(const void* pixels, const uint32_t* alpha) override;

    std::vector<UploadArgs> uploads;
    bool locked = false;

private:
    RecordingDevice* recorder_;
};

class RecordingSurface : public NullSurface {
public:
    explicit RecordingSurface(RecordingDevice* device);
    bool Create(int width, int height, bool existing, bool videoMemory) override;
    // Records the call and, with no target, copies into the device's back buffer.
    void Draw(Surface* target, int x, int y, bool keyed) override;

private:
    RecordingDevice* recorder_;
};

class RecordingVertexBuffer : public NullVertexBuffer {
public:
    explicit RecordingVertexBuffer(RecordingDevice* device);
    bool Create(bool writeOnly, int vertexCount, int indexCount) override;
    void Draw() override;

    const std::vector<Vertex>& vertices = vertices_;

private:
    RecordingDevice* recorder_;
};

class RecordingDevice : public NullDevice {
public:
    // The null device's driver list (its driver described as "Display-less device for
    // tests") and size; the back buffer is width x height x 32 until Open or Init.
    explicit RecordingDevice(int width = 640, int height = 480);

    // ---- Test controls (set before Open/Init where they concern Init) ----
    void SetMaxTextureSizeForTest(int size) { maxTextureSize_ = size; }
    void SetMinTextureSizeForTest(int size) { minTextureSize_ = size; }
    // 16-bit displays use 0xF800 (5-6-5) unless this gives 0x7C00 (5-5-5).
    void SetRedMaskForTest(uint32_t redMask) { redMask16_ = redMask ? redMask : 0xF800; }
    // The answer of the visibility tests for points on screen. The tests leave stage 0 and
    // the depth test as a device does (SelectArg1 of Diffuse, alpha off, depth on; a hidden
    // IsPointVisible puts colour argument 1 back to Texture).
    void SetPointsVisibleForTest(bool visible) { pointsVisible_ = visible; }

    // ---- The record ----
    std::vector<RecordedCall> calls;
    void ClearCalls() { calls.clear(); }
    int Count(Op op) const;
    // The last call of that operation, or nullptr.
    const RecordedCall* Last(Op op) const;
    // Every call of that operation, in order.
    std::vector<const RecordedCall*> All(Op op) const;
    // The operations of every call, in order (from index `from` on).
    std::vector<Op> Ops(size_t from = 0) const;
    // The index of the first call of op at or after from; calls.size() when there is none.
    size_t Find(Op op, size_t from = 0) const;

    // ---- Current state, as the last calls left it (read-only views of GetState()) ----
    const StageState (&stages)[2] = drawState_.stages;
    const BlendFactor& srcBlend = drawState_.srcBlend;
    const BlendFactor& destBlend = drawState_.destBlend;
    const bool& alphaBlend = drawState_.alphaBlend;
    const bool& depthTest = drawState_.depthTest;
    const CompareFunc& depthFunc = drawState_.depthFunc;
    const CullMode& cullMode = drawState_.cullMode;
    const MaterialRecord& material = drawState_.material;
    const uint32_t& fogColor = drawState_.fogColor;
    const FogMode& fogMode = drawState_.fogMode;
    const float& fogStart = drawState_.fogStart;
    const float& fogEnd = drawState_.fogEnd;
    const float& fogDensity = drawState_.fogDensity;
    const uint32_t& ambient = drawState_.ambient;
    // Whether light index is on (false for a light never switched).
    bool IsLightOn(int index) const;
    uint32_t clearColor = 0xFF000000;
    Texture* renderTarget = nullptr;
    bool inScene = false;
    int liveTextures = 0, liveSurfaces = 0, liveVertexBuffers = 0;

    // The back buffer (width x height in the display depth) that surface copies land in.
    std::vector<uint8_t> backBuffer;
    // The pixel at (x, y) of the back buffer (16- or 32-bit value), 0 outside.
    uint32_t BackBufferPixel(int x, int y) const;

    // ---- RenderDevice: each call is recorded, then the null device's answer given ----
    bool Init(void* window, bool fullScreen, int width, int height, int bits) override;
    // Also clears the back buffer's colour when the colour is cleared.
    bool Clear(int flags) override;
    void SetClearColor(float r, float g, float b, float a = 1.0f) override;
    void BeginScene() override;
    void EndScene() override;
    bool Present(int unused) override;
    // The back buffer as RGB24 (16-bit pixels widened by repeating their top bits).
    std::vector<uint8_t> ReadBackBuffer() override;
    void SetOrtho(float width, float height, float nearPlane, float farPlane) override;
    VertexBuffer* CreateVertexBuffer() override;
    void DestroyVertexBuffer(VertexBuffer* buffer) override;
    Texture* CreateTexture() override;
    void DestroyTexture(Texture* texture) override;
    Surface* CreateSurface() override;
    void DestroySurface(Surface* surface) override;
    void BeginStateBlock() override;
    void EndStateBlock(uint32_t* handle) override;
    void ApplyStateBlock(uint32_t handle) override;
    void DeleteStateBlock(uint32_t handle) override;
    void DrawIndexed(PrimitiveType type, const Vertex* vertices, int vertexCount, const uint16_t* indices,
                     int indexCount) override;
    void Draw(PrimitiveType type, const Vertex* vertices, int vertexCount) override;
    bool IsPointVisible(float x, float y, float z) override;
    void ArePointsVisible(TransformedVertex* points, uint32_t* results, int count) override;
    void SetRenderTarget(Texture* texture) override;
    void GetLight(int index, LightRecord& light) override;
    bool DrawTestPattern() override;

    // Used by the companions.
    RecordedCall& Record(Op op, CallArgs args = {}, const void* object = nullptr);

private:
    // Every applied state call becomes a record of the operation of the same name.
    void StateApplied(const StateCall& call) override;
};
