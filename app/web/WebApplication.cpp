// Window-shell base on the web: the page's canvas is the window, html5 key events become
// window messages, and the browser calls one pass of the loop per displayed frame.
#include "app/Application.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <deque>

#include "app/web/WebPage.h"

namespace {

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

Application::~Application()
{
    handlers_.clear();
    if (g_keysListened) {
        emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, nullptr);
        g_keysListened = false;
    }
    g_pendingMessages.clear();
    ForgetCurrentApplication(this);
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

