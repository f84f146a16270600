// WebGL 2 context on the page's canvas (the web build's stand-in for the SDL context).
#include <emscripten/html5.h>
#include "engine/core/Fatal.h"
#include "engine/device/gl/GLContext.h"
#include "engine/device/gl/GLError.h"

namespace {
const char* const kCanvas = "#canvas";
}

void SetCoreContextAttributes()
{
}

void ReadContextVersion(int& major, int& minor)
{
    // WebGL 2 is OpenGL ES 3.0, which offers what the device needs of 3.3 core.
    major = kRequiredMajor;
    minor = kRequiredMinor;
}

bool IsVersionSufficient(int major, int minor)
{
    return major > kRequiredMajor || (major == kRequiredMajor && minor >= kRequiredMinor);
}

bool ReadOfferedVersion(SDL_Window*, int& major, int& minor)
{
    major = minor = 0;
    return false;
}

void ReportOldVersion(int major, int minor)
{
    ReportFatal("Found OpenGL %d.%d, OpenGL %d.%d or higher required.", major, minor, kRequiredMajor, kRequiredMinor);
}

GLContext::~GLContext()
{
    if (context_ != nullptr)
        emscripten_webgl_destroy_context(static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(reinterpret_cast<intptr_t>(context_)));
}

void GLContext::Create(SDL_Window* window)
{
    window_ = window;
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    // The device draws into its own framebuffer and copies it out in Present: the
    // canvas needs no depth, no alpha and no multisampling (which would forbid the copy).
    attributes.alpha = false;
    attributes.depth = false;
    attributes.stencil = false;
    attributes.antialias = false;
    attributes.premultipliedAlpha = false;
    attributes.preserveDrawingBuffer = false;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE handle = emscripten_webgl_create_context(kCanvas, &attributes);
    if (handle <= 0)
        ReportFatal("OpenGL Init Failed : emscripten_webgl_create_context\nDescription : %s",
                    "this browser offers no WebGL 2");
    context_ = reinterpret_cast<SDL_GLContext>(static_cast<intptr_t>(handle));
    emscripten_webgl_make_context_current(handle);
}

void GLContext::MakeCurrent()
{
    if (context_ != nullptr)
        emscripten_webgl_make_context_current(static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(reinterpret_cast<intptr_t>(context_)));
}
