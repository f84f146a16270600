// Log lines: formats each line into a fixed buffer and hands it to the process-wide callback.
#include "engine/core/Log.h"
#include <cstdarg>
#include <cstdio>
#include <utility>

static LogCallback g_logCallback = nullptr;
static thread_local DeferredLog* g_capture = nullptr;

DeferredLog::DeferredLog() : previous_(g_capture)
{
    g_capture = this;
}

DeferredLog::~DeferredLog()
{
    g_capture = previous_;
}

void SetLogCallback(LogCallback callback)
{
    g_logCallback = callback;
}

LogCallback GetLogCallback()
{
    return g_logCallback;
}

void LogLine(const char* format, ...)
{
    if ((g_logCallback == nullptr && g_capture == nullptr) || format == nullptr)
        return;
    char text[1024];
    va_list args;
    va_start(args, format);
    // vsnprintf cuts at 1023 characters and always terminates.
    if (std::vsnprintf(text, sizeof(text), format, args) < 0)
        text[0] = '\0';
    va_end(args);
    if (g_capture != nullptr)
        g_capture->Add(text);
    else
        g_logCallback(text);
}
