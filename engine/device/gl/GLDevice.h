// The internal module's rendering device: RenderDevice on OpenGL 3.3 core through SDL2.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "engine/device/RenderDevice.h"
#include "engine/device/gl/GLBatch.h"
#include "engine/device/gl/GLCommandList.h"
#include "engine/device/gl/GLContext.h"
#include "engine/device/gl/GLEnumeration.h"
#include "engine/device/gl/GLFramebuffer.h"
#include "engine/device/gl/GLProgramCache.h"
#include "engine/device/gl/GLQueries.h"
#include "engine/device/gl/GLReadBackQueue.h"
#include "engine/device/gl/GLStateCache.h"
#include "engine/device/gl/GLVertexStream.h"

class GLTexture;
class GLSurface;
struct SDLVideoUse;
struct DrawEffectState;
struct ClipTransform;
struct SDLWindowDeleter {
    void operator()(SDL_Window* window) const;
};
class GLVertexBuffer;

// How the device's operations map onto OpenGL:
//
// Enumeration   Drivers are SDL video displays. A display gets one device, "OpenGL 3.3 Core",
//               only when a hidden probe window really opens a 3.3 core context on it; its
//               description says "Hardware" only for a hardware renderer (Mesa's llvmpipe,
//               softpipe and swrast are software). Modes: the display's sizes plus 640x480,
//               800x600, 1024x768, 1280x960, 1600x1200 up to the desktop size, each at 16 and
//               32 bits, sorted by width. No driver: AppError "Could not find any suitable
//               OpenGL driver.".
// Init          A 3.3 core context on the SDL window passed in (made with SDL_WINDOW_OPENGL;
//               nullptr makes a hidden window of the mode's size, for headless use on SDL's
//               offscreen driver). Full screen places the window over the whole of the
//               selected driver's display (also without a window manager) and switches it
//               to that desktop's own mode. The back buffer is a
//               framebuffer object of the mode's size: RGB565 at 16 bits (masks
//               F800/07E0/001F), RGBA8 at 32 bits, 16-bit depth; Present converts it to the
//               window's format, so the desktop's colour depth is not checked. Texture
//               limits come from GL_MAX_TEXTURE_SIZE (see CapMaxTextureSize). Swap interval 1.
//               A context older than 3.3 stops with "Found OpenGL x.y, OpenGL 3.3 or higher
//               required." (at construction when no display offers 3.3).
// Conventions   Every framebuffer holds its rows top-down (row 0 is the top of the image),
//               as the device's screen coordinates do: the vertex shader mirrors y, so the
//               cull modes, named for windings seen with y down, become glFrontFace
//               (Clockwise culls what GL then sees as counter-clockwise: front = GL_CW,
//               back faces culled; CounterClockwise: front = GL_CCW). The same shader maps
//               the 0..1 clip depth onto GL's -w..w (z' = 2z - w) and puts pixel centres on
//               integer screen coordinates (half-pixel shift). Present and readbacks undo the
//               row order. These three lines are the only place the conventions differ.
// Pipeline      The fixed-function state becomes a generated GLSL program per combination of
//               stage operations/arguments, bound textures, lighting with n lights and fog
//               mode; the rest (matrices, material, lights, fog values, ambient) are uniforms.
//               Stage 1 starts disabled and stays so until its colour operation is set; a
//               stage without a texture reads white. Lighting: per vertex in view space, point
//               lights with attenuation 1/(0.01 d), cut off beyond the range, the vertex colour
//               as diffuse material, material ambient x (global ambient + light colours),
//               material emissive. At most 8 lights are on at once (EnableLight answers
//               false beyond); a light switched on before any SetLight gives no light.
//               Fog: per pixel on the distance from the eye, linear, exp
//               or exp2, blended towards the fog colour.
// State         Blend factors map one to one (SrcAlphaSat = GL_SRC_ALPHA_SATURATE), depth
//               functions likewise; depth writes stay on. The state operations are kept by
//               RenderDevice; the pending batch is flushed before a value changes. GL calls
//               go through a state shadow that drops redundant ones; GL errors are checked
//               in debug builds (VIREO_GL_CHECKS).
// Draw          Draw/DrawIndexed copy the 44-byte vertices as they are (colour bytes B,G,R,A)
//               into a batch; strips and fans become lists, so consecutive draws with the same
//               state and kind (points, lines, triangles) go to GL as one glDrawElements when
//               the state changes, at EndScene, Clear, Present, readbacks and render-target
//               switches. Indices outside the vertex list drop their primitive. Draws that
//               cannot change the picture (invisible blending, triangles wholly beyond one
//               clip plane) are dropped first; uniforms equal to what a program holds are
//               not sent again.
// Deferral      Work for the back buffer (batches with the state they were flushed under,
//               vertex-buffer draws, clears) is held as commands and sent when its result
//               or inputs matter: EndScene, Present, readbacks, visibility tests, surface
//               copies, measure spans, and a change to a texture or vertex buffer a command reads
//               (including drawing into a render target it samples). Before sending, work
//               that a later opaque draw covering the whole viewport (or a clear)
//               overwrites is dropped, as far as depth allows. Render targets draw at once.
// Clear         glClear of the current target: depth 1.0 always, colour when enabled and bit 0
//               of the flags is 0.
// Present       Blits the back buffer into the window's drawable, scaled with its aspect kept
//               (black bars), then swaps.
// Textures      Upload: without alpha the display format (RGB565/RGB555 at 16 bits, XRGB32 at
//               32); with alpha ARGB4444 (alpha mode 1) or ARGB32 (alpha mode 8), shared
//               through the MapCache by key. Linear filtering, repeat addressing, one level.
//               Render targets are framebuffer objects in the display format with their own
//               16-bit depth, cleared to 0. Lock reads the texture back into a CPU copy; Unlock
//               writes the copy back unless no byte of it and nothing on the GPU changed since.
// Surfaces      CPU pixels in the display format plus a texture refreshed after Unlock; Draw
//               copies pixel for pixel into the back buffer, discarding black when keyed.
// Visibility    IsPointVisible/ArePointsVisible project the point as the interface says and
//               compare its depth with the depth buffer at its pixel under the current depth
//               function; nothing is drawn, so the image stays unchanged.
// Errors        Fatal texts name the OpenGL or SDL error where the platform's result text
//               would stand.
class GLDevice : public RenderDevice {
public:
    static constexpr const char* kBanner = "OpenGL Module for Vireo! Library";

