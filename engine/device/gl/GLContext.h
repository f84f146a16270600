// OpenGL context on an SDL window: attributes, creation with the version check, swap interval (internal).
#pragma once
#include <SDL2/SDL.h>

constexpr int kRequiredMajor = 3;
constexpr int kRequiredMinor = 3;

// Asks SDL for an OpenGL 3.3 core context, double-buffered, no depth in the window.
void SetCoreContextAttributes();
// Version of the current context.
void ReadContextVersion(int& major, int& minor);

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
