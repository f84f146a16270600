// RenderDevice: the abstract rendering device everything on screen is drawn through.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include "engine/core/LibObject.h"
#include "engine/core/MapCache.h"
#include "engine/device/DeviceState.h"
#include "engine/device/DeviceTypes.h"
#include "engine/device/Matrix.h"
#include "engine/device/StateBlock.h"

class Texture;
class Surface;
class VertexBuffer;
class Font;

// Concrete devices supply the pure operations. The operations that change drawing state
// (marked "state") are not virtual: each is recorded here between BeginStateBlock and
// EndStateBlock, or applied to the one DeviceState every device draws with (GetState).
// A device hears of them through two private hooks: StateChanging before a value really
// changes, StateApplied after every applied call, changed or not.
class RenderDevice : public LibObject {
public:
    RenderDevice();
    // Deletes the cached fonts, then the owned state (map cache, driver list).
    ~RenderDevice() override;
    RenderDevice(const RenderDevice&) = delete;
    RenderDevice& operator=(const RenderDevice&) = delete;

    // Opens the display on window (an opaque platform window). width 0 takes size and depth
    // from the selected mode. Sets size, depth, flags, aspect, masks and texture limits.
    // Does nothing and answers true when already initialised.
    virtual bool Init(void* window, bool fullScreen, int width, int height, int bits) = 0;
    // The module's banner.
    virtual const char* GetDescription() = 0;

    // Enumeration: drivers, each with devices, each with modes sorted by width.
    virtual int GetDriverCount();
    virtual DriverInfo& GetDriver(int index);  // index below the count
    virtual int AddDriver(const DriverInfo& driver);  // appends a copy, returns its position
    // Selections keep a copy of the record (concrete devices also note its native object).
    virtual void SelectDriver(const DriverInfo& driver);
    virtual void SelectDevice(const DeviceInfo& device);
    virtual void SelectMode(const ModeInfo& mode);
    // nullptr until selected.
    virtual const DriverInfo* GetSelectedDriver();
    virtual const DeviceInfo* GetSelectedDevice();
    virtual const ModeInfo* GetSelectedMode();

    // Clears depth to 1.0 always; the colour too (with the clear colour) when the clear
    // colour is enabled and bit 0 of flags is 0. True.
    virtual bool Clear(int flags) = 0;
    // Clear colour 0xFFrrggbb from components in 0..1 (see PackColor); alpha is ignored.
    virtual void SetClearColor(float r, float g, float b, float a = 1.0f) = 0;
    virtual void EnableClearColor(bool enable);
    virtual void BeginScene() = 0;
    virtual void EndScene() = 0;
    // Shows the finished back buffer. The argument is ignored. True.
    virtual bool Present(int unused) = 0;
    // The window's client rectangle on screen, for windowed presentation (stored).
    virtual void SetWindowRect(const ScreenRect& rect);

    // Camera parameters, used by UpdateCamera.
    virtual void SetNearPlane(float nearPlane);
    virtual void SetFarPlane(float farPlane);
    virtual void SetFieldOfView(float radians);
    // Up hint = (sin r, cos r, sin r * cos r).
    virtual void SetRoll(float radians);
    virtual void SetEye(float x, float y, float z);
    virtual void SetTarget(float x, float y, float z);
    // Sets the view from eye, target and up hint (kept when degenerate), then the
    // perspective projection (kept when degenerate); see ComputeView/ComputePerspective.
    virtual void UpdateCamera();
    // World and view become identity, the projection the orthographic matrix.
    virtual void SetOrtho(float width, float height, float nearPlane, float farPlane) = 0;
    // Set and remember the transforms (state).
    void SetProjection(const Matrix4& matrix);
    void SetView(const Matrix4& matrix);
    void SetWorld(const Matrix4& matrix);

