// Window-shell base, the part every platform shares: the current application, the quit
// message and the handler table with its default handlers.
#include "app/Application.h"

namespace {

Application* g_currentApplication = nullptr;
bool g_quitPosted = false;

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

void ForgetCurrentApplication(const Application* application)
{
    if (g_currentApplication == application)
        g_currentApplication = nullptr;
}