    // Starts SDL video and enumerates displays, devices and modes.
    GLDevice();
    ~GLDevice() override;

    bool Init(void* window, bool fullScreen, int width, int height, int bits) override;
    const char* GetDescription() override { return kBanner; }

    bool Clear(int flags) override;
    void SetClearColor(float r, float g, float b, float a = 1.0f) override;
    void BeginScene() override;
    void EndScene() override;
    bool Present(int unused) override;
    void SetWindowRect(const ScreenRect& rect) override;

    void SetOrtho(float width, float height, float nearPlane, float farPlane) override;

    VertexBuffer* CreateVertexBuffer() override;
    void DestroyVertexBuffer(VertexBuffer* buffer) override;
    Texture* CreateTexture() override;
    void DestroyTexture(Texture* texture) override;
    Surface* CreateSurface() override;
    void DestroySurface(Surface* surface) override;


    uint32_t ConvertColor(uint32_t argb) override { return argb; }

    void DrawIndexed(PrimitiveType type, const Vertex* vertices, int vertexCount, const uint16_t* indices,
                     int indexCount) override;
    void Draw(PrimitiveType type, const Vertex* vertices, int vertexCount) override;

    bool IsPointVisible(float x, float y, float z) override;
    void ArePointsVisible(TransformedVertex* points, uint32_t* results, int count) override;
    void SetRenderTarget(Texture* texture) override;

    bool DrawTestPattern() override;