    // Companions, owned by the caller until given back; giving back nullptr is ignored.
    virtual VertexBuffer* CreateVertexBuffer() = 0;
    virtual void DestroyVertexBuffer(VertexBuffer* buffer) = 0;
    virtual Texture* CreateTexture() = 0;
    virtual void DestroyTexture(Texture* texture) = 0;
    virtual Surface* CreateSurface() = 0;
    virtual void DestroySurface(Surface* surface) = 0;
    // Largest / smallest texture edge the device accepts; images are shrunk to the largest.
    virtual int GetMaxTextureSize();
    virtual int GetMinTextureSize();

    // Texture stages 0 and 1 (state; other stages are ignored); texture nullptr unbinds the
    // stage's texture.
    void SetTexture(int stage, Texture* texture);
    void SetColorOp(int stage, ColorOp op);
    void SetColorArg1(int stage, ColorArg arg);
    void SetColorArg2(int stage, ColorArg arg);
    void SetAlphaOp(int stage, AlphaOp op);
    void SetAlphaArg1(int stage, AlphaArg arg);
    void SetAlphaArg2(int stage, AlphaArg arg);

    // State blocks: the state calls between Begin and End are recorded as plain data
    // (not applied) and replayed by Apply. Handles are never 0.
    virtual void BeginStateBlock();
    virtual void EndStateBlock(uint32_t* handle);
    virtual void ApplyStateBlock(uint32_t handle);  // unknown handles are ignored
    virtual void DeleteStateBlock(uint32_t handle);

    // A vertex colour (0xAARRGGBB) in the form the device draws with.
    virtual uint32_t ConvertColor(uint32_t argb) = 0;
    // Blending and depth (state).
    void SetSrcBlend(BlendFactor factor);
    void SetDestBlend(BlendFactor factor);
    void EnableAlphaBlend(bool enable);
    void EnableDepth(bool enable);  // depth test
    void SetDepthFunc(CompareFunc func);

    // Draws all vertexCount vertices through the indexCount 16-bit indices.
    virtual void DrawIndexed(PrimitiveType type, const Vertex* vertices, int vertexCount,
                             const uint16_t* indices, int indexCount) = 0;
    virtual void Draw(PrimitiveType type, const Vertex* vertices, int vertexCount) = 0;
    void SetCullMode(CullMode mode);  // state
    // Lighting on/off (state); when on, vertex colours feed lighting as diffuse material.
    void EnableLighting(bool enable);
    void SetMaterial(const MaterialRecord& material);  // state
    void EnableFog(bool enable);                       // state
    void SetFogColor(float r, float g, float b);       // state, 0xFFrrggbb
    // State; a mode outside the enumeration is taken as Linear.
    void SetFog(FogMode mode, float start, float end, float density);

    // Projects (x, y, z) (see ProjectPoint); off screen is not visible. Otherwise draws it
    // as one point with the depth test and answers whether its pixel changed. The point
    // stays in the image; when hidden, stage 0's colour argument 1 goes back to Texture.
    virtual bool IsPointVisible(float x, float y, float z) = 0;
    // points hold world positions on entry and their projections on return (off-screen:
    // x = -1). results[i] becomes kPointVisible or kPointHidden; the image is left unchanged.
    virtual void ArePointsVisible(TransformedVertex* points, uint32_t* results, int count) = 0;
    // Draw into texture (ends and begins the scene, viewport of its size); nullptr returns
    // to the back buffer and the remembered viewport.
    virtual void SetRenderTarget(Texture* texture) = 0;

    // Point lights: GetLight reads back colour, position and the stored range (800 x the
    // value given; light untouched when that light was never set). SetLight and EnableLight
    // are state; negative indices are ignored. EnableLight answers success: false for a
    // negative index or when switching on one light more than the device draws at once
    // (true while a state block records).
    virtual void GetLight(int index, LightRecord& light);
    void SetLight(int index, const LightRecord& light);
    bool EnableLight(int index, bool enable);
    void SetAmbient(float r, float g, float b);  // state, 0xFFrrggbb
    // Draws two fixed coloured triangles (diagnostic). True.
    virtual bool DrawTestPattern() = 0;

