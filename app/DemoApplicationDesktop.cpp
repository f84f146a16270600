// The demo application's desktop side: SDL's video system, the start dialog, the window.
#include "app/DemoApplication.h"

#include <SDL.h>

#include "app/StartDialog.h"
#include "engine/core/Fatal.h"
#include "engine/device/DeviceTypes.h"

float DemoApplication::SystemSeconds()
{
    return static_cast<float>(SDL_GetTicks()) * 0.001f;
}

void DemoApplication::StartVideoSystem()
{
    if (videoStarted_)
        return;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        RaiseAppError("Unable to register Window Class");
    videoStarted_ = true;
}

bool DemoApplication::RunStartDialog(bool& fullScreen)
{
    StartDialog dialog;
    if (!dialog.Run(*device_, windowTitle_))
        return false;
    fullScreen = dialog.IsFullScreen();
    return true;
}

void DemoApplication::FitWindowToMode()
{
    // SDL sizes the client area itself; the window keeps its position.
    SDL_SetWindowSize(window_, width_, height_);
}

void DemoApplication::ShowPlayWindow()
{
    SDL_ShowWindow(window_);
    SDL_ShowCursor(SDL_DISABLE);
}

bool DemoApplication::GetClientRect(ScreenRect& rect) const
{
    if (!window_)
        return false;
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(window_, &x, &y);
    SDL_GetWindowSize(window_, &w, &h);
    rect.left = x;
    rect.top = y;
    rect.right = x + w;
    rect.bottom = y + h;
    return true;
}

void DemoApplication::ShowTitle(const std::string& title)
{
    if (window_ && shownTitle_ != title) {
        shownTitle_ = title;
        SDL_SetWindowTitle(window_, title.c_str());
    }
}