    // Sets SDL's OpenGL attributes (3.3 core, double buffer, no window depth). Call before
    // creating the window that Init will get, so the window's visual matches the context.
    static void PrepareWindowAttributes();
    void PrepareWindow() override { PrepareWindowAttributes(); }
    // Swap with vertical sync (the default) or as fast as possible; before or after Init.
    void SetVSync(bool on) override;
    // Caps the maximum texture size the device reports (0: no cap); applies now and at Init.
    void CapMaxTextureSize(int edge);
    // The back buffer as RGB24, rows top to bottom (frame capture, tests).
    std::vector<uint8_t> ReadBackBuffer() override;
    // Through pixel buffer objects and fences: the copy runs behind the caller.
    void QueueReadBack() override;
    bool TakeReadBack(std::vector<uint8_t>& rgb, bool wait) override;
    size_t GetQueuedReadBacks() const override { return readBacks_.Size(); }
    // Sample-count and timer queries; every span boundary sends the pending work first, so
    // each span holds exactly the draws made inside it.
    MeasureSupport GetMeasureSupport() const override { return queries_.GetSupport(); }
    void BeginMeasure(uint32_t tag) override;
    void EndMeasure() override;
    void TakeMeasures(std::vector<MeasuredSpan>& out, bool wait) override;
    // Current clear, fog and ambient colours (0xFFrrggbb).
    uint32_t GetClearColor() const { return clearColor_; }
    uint32_t GetFogColor() const { return GetState().fogColor; }
    uint32_t GetAmbient() const { return GetState().ambient; }
    // Program variants built so far and draw calls sent to GL since Init (benchmarks).
    size_t GetProgramCount() const { return programs_.GetSize(); }
    uint64_t GetGLDrawCount() const { return glDraws_; }
    // Draws that would leave every pixel and the depth buffer as they are (blending that
    // keeps the destination, a source that adds nothing, no depth test) are dropped before
    // they are batched. On by default; off for comparisons.
    void SetSkipInvisibleDraws(bool on) { skipInvisible_ = on; }
    uint64_t GetSkippedDrawCount() const { return skippedDraws_; }
    // Triangle draws wholly beyond one clip plane are dropped before they are batched as well.
    // On by default; off for comparisons.
    void SetSkipOffScreenDraws(bool on) { skipOffScreen_ = on; }
    uint64_t GetOffScreenDrawCount() const { return offScreenDraws_; }
    // Uniform values a program already holds and texture write-backs of pixels the texture
    // already holds are not sent again. On by default; off for comparisons.
    void SetSkipRepeats(bool on) { skipRepeats_ = on; }
    uint64_t GetSkippedUniformCount() const { return repeatsSkipped_; }
    uint64_t GetSkippedWriteBackCount() const { return writeBacksSkipped_; }
    DrawCounters GetDrawCounters() const override
    {
        return {true, glDraws_, skippedDraws_, offScreenDraws_, repeatsSkipped_, writeBacksSkipped_,
                coveredCommands_, reducedClears_};
    }
    // Back-buffer work held back and dropped where a later opaque full-screen draw or clear
    // overwrites it before anything reads it. On by default; off sends every draw and clear
    // to GL at once (after the work pending so far), for comparisons.
    void SetSkipCoveredWork(bool on);
    // Commands (draws, vertex-buffer draws, clears) dropped as covered since Init.
    uint64_t GetCoveredCommandCount() const { return coveredCommands_; }
    // Colour clears sent as depth-only clears because a later draw covers their colour.
    uint64_t GetReducedClearCount() const { return reducedClears_; }

private:
    friend class GLTexture;
    friend class GLSurface;
    friend class GLVertexBuffer;

    using Viewport = GLViewport;