    // ---- Around the window: what the application asks besides drawing ----
    // Called before the window that Init will get is created, for a device whose window
    // needs a particular pixel format. Default: nothing.
    virtual void PrepareWindow() {}
    // Present with vertical sync (the default) or as fast as possible; before or after
    // Init. Default: ignored.
    virtual void SetVSync(bool) {}
    // The frame Present will show, as RGB24, rows top to bottom; empty when the device
    // cannot read it back.
    virtual std::vector<uint8_t> ReadBackBuffer() { return {}; }
    // Read-back without waiting for the picture (frame capture): QueueReadBack starts
    // copying the frame Present will show; TakeReadBack hands the queued frames back oldest
    // first, each as ReadBackBuffer would have returned it. Without wait it answers false
    // while the oldest copy is still under way; with wait it blocks until it is done.
    // False (rgb untouched) when nothing is queued. Default: copied at once by ReadBackBuffer.
    virtual void QueueReadBack();
    virtual bool TakeReadBack(std::vector<uint8_t>& rgb, bool wait);
    virtual size_t GetQueuedReadBacks() const { return queuedReadBacks_.size(); }

    // ---- Measuring the drawing (benchmarks) ----
    // What the draws of one span cost: fragments that passed every test (counted by the
    // device) and the time the graphics processor spent on them.
    struct MeasuredSpan {
        uint32_t tag = 0;
        uint64_t samples = 0;
        double gpuSeconds = 0.0;
    };
    // Which counts a span carries on this device (neither by default).
    struct MeasureSupport {
        bool samples = false;
        bool gpuTime = false;
    };
    virtual MeasureSupport GetMeasureSupport() const { return {}; }
    // The draws from here to EndMeasure (or the next BeginMeasure, which ends the open span)
    // are counted under tag. Spans do not nest. Default: nothing is counted.
    virtual void BeginMeasure(uint32_t) {}
    virtual void EndMeasure() {}
    // Appends the ended spans whose counts are in, oldest first; with wait, every ended span
    // (blocks until the drawing is done).
    virtual void TakeMeasures(std::vector<MeasuredSpan>&, bool) {}
    // Work the device has saved since it started: draw calls it sent, draws it dropped as
    // invisible or off the screen, and uniform values and texture write-backs not sent again
    // because the graphics processor already held them; work covered by a later full-screen
    // draw (commands dropped, colour clears sent as depth-only). Default: nothing is counted.
    struct DrawCounters {
        bool counted = false;
        uint64_t sent = 0, invisible = 0, offScreen = 0, uniforms = 0, writeBacks = 0;
        uint64_t covered = 0, depthOnlyClears = 0;
    };
    virtual DrawCounters GetDrawCounters() const { return {}; }

    // The font loaded from fileName, made and cached on first use; the device owns it.
    Font* GetFont(const char* fileName);
    // The font sheet changed on disk: the next GetFont of fileName reads it again, while
    // the font handed out so far stays valid for its holders until the device goes.
    // False when no font of that name is cached.
    bool RetireFont(const std::string& fileName);
    // Saved-transform stack: callers park matrices here; the device never reads it.
    void PushTransform(const Matrix4& matrix);
    Matrix4 PopTransform();  // identity when empty
    size_t GetTransformDepth() const { return savedTransforms_.size(); }

    MapCache& GetMapCache() { return mapCache_; }

