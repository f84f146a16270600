// Window-shell base: main window, handler table keyed by message number, message loop.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>

union SDL_Event;
struct SDL_Window;

// Message numbers of the handler table (the classic window-message numbering).
constexpr uint32_t WM_DESTROY = 0x02;
constexpr uint32_t WM_MOVE = 0x03;
constexpr uint32_t WM_SIZE = 0x05;
constexpr uint32_t WM_SETCURSOR = 0x20;
constexpr uint32_t WM_KEYDOWN = 0x100;
constexpr uint32_t WM_COMMAND = 0x111;
// Command code of the monitor-power request (swallowed while the production plays).
constexpr uint32_t SC_MONITORPOWER = 0xF170;

// Virtual-key codes used by the application.
constexpr int VK_ESCAPE = 27;
constexpr int VK_F1 = 112;
constexpr int VK_F9 = 120;
constexpr int VK_F12 = 123;

struct WindowMessage {
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// Virtual-key code of an SDL key (letters, digits, F1-F24, arrows, common keys); 0 when none.
int VirtualKeyFromSdl(int sdlKeycode);
// The message an SDL event stands for, if any.
std::optional<WindowMessage> TranslateEvent(const SDL_Event& event);

// The quit message of the loop: posted once, fetched by Run.
void PostQuitMessage(int exitCode);
bool IsQuitPosted();
void ClearPostedQuitForTesting();

class Application {
public:
    using Handler = bool (Application::*)(uintptr_t wParam, intptr_t lParam);

    explicit Application(const std::string& commandLine);
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Slot order of the virtual operations is part of the design; keep it.
    virtual bool Run();
    virtual bool Init();
    virtual void Frame() {}
    virtual bool OnSetCursor(uintptr_t wParam, intptr_t lParam);
    virtual bool OnDestroy(uintptr_t wParam, intptr_t lParam);
    virtual bool OnKeyDown(uintptr_t wParam, intptr_t lParam);
    virtual bool OnCommand(uintptr_t wParam, intptr_t lParam);

    // The window procedure: true when a handler took the message (the default
    // processing is then skipped).
    bool WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam);

    void AddHandler(uint32_t message, Handler handler);
    bool HasHandler(uint32_t message) const { return handlers_.count(message) != 0; }

    const std::string& GetCommandLine() const { return commandLine_; }
    const std::string& GetWindowTitle() const { return windowTitle_; }
    SDL_Window* GetWindow() const { return window_; }
    bool IsQuitRequested() const { return quitRequested_; }
    bool IsWindowLive() const { return windowLive_; }
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    bool IsWindowed() const { return windowed_; }

protected:
    void RequestQuit();
    // Default handling of messages no handler took.
    void DefaultProcessing(uint32_t message, uintptr_t wParam, intptr_t lParam);
    // Handles at most one pending message that has a handler, taking every event before
    // it that has none; false when the quit message was fetched.
    bool PumpOneEvent();

    std::string commandLine_;
    std::string windowTitle_;
    SDL_Window* window_ = nullptr;
    bool quitRequested_ = false;
    int width_ = 640;
    int height_ = 480;
    bool windowed_ = false;
    std::map<uint32_t, Handler> handlers_;
    std::string windowClassName_ = "Vireo";
    bool windowLive_ = false;
    bool videoStarted_ = false;
};

// The one current application (set by the base constructor, cleared by its destructor).
Application* GetCurrentApplication();
// The destructor's part: application stops being the current one.
void ForgetCurrentApplication(const Application* application);
