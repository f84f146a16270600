// Window-shell base on SDL2: events become window messages, one message then one frame per pass.
#include "app/Application.h"

#include <SDL.h>

#include "engine/core/ExceptionGuard.h"
#include "engine/core/Fatal.h"

namespace {

intptr_t MakeLParam(int low, int high)
{
    return static_cast<intptr_t>((static_cast<uint32_t>(low) & 0xFFFFu) |
                                 ((static_cast<uint32_t>(high) & 0xFFFFu) << 16));
}

}  // namespace

int VirtualKeyFromSdl(int key)
{
    if (key >= SDLK_a && key <= SDLK_z)
        return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9)
        return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return 112 + (key - SDLK_F1);
    if (key >= SDLK_F13 && key <= SDLK_F24)
        return 124 + (key - SDLK_F13);
    switch (key) {
    case SDLK_ESCAPE: return 27;
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    case SDLK_RETURN: return 13;
    case SDLK_KP_ENTER: return 13;
    case SDLK_SPACE: return 32;
    case SDLK_PAGEUP: return 33;
    case SDLK_PAGEDOWN: return 34;
    case SDLK_END: return 35;
    case SDLK_HOME: return 36;
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    case SDLK_INSERT: return 45;
    case SDLK_DELETE: return 46;
    case SDLK_PAUSE: return 19;
    default: return 0;
    }
}

std::optional<WindowMessage> TranslateEvent(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_QUIT:
        return WindowMessage{WM_DESTROY, 0, 0};
    case SDL_KEYDOWN: {
        const int vk = VirtualKeyFromSdl(event.key.keysym.sym);
        if (vk == 0)
            return std::nullopt;
        // Bit 30 of lParam: the key was already down (auto-repeat); repeat count 1.
        return WindowMessage{WM_KEYDOWN, static_cast<uintptr_t>(vk),
                             static_cast<intptr_t>(1 | (event.key.repeat ? (1 << 30) : 0))};
    }
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            return WindowMessage{WM_DESTROY, 0, 0};
        case SDL_WINDOWEVENT_MOVED:
            return WindowMessage{WM_MOVE, 0, MakeLParam(event.window.data1, event.window.data2)};
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            return WindowMessage{WM_SIZE, 0, MakeLParam(event.window.data1, event.window.data2)};
        case SDL_WINDOWEVENT_ENTER:
            // The pointer entered the client area: the moment the cursor shape is chosen.
            return WindowMessage{WM_SETCURSOR, 0, 1};
        default:
            return std::nullopt;
        }
    default:
        return std::nullopt;
    }
}

Application::~Application()
{
    handlers_.clear();
    if (window_) {
        SDL_DestroyWindow(window_);
        window_ = nullptr;
    }
    if (videoStarted_) {
        SDL_EnableScreenSaver();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    ForgetCurrentApplication(this);
}

void Application::DefaultProcessing(uint32_t, uintptr_t, intptr_t)
{
    // SDL already did the platform's default work before the event was queued.
}

bool Application::Init()
{
    if (!videoStarted_) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            RaiseAppError("Unable to register Window Class");
        videoStarted_ = true;
    }
    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
    if (windowed_)
        flags |= SDL_WINDOW_RESIZABLE;
    else
        flags |= SDL_WINDOW_BORDERLESS;
    window_ = SDL_CreateWindow(windowTitle_.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               width_, height_, flags);
    if (!window_)
        RaiseAppError("Can't create main Window");
    // Neither the screen saver nor display power-off may interrupt the production.
    SDL_DisableScreenSaver();
    // Events that can never become a handled message are not even queued.
    for (Uint32 type : {SDL_MOUSEMOTION, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP, SDL_MOUSEWHEEL, SDL_KEYUP,
                        SDL_TEXTINPUT, SDL_TEXTEDITING, SDL_FINGERDOWN, SDL_FINGERUP, SDL_FINGERMOTION})
        SDL_EventState(type, SDL_IGNORE);
    SDL_ShowCursor(SDL_DISABLE);
    windowLive_ = true;
    return true;
}

bool Application::PumpOneEvent()
{
    if (IsQuitPosted())
        return false;
    if (!SDL_WasInit(SDL_INIT_EVENTS))
        return true;
    // Events that no handler takes are taken in the same pass: SDL does not merge mouse
    // motion, and a backlog of it must not delay a key by one frame per event. (Peeking
    // after one pump, unlike polling, never stops early at the end of an older pump.)
    SDL_PumpEvents();
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
        const auto message = TranslateEvent(event);
        if (!message)
            continue;
        if (!HasHandler(message->message)) {
            DefaultProcessing(message->message, message->wParam, message->lParam);
            continue;
        }
        WindowProc(message->message, message->wParam, message->lParam);
        break;
    }
    return true;
}

bool Application::Run()
{
    RunGuarded([this] {
        while (PumpOneEvent())
            Frame();
    });
    return false;
}

bool Application::OnSetCursor(uintptr_t, intptr_t)
{
    SDL_ShowCursor(SDL_DISABLE);
    return false;
}