    // State other modules read.
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    int GetBitsPerPixel() const { return bitsPerPixel_; }
    bool IsFullScreen() const { return fullScreen_; }
    bool IsInitialised() const { return initialised_; }
    float GetAspect() const { return aspect_; }
    bool IsClearColorEnabled() const { return clearColorEnabled_; }
    bool IsFogEnabled() const { return drawState_.fog; }
    bool IsLightingEnabled() const { return drawState_.lighting; }
    const ScreenRect& GetWindowRect() const { return windowRect_; }
    const ScreenRect& GetSourceRect() const { return sourceRect_; }
    float GetFieldOfView() const { return fieldOfView_; }
    float GetNearPlane() const { return nearPlane_; }
    float GetFarPlane() const { return farPlane_; }
    Vector3 GetEye() const { return eye_; }
    Vector3 GetTarget() const { return target_; }
    Vector3 GetUpHint() const { return up_; }
    uint32_t GetRedMask() const { return redMask_; }
    uint32_t GetGreenMask() const { return greenMask_; }
    uint32_t GetBlueMask() const { return blueMask_; }
    bool IsHardware() const { return hardware_; }
    DisplayFormat GetDisplayFormat() const { return {bitsPerPixel_, redMask_}; }
    const Matrix4& GetProjection() const { return drawState_.projection; }
    const Matrix4& GetView() const { return drawState_.view; }
    const Matrix4& GetWorld() const { return drawState_.world; }
    // Everything the state operations have set, as the next draw uses it.
    const DeviceState& GetState() const { return drawState_; }

    // Camera math, shared by every device. False (out untouched) when degenerate.
    bool ComputeView(Matrix4& out) const;
    bool ComputePerspective(Matrix4& out) const;
    static Matrix4 OrthoMatrix(float width, float height, float nearPlane, float farPlane);
    // (x, y, z, 1) * world * view * projection onto a viewport; true when on screen
    // (0 <= x < width, 0 <= y < height). out gets screen x, y (rounded, halves away from zero),
    // depth, rhw, colour 0x00FFFFFF.
    bool ProjectPoint(float x, float y, float z, int viewportWidth, int viewportHeight,
                      TransformedVertex& out) const;

protected:
    // The texture is going away: no stage may keep drawing with it.
    void ForgetStageTexture(const Texture* texture);
    // World and view to identity, projection to the orthographic matrix (for SetOrtho).
    void ApplyOrtho(float width, float height, float nearPlane, float farPlane);
    // Deletes the cached fonts now (concrete devices call this before tearing down).
    void DestroyFonts();

    std::optional<DriverInfo> selectedDriver_;
    std::optional<DeviceInfo> selectedDevice_;
    std::optional<ModeInfo> selectedMode_;
    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 0;
    bool fullScreen_ = false;
    bool initialised_ = false;
    float aspect_ = 0.75f;
    bool clearColorEnabled_ = false;
    ScreenRect windowRect_;
    ScreenRect sourceRect_;
    float fieldOfView_ = 0.7853982f;
    float nearPlane_ = 1.0f;
    float farPlane_ = 1500.0f;
    Vector3 eye_{0.0f, 0.0f, -5.0f};
    Vector3 target_{0.0f, 0.0f, 0.0f};
    Vector3 up_{0.0f, 1.0f, 0.0f};
    int maxTextureSize_ = 256;
    int minTextureSize_ = 1;
    uint32_t redMask_ = 0;
    uint32_t greenMask_ = 0;
    uint32_t blueMask_ = 0;
    int bitsPerPixelCopy_ = 0;
    bool hardware_ = false;
    // Lights on at once that EnableLight allows.
    int maxEnabledLights_ = 1 << 30;
    // Written directly only for a device's own drawing (never by the state operations' callers).
    DeviceState drawState_;
    MapCache mapCache_;
    std::vector<DriverInfo> drivers_;
    std::map<std::string, std::unique_ptr<Font>> fonts_;
    std::vector<std::unique_ptr<Font>> retiredFonts_;
    std::vector<Matrix4> savedTransforms_;
    std::deque<std::vector<uint8_t>> queuedReadBacks_;

private:
    // Records call into the open state block, or applies it; answers as the operation does.
    bool SetState(const StateCall& call);
    bool ApplyState(const StateCall& call);
    // Before a state value changes (calls that leave it as it was are not announced): a
    // device that holds back draws sends them now, under the state they were made with.
    virtual void StateChanging(StateCall::Kind) {}
    // After every state call that was applied (not recorded), changed or not.
    virtual void StateApplied(const StateCall&) {}

    bool recording_ = false;
    std::vector<StateCall> recorded_;
    std::map<uint32_t, std::vector<StateCall>> stateBlocks_;
    uint32_t nextStateBlock_ = 1;
};
