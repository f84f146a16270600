// The demo application in a browser: the canvas is the window and the page's start screen the dialog.
#include "app/DemoApplication.h"

#include <emscripten.h>

#include "engine/core/Fatal.h"
#include "engine/device/DeviceTypes.h"

float DemoApplication::SystemSeconds()
{
    return static_cast<float>(emscripten_get_now() * 0.001);
}

void DemoApplication::StartVideoSystem() {}

bool DemoApplication::RunStartDialog(bool&)
{
    RaiseAppError("The start dialog is the page's start screen.");
}

void DemoApplication::FitWindowToMode()
{
    Application::Init();  // the canvas takes the mode's size
}

void DemoApplication::ShowPlayWindow() {}

bool DemoApplication::GetClientRect(ScreenRect& rect) const
{
    rect.left = 0;
    rect.top = 0;
    rect.right = width_;
    rect.bottom = height_;
    return true;
}

void DemoApplication::ShowTitle(const std::string&) {}
