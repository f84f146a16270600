// OpenGL device: construction, Init, frames, presentation, render targets and companions.
#include "engine/device/gl/GLDevice.h"
#ifndef STARFALL_WEB  // on the web the canvas is the window and the browser presents
#include <SDL2/SDL.h>
#endif
#include <algorithm>
#include "engine/core/Fatal.h"
#include "engine/core/Log.h"
#include "engine/device/gl/GLSurface.h"
#include "engine/device/gl/GLTexture.h"
#include "engine/device/gl/GLVertexBuffer.h"

#ifdef STARFALL_WEB
struct SDLVideoUse {
    bool ok = true;
};

void SDLWindowDeleter::operator()(SDL_Window*) const
{
}
#else
// Keeps SDL's video subsystem and its OpenGL library up while the device lives. Without the
// library's own reference, closing the probe windows would unload the driver, and the
// device's window would load and initialise it all over again.
struct SDLVideoUse {
    bool ok = false;
    bool library = false;
    SDLVideoUse()
    {
        ok = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
        library = ok && SDL_GL_LoadLibrary(nullptr) == 0;
    }
    ~SDLVideoUse()
    {
        if (library) SDL_GL_UnloadLibrary();
        if (ok) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
};

void SDLWindowDeleter::operator()(SDL_Window* window) const
{
    SDL_DestroyWindow(window);
}
#endif

namespace {

const char* kBlitVertex =
    VIREO_GLSL_HEADER
    "uniform vec4 uRect;\n"    // x, y, width, height in target pixels, rows top-down
    "uniform vec2 uTarget;\n"  // target size
    "void main() {\n"
    "    vec2 corner = vec2(gl_VertexID & 1, gl_VertexID >> 1);\n"
    "    vec2 p = uRect.xy + corner * uRect.zw;\n"
    "    gl_Position = vec4(p / uTarget * 2.0 - 1.0, 0.0, 1.0);\n"
    "}\n";

const char* kBlitFragment =
    VIREO_GLSL_HEADER
    "uniform sampler2D uTexture0;\n"
    "uniform vec4 uRect;\n"
    "uniform int uKeyed;\n"
    "out vec4 oColor;\n"
    "void main() {\n"
    "    vec4 c = texelFetch(uTexture0, ivec2(gl_FragCoord.xy - uRect.xy), 0);\n"
    "    if (uKeyed != 0 && c.rgb == vec3(0.0)) discard;\n"
    "    oColor = vec4(c.rgb, 1.0);\n"
    "}\n";

}  // namespace

GLDevice::GLDevice()
{
    video_ = std::make_unique<SDLVideoUse>();
    if (video_->ok) enumeration_.Enumerate(drivers_);
    if (drivers_.empty()) {
        // A display whose OpenGL is too old says so, as the version check would.
        int major = 0, minor = 0;
        if (enumeration_.GetTooOldVersion(major, minor)) ReportOldVersion(major, minor);
        RaiseAppError("Could not find any suitable OpenGL driver.");
    }
    maxEnabledLights_ = kMaxLights;
}

GLDevice::~GLDevice()
{
    // Fonts and shared textures give their GL objects back while the context is current;
    // work nobody will see is not sent.
    if (context_) context_->MakeCurrent();
    commands_.Clear();
    batch_.Clear();
    DestroyFonts();
    mapCache_.Clear();
    if (blitProgram_ != 0) glDeleteProgram(blitProgram_);
    if (blitVertexArray_ != 0) glDeleteVertexArrays(1, &blitVertexArray_);
    // The remaining GL objects are members declared after the context, so they go first.
}

bool GLDevice::Init(void* window, bool fullScreen, int width, int height, int bits)
{
    if (initialised_) return true;
    if (!selectedDriver_) ReportFatal("No driver selected.");
    if (!selectedDevice_) ReportFatal("No device selected.");
    if (width == 0) {
        if (!selectedMode_) ReportFatal("No video mode selected.");
        width = selectedMode_->width;
        height = selectedMode_->height;
        bits = selectedMode_->bitsPerPixel;
    }
    if (width <= 0 || height <= 0) ReportFatal("OpenGL Init Failed : video mode %dx%d\nDescription : invalid size", width, height);
    bits = bits == 16 ? 16 : 32;

    // The selected driver is a display: the picture goes there.
    int display = 0;
    if (selectedDriver_->native != nullptr)
        display = static_cast<const GLDriverObject*>(selectedDriver_->native)->display;
#ifdef STARFALL_WEB
    // The page sizes the canvas and asks the browser for full screen itself.
    (void)display;
    window_ = static_cast<SDL_Window*>(window);
#else
    if (display < 0 || display >= SDL_GetNumVideoDisplays()) display = 0;
    window_ = static_cast<SDL_Window*>(window);
    if (window_ == nullptr) {
        SetCoreContextAttributes();
        ownWindow_.reset(SDL_CreateWindow("Vireo", SDL_WINDOWPOS_UNDEFINED_DISPLAY(display),
                                          SDL_WINDOWPOS_UNDEFINED_DISPLAY(display), width, height,
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN));
        if (!ownWindow_) ReportFatal("OpenGL Init Failed : SDL_CreateWindow\nDescription : %s", SDL_GetError());
        window_ = ownWindow_.get();
    }
    if (fullScreen) {
        // The window covers the selected display itself before asking for full screen:
        // without a window manager nothing else would move or size it, and SDL would
        // then draw a display-sized picture into a window that shows only part of it.
        SDL_Rect bounds{};
        if (SDL_GetDisplayBounds(display, &bounds) == 0) {
            SDL_SetWindowPosition(window_, bounds.x, bounds.y);
            SDL_SetWindowSize(window_, bounds.w, bounds.h);
        }
        if (SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0)
            ReportFatal("OpenGL Init Failed : SDL_SetWindowFullscreen\nDescription : %s", SDL_GetError());
    }
#endif

    context_ = std::make_unique<GLContext>();
    context_->Create(window_);
    state_.Invalidate();

    LogLine("Using %dx%dx%d video mode.", width, height, bits);
    width_ = width;
    height_ = height;
    bitsPerPixel_ = bits;
    bitsPerPixelCopy_ = bits;
    fullScreen_ = fullScreen;
    aspect_ = static_cast<float>(height) / static_cast<float>(width);
    sourceRect_ = ScreenRect{0, 0, width, height};
    if (bits == 16) {
        redMask_ = 0xF800;
        greenMask_ = 0x07E0;
        blueMask_ = 0x001F;
    } else {
        redMask_ = 0x00FF0000;
        greenMask_ = 0x0000FF00;
        blueMask_ = 0x000000FF;
    }

    std::string error;
    if (!backBuffer_.Create(width, height, bits, error))
        ReportFatal("OpenGL Init Failed : CreateFramebuffer (BackBuffer)\nDescription : %s", error.c_str());
    state_.ForgetBindings();
    stream_.Create(state_);
    blitProgram_ = BuildGLProgram(kBlitVertex, kBlitFragment, "surface copy");
    blitRect_ = glGetUniformLocation(blitProgram_, "uRect");
    blitTarget_ = glGetUniformLocation(blitProgram_, "uTarget");
    blitKeyed_ = glGetUniformLocation(blitProgram_, "uKeyed");
    state_.UseProgram(blitProgram_);
    glUniform1i(glGetUniformLocation(blitProgram_, "uTexture0"), 0);
    glGenVertexArrays(1, &blitVertexArray_);

    GLint maxTexture = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    maxTextureSize_ = textureCap_ > 0 ? std::min<int>(maxTexture, textureCap_) : maxTexture;
    minTextureSize_ = 1;
    // Decided by the context actually made, whatever record the caller selected.
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    hardware_ = renderer != nullptr && !IsSoftwareRenderer(renderer);
#ifndef STARFALL_WEB
    SDL_GL_SetSwapInterval(vsync_ ? 1 : 0);
#endif

    // Drawing state the pipeline starts from (the stage defaults are set at construction).
    glEnable(GL_DITHER);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    viewport_ = Viewport{0, 0, width, height};
    BindTarget();
    state_.ColorMask(true, true);
    state_.DepthMask(true);
    state_.Scissor(false);
    state_.ClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    state_.ClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    GL_CHECK("Init");
    queries_.Init();
    initialised_ = true;
    return true;
}

void GLDevice::BindTarget()
{
    if (renderTarget_ != nullptr && renderTarget_->GetFramebuffer() != nullptr)
        state_.BindFramebuffer(renderTarget_->GetFramebuffer()->GetFramebuffer());
    else state_.BindFramebuffer(backBuffer_.GetFramebuffer());
    state_.Viewport(viewport_.x, viewport_.y, viewport_.width, viewport_.height);
}

bool GLDevice::Clear(int flags)
{
    if (!initialised_) return true;
    FlushBatch();
    const bool colour = clearColorEnabled_ && (flags & 1) == 0;
    if (DefersWork()) {
        GLCommand& command = commands_.Append();
        command.kind = GLCommand::Kind::Clear;
        command.effects = CommandEffects::Clear(colour);
        command.clearColour = colour;
        command.colour = clearColor_;
        return true;
    }
    BindTarget();
    ClearBound(colour, clearColor_);
    return true;
}

void GLDevice::ClearBound(bool colour, uint32_t clearColor)
{
    state_.DepthMask(true);
    state_.Scissor(false);
    GLbitfield mask = GL_DEPTH_BUFFER_BIT;
    if (colour) {
        state_.ColorMask(true, true);
        state_.ClearColor(((clearColor >> 16) & 0xFF) / 255.0f, ((clearColor >> 8) & 0xFF) / 255.0f,
                          (clearColor & 0xFF) / 255.0f, 1.0f);
        mask |= GL_COLOR_BUFFER_BIT;
    }
    state_.ClearDepth(1.0);
    glClear(mask);
    ++contentWrites_;
    GL_CHECK("Clear");
}

void GLDevice::SetClearColor(float r, float g, float b, float)
{
    clearColor_ = PackColor(r, g, b);
}

void GLDevice::BeginScene()
{
}

void GLDevice::EndScene()
{
    SendCommands();
}

bool GLDevice::Present(int)
{
    if (!initialised_) return true;
    SendCommands();
    int drawableWidth = 0, drawableHeight = 0;
#ifndef STARFALL_WEB  // the canvas keeps the mode's size (the page scales it)
    SDL_GL_GetDrawableSize(window_, &drawableWidth, &drawableHeight);
#endif
    if (drawableWidth <= 0 || drawableHeight <= 0) {
        drawableWidth = width_;
        drawableHeight = height_;
    }
    // Largest rectangle of the back buffer's aspect that fits, centred on black.
    int outWidth = drawableWidth;
    int outHeight = static_cast<int>(static_cast<int64_t>(drawableWidth) * height_ / width_);
    if (outHeight > drawableHeight) {
        outHeight = drawableHeight;
        outWidth = static_cast<int>(static_cast<int64_t>(drawableHeight) * width_ / height_);
    }
    int x0 = (drawableWidth - outWidth) / 2;
    int y0 = (drawableHeight - outHeight) / 2;

    // The back buffer stays bound for reading; only drawing moves to the window (clear and
    // blit ignore the viewport, so it stays too).
    state_.BindFramebuffer(backBuffer_.GetFramebuffer());
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    state_.Scissor(false);
    state_.ColorMask(true, true);
    // Bars appear only when the aspects differ; otherwise the blit covers the whole window.
    if (outWidth != drawableWidth || outHeight != drawableHeight) {
        state_.ClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    // Rows are stored top-down; the window's origin is at the bottom.
    GLenum filter = (outWidth == width_ && outHeight == height_) ? GL_NEAREST : GL_LINEAR;
    glBlitFramebuffer(0, 0, width_, height_, x0, y0 + outHeight, x0 + outWidth, y0, GL_COLOR_BUFFER_BIT, filter);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, backBuffer_.GetFramebuffer());
    GL_CHECK("Present");
#ifndef STARFALL_WEB  // the browser shows the canvas when the frame callback returns
    SDL_GL_SwapWindow(window_);
#endif
    BindTarget();
    return true;
}

void GLDevice::SetWindowRect(const ScreenRect& rect)
{
    windowRect_ = rect;
}

void GLDevice::SetRenderTarget(Texture* texture)
{
    if (!initialised_) return;
    // Back-buffer work stays pending across the switch; the target's work goes at once.
    FlushBatch();
    auto* target = static_cast<GLTexture*>(texture);
    if (target != nullptr && target->GetFramebuffer() == nullptr) {
        LogLine("SetRenderTarget : texture [%s] is not a render target.", target->GetName().c_str());
        target = nullptr;
    }
    if (target != nullptr) {
        // Only leaving the back buffer remembers its viewport, so a chain of targets still
        // comes back to the screen's.
        if (renderTarget_ == nullptr) savedViewport_ = viewport_;
        // Pending back-buffer work that samples the target must see it as it is now.
        SendCommandsSampling(target->GetGLTexture());
        renderTarget_ = target;
        int edge = static_cast<int>(target->GetWidth());
        viewport_ = Viewport{0, 0, edge, edge};
        ++uniformGeneration_;  // the pixel offset follows the viewport
        BindTarget();
    } else if (renderTarget_ != nullptr) {
        ReturnToBackBuffer();
    } else {
        BindTarget();
    }
    BeginScene();
}

void GLDevice::ReturnToBackBuffer()
{
    renderTarget_ = nullptr;
    viewport_ = savedViewport_;
    ++uniformGeneration_;  // the pixel offset follows the viewport
    BindTarget();
}

std::vector<uint8_t> GLDevice::ReadBackBuffer()
{
    std::vector<uint8_t> rgb;
    if (!initialised_) return rgb;
    SendCommands();
    rgb.resize(static_cast<size_t>(width_) * height_ * 3);
    state_.BindFramebuffer(backBuffer_.GetFramebuffer());
#ifdef STARFALL_WEB
    // WebGL 2 reads RGBA bytes only.
    std::vector<uint8_t> rgba(static_cast<size_t>(width_) * height_ * 4);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    for (size_t i = 0, count = rgba.size() / 4; i < count; ++i)
        for (size_t c = 0; c < 3; ++c) rgb[3 * i + c] = rgba[4 * i + c];
#else
    glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
#endif
    GL_CHECK("ReadBackBuffer");
    BindTarget();
    return rgb;
}

void GLDevice::QueueReadBack()
{
    if (!initialised_) return;
    SendCommands();
    state_.BindFramebuffer(backBuffer_.GetFramebuffer());
    readBacks_.Queue(width_, height_);
    BindTarget();
}

bool GLDevice::TakeReadBack(std::vector<uint8_t>& rgb, bool wait)
{
    return readBacks_.Take(rgb, wait);
}

void GLDevice::PrepareWindowAttributes()
{
    SetCoreContextAttributes();
}

void GLDevice::SetVSync(bool on)
{
    vsync_ = on;
#ifndef STARFALL_WEB  // the browser paces frames itself
    if (initialised_) SDL_GL_SetSwapInterval(on ? 1 : 0);
#endif
}

void GLDevice::CapMaxTextureSize(int edge)
{
    textureCap_ = edge;
    if (initialised_ && edge > 0) {
        GLint maxTexture = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
        maxTextureSize_ = std::min<int>(maxTexture, edge);
    }
}

void GLDevice::BlitSurface(GLuint texture, int width, int height, int x, int y, bool keyed)
{
    if (!initialised_ || width <= 0 || height <= 0) return;
    SendCommands();
    state_.BindFramebuffer(backBuffer_.GetFramebuffer());
    state_.Viewport(0, 0, width_, height_);
    state_.UseProgram(blitProgram_);
    state_.BindVertexArray(blitVertexArray_);
    state_.ActiveTextureBind(0, texture);
    state_.Blend(false);
    state_.DepthTest(false);
    state_.CullFront(GL_NONE);
    state_.ColorMask(true, false);
    // The copy program keeps its uniforms too: a surface drawn where it was last time sends none.
    const float rect[4] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(width),
                           static_cast<float>(height)};
    const float target[2] = {static_cast<float>(width_), static_cast<float>(height_)};
    const float keyedFlag = keyed ? 1.0f : 0.0f;
    if (UniformChanges(blitSent_.rect, rect, 4)) glUniform4fv(blitRect_, 1, rect);
    if (UniformChanges(blitSent_.target, target, 2)) glUniform2fv(blitTarget_, 1, target);
    if (UniformChanges(blitSent_.keyed, &keyedFlag, 1)) glUniform1i(blitKeyed_, keyed ? 1 : 0);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    ++glDraws_;
    GL_CHECK("Surface copy");
    BindTarget();
}

VertexBuffer* GLDevice::CreateVertexBuffer()
{
    return new GLVertexBuffer(this);
}

void GLDevice::DestroyVertexBuffer(VertexBuffer* buffer)
{
    if (buffer == nullptr) return;
    FlushBatch();
    delete buffer;
}

Texture* GLDevice::CreateTexture()
{
    return new GLTexture(this);
}

void GLDevice::ForgetTexture(Texture* texture)
{
    ForgetStageTexture(texture);
    // Losing the current target is the same as going back to the screen on purpose.
    if (renderTarget_ == texture) ReturnToBackBuffer();
}

void GLDevice::DestroyTexture(Texture* texture)
{
    if (texture == nullptr) return;
    delete texture;
    state_.ForgetBindings();
}

Surface* GLDevice::CreateSurface()
{
    return new GLSurface(this);
}

void GLDevice::DestroySurface(Surface* surface)
{
    if (surface == nullptr) return;
    FlushBatch();
    delete surface;
    state_.ForgetBindings();
}