    // Ends the pending batch: a command for later on the back buffer, else sent to GL now.
    void FlushBatch();
    // Whether back-buffer work is held as commands now (the back buffer is the target).
    bool DefersWork() const { return skipCovered_ && renderTarget_ == nullptr; }
    // Ends the batch, drops covered commands and sends the rest to GL; the current target
    // stays bound.
    void SendCommands();
    // The same, only when a pending command samples the texture / draws from the buffer
    // (which is about to change or go).
    void SendCommandsSampling(GLuint texture);
    void SendCommandsDrawingFrom(const GLVertexBuffer* buffer);
    void Replay(const GLCommand& command);
    // What the next draw binds, from the current state and target.
    GLDrawBinding CurrentBinding() const;
    // A new pending draw of the current state and target, not yet known to cover anything.
    GLCommand& AppendDrawCommand(GLCommand::Kind kind);
    // Whether the pending batch overwrites the whole back buffer whatever is there.
    bool BatchCoversBackBuffer(const GLDrawBinding& binding) const;
    // Clears the bound framebuffer's depth to 1.0, and its colour when asked.
    void ClearBound(bool colour, uint32_t clearColor);
    // The program the current state draws with (stage cascade as the shader runs it).
    PipelineKey CurrentPipelineKey() const;
    DrawEffectState DrawEffects() const;
    // The current transform from vertex positions to clip space.
    ClipTransform ClipOf() const;
    // Binds program, uniforms, textures, target and fixed state for a GL draw.
    void PrepareDraw(const DeviceState& state, const GLDrawBinding& binding);
    void UploadUniforms(GLProgram& program, const DeviceState& state, const GLDrawBinding& binding);
    // Whether a uniform must be sent: its program's last value differs (or repeats are sent).
    bool UniformChanges(GLUniformValue& last, const float* values, size_t count);
    // Binds the current target (render target or back buffer) and its viewport.
    void BindTarget();
    // Flushes the batch; uniforms are sent again after a change of what they carry.
    void StateChanging(StateCall::Kind kind) override;
    // The generator's key of a stage: values outside an enumeration would index past its tables.
    static StageKey KeyOf(const StageState& stage);
    void Append(PrimitiveType type, const Vertex* vertices, int vertexCount, const uint16_t* indices, int indexCount);
    // Draws a GL_TRIANGLES element list from a VertexBuffer.
    void DrawBuffer(GLVertexBuffer& buffer);
    // Copies a surface texture to the back buffer at (x, y).
    void BlitSurface(GLuint texture, int width, int height, int x, int y, bool keyed);
    // Whether a depth at pixel (x, y) passes the depth function against the depth buffer.
    bool DepthPasses(float stored, float depth) const;
    void ForgetTexture(Texture* texture);
    // Leaves the current render target for the back buffer and its saved viewport.
    void ReturnToBackBuffer();

    // Declaration order matters: GL objects below the context are destroyed before it,
    // the context before the window, the window before SDL video is released.
    std::unique_ptr<SDLVideoUse> video_;
    std::unique_ptr<SDL_Window, SDLWindowDeleter> ownWindow_;
    SDL_Window* window_ = nullptr;
    std::unique_ptr<GLContext> context_;
    GLEnumeration enumeration_;
    GLStateCache state_;
    GLProgramCache programs_;
    GLVertexStream stream_;
    GLFramebuffer backBuffer_;
    GLReadBackQueue readBacks_;
    GLQueries queries_;
    GLuint blitProgram_ = 0;
    GLint blitRect_ = -1, blitTarget_ = -1, blitKeyed_ = -1;
    GLuint blitVertexArray_ = 0;
    struct {
        GLUniformValue rect, target, keyed;
    } blitSent_;

    Viewport viewport_;
    Viewport savedViewport_;
    GLTexture* renderTarget_ = nullptr;
    PrimitiveBatch batch_;
    GLCommandList commands_;
    std::vector<float> depthScratch_;  // ArePointsVisible's depth rectangle
    uint64_t uniformGeneration_ = 1;
    uint64_t glDraws_ = 0;
    uint64_t skippedDraws_ = 0;
    uint64_t offScreenDraws_ = 0;
    uint64_t repeatsSkipped_ = 0;
    uint64_t writeBacksSkipped_ = 0;
    // Draws, clears and uploads sent so far: a texture read back after the last of them
    // still holds what was read.
    uint64_t contentWrites_ = 0;
    bool skipRepeats_ = true;
    bool skipInvisible_ = true;
    bool skipOffScreen_ = true;
    uint64_t coveredCommands_ = 0;
    uint64_t reducedClears_ = 0;
    bool skipCovered_ = true;
    bool vsync_ = true;
    int textureCap_ = 0;

    uint32_t clearColor_ = 0xFF000000u;
};
