// Window-shell base on the web: the page's canvas is the window, html5 key events become
// window messages, and the browser calls one pass of the loop per displayed frame.
#include "app/Application.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <deque>

#include "app/web/WebPage.h"

namespace {

Application* g_currentApplication = nullptr;
bool g_quitPosted = false;
std::deque<WindowMessage> g_pendingMessages;
bool g_keysListened = false;

const char* const kCanvas = "#canvas";

// The browser's key codes equal the virtual-key codes for letters, digits, Escape and
// the function keys, which is all the application reacts to.
EM_BOOL KeyDownFromPage(int, const EmscriptenKeyboardEvent* event, void*)
{
    const int key = static_cast<int>(event->keyCode);
    if (key <= 0 || key > 255)
        return EM_FALSE;
    g_pendingMessages.push_back(WindowMessage{WM_KEYDOWN, static_cast<uintptr_t>(key),
                                              static_cast<intptr_t>(1 | (event->repeat ? (1 << 30) : 0))});
    // F1-F12 belong to the production while it plays, not to the browser (reload, tools).
    return key >= VK_F1 && key <= VK_F12 ? EM_TRUE : EM_FALSE;
}

}  // namespace

Application* GetCurrentApplication()
{
    return g_currentApplication;
}

void PostQuitMessage(int)
{
    g_quitPosted = true;
}

bool IsQuitPosted()
{
    return g_quitPosted;
}

void ClearPostedQuitForTesting()
{
    g_quitPosted = false;
}

Application::Application(const std::string& commandLine)
    : commandLine_(commandLine)
{
    AddHandler(WM_SETCURSOR, &Application::OnSetCursor);
    AddHandler(WM_DESTROY, &Application::OnDestroy);
    AddHandler(WM_KEYDOWN, &Application::OnKeyDown);
    AddHandler(WM_COMMAND, &Application::OnCommand);
    g_currentApplication = this;
}

Application::~Application()
{
    handlers_.clear();
    if (g_keysListened) {
        emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, nullptr);
        g_keysListened = false;
    }
    g_pendingMessages.clear();
    if (g_currentApplication == this)
        g_currentApplication = nullptr;
}

void Application::AddHandler(uint32_t message, Handler handler)
{
    handlers_[message] = handler;
}

bool Application::WindowProc(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    auto it = handlers_.find(message);
    if (it != handlers_.end() && (this->*(it->second))(wParam, lParam))
        return true;
    DefaultProcessing(message, wParam, lParam);
    return false;
}

void Application::DefaultProcessing(uint32_t, uintptr_t, intptr_t)
{
}

// The canvas takes the window's size; called again once the mode is known.
bool Application::Init()
{
    emscripten_set_canvas_element_size(kCanvas, width_, height_);
    if (!g_keysListened) {
        emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, &KeyDownFromPage);
        g_keysListened = true;
    }
    videoStarted_ = true;
    windowLive_ = true;
    return true;
}

bool Application::PumpOneEvent()
{
    if (IsQuitPosted())
        return false;
    while (!g_pendingMessages.empty()) {
        const WindowMessage message = g_pendingMessages.front();
        g_pendingMessages.pop_front();
        if (!HasHandler(message.message)) {
            DefaultProcessing(message.message, message.wParam, message.lParam);
            continue;
        }
        WindowProc(message.message, message.wParam, message.lParam);
        break;
    }
    return true;
}

// Hands the loop to the browser and returns at once: each pass handles at most one
// message, then renders one frame; the page hears when the loop ends and why.
bool Application::Run()
{
    static long framesShown = 0;
    framesShown = 0;
    emscripten_set_main_loop_arg(
        [](void* argument) {
            auto* application = static_cast<Application*>(argument);
            if (WebPageStopped()) {
                emscripten_cancel_main_loop();
                return;
            }
            try {
                if (!application->PumpOneEvent()) {
                    emscripten_cancel_main_loop();
                    WebFinishRun(application, nullptr);
                    return;
                }
                application->Frame();
                WebFramePresented(framesShown++);
            } catch (...) {
                emscripten_cancel_main_loop();
                WebFinishRun(application, std::current_exception());
            }
        },
        this, 0, 0);
    return false;
}

bool Application::OnSetCursor(uintptr_t, intptr_t)
{
    return false;
}

bool Application::OnDestroy(uintptr_t, intptr_t)
{
    RequestQuit();
    return false;
}

bool Application::OnKeyDown(uintptr_t wParam, intptr_t)
{
    if (wParam == static_cast<uintptr_t>(VK_ESCAPE) || wParam == static_cast<uintptr_t>(VK_F12))
        RequestQuit();
    return false;
}

bool Application::OnCommand(uintptr_t wParam, intptr_t)
{
    return (wParam & 0xFFFFu) == SC_MONITORPOWER;
}

void Application::RequestQuit()
{
    windowLive_ = false;
    quitRequested_ = true;
    PostQuitMessage(0);
}
