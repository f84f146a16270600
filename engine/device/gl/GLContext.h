// OpenGL context on an SDL window: attributes, creation with the version check, swap interval (internal).
#pragma once
#ifdef STARFALL_WEB  // a WebGL 2 context on the page's canvas (GLContextWeb.cpp)
struct SDL_Window;
using SDL_GLContext = void*;
#else
#include <SDL2/SDL.h>
#endif

constexpr int kRequiredMajor = 3;
constexpr int kRequiredMinor = 3;

// Asks SDL for an OpenGL 3.3 core context, double-buffered, no depth in the window.
void SetCoreContextAttributes();
// Version of the current context.
void ReadContextVersion(int& major, int& minor);
// Whether a context of that version can run the device.
bool IsVersionSufficient(int major, int minor);
// The version of the context the machine gives on window when asked for nothing in
// particular (false when it gives none); changes SDL's context attributes.
bool ReadOfferedVersion(SDL_Window* window, int& major, int& minor);
// Stops with the message naming the version found and the one required.
[[noreturn]] void ReportOldVersion(int major, int minor);

class GLContext {
public:
    GLContext() = default;
    ~GLContext();
    GLContext(const GLContext&) = delete;
    GLContext& operator=(const GLContext&) = delete;

    // Creates and makes current a core context on window; fatal when GL is too old or fails.
    void Create(SDL_Window* window);
    void MakeCurrent();
    bool IsCreated() const { return context_ != nullptr; }

private:
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
};
