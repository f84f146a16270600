// Log window as a console: lines are kept in order and printed to stderr as they arrive.
#include "app/LogWindow.h"

#include <cstdarg>

namespace {
LogWindow* g_logWindow = nullptr;
}

LogWindow* GetLogWindow()
{
    return g_logWindow;
}

LogWindow::LogWindow(std::FILE* output)
    : output_(output)
{
}

LogWindow::~LogWindow()
{
    Close();
    if (g_logWindow == this)
        g_logWindow = nullptr;
}

void LogWindow::Create()
{
    if (open_)
        return;
    open_ = true;
    g_logWindow = this;
    Log("Initing Control Window...");
    Log("Control Window Created.");
}

void LogWindow::Close()
{
    if (open_ && output_)
        std::fflush(output_);
    open_ = false;
}

void LogWindow::Log(const char* format, ...)
{
    if (!open_)
        return;
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    Append(buffer);
}

void LogWindow::Append(const char* text)
{
    lines_.emplace_back(text);
    totalLength_ += lines_.back().size() + 2;
    if (output_) {
        std::fputs(text, output_);
        std::fputc('\n', output_);
        std::fflush(output_);
    }
}

void LogWindow::Callback(const char* text)
{
    if (g_logWindow)
        g_logWindow->Log("%s", text);
}
