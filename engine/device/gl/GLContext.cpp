// Creation of the OpenGL context and the check of its version.
#include "engine/device/gl/GLContext.h"
#include <cstdio>
#include <string>
#include "engine/core/Fatal.h"
#include "engine/device/gl/GLError.h"

void SetCoreContextAttributes()
{
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, kRequiredMajor);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, kRequiredMinor);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
}

void ReadContextVersion(int& major, int& minor)
{
    major = minor = 0;
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    // "4.5 (Core Profile) Mesa ..." or "OpenGL ES 3.2 ..."; only desktop versions count.
    if (version != nullptr && std::sscanf(version, "%d.%d", &major, &minor) != 2) major = minor = 0;
}

bool IsVersionSufficient(int major, int minor)
{
    return major > kRequiredMajor || (major == kRequiredMajor && minor >= kRequiredMinor);
}

bool ReadOfferedVersion(SDL_Window* window, int& major, int& minor)
{
    major = minor = 0;
    SDL_GL_ResetAttributes();
    SDL_GLContext any = SDL_GL_CreateContext(window);
    if (any == nullptr) return false;
    ReadContextVersion(major, minor);
    SDL_GL_MakeCurrent(window, nullptr);
    SDL_GL_DeleteContext(any);
    return true;
}

void ReportOldVersion(int major, int minor)
{
    ReportFatal("Found OpenGL %d.%d, OpenGL %d.%d or higher required.", major, minor, kRequiredMajor, kRequiredMinor);
}

GLContext::~GLContext()
{
    if (context_ != nullptr) {
        SDL_GL_MakeCurrent(window_, nullptr);
        SDL_GL_DeleteContext(context_);
    }
}

void GLContext::Create(SDL_Window* window)
{
    window_ = window;
    SetCoreContextAttributes();
    context_ = SDL_GL_CreateContext(window);
    if (context_ == nullptr) {
        std::string reason = SDL_GetError();
        // Find out what the machine does offer, to say so.
        int major = 0, minor = 0;
        if (ReadOfferedVersion(window, major, minor) && !IsVersionSufficient(major, minor))
            ReportOldVersion(major, minor);
        ReportFatal("OpenGL Init Failed : SDL_GL_CreateContext\nDescription : %s", reason.c_str());
    }
    int major = 0, minor = 0;
    ReadContextVersion(major, minor);
    if (!IsVersionSufficient(major, minor)) {
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(context_);
        context_ = nullptr;
        ReportOldVersion(major, minor);
    }
}

void GLContext::MakeCurrent()
{
    if (context_ != nullptr) SDL_GL_MakeCurrent(window_, context_);
}
