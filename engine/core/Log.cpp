// Log lines: formats each line into a fixed buffer and hands it to the process-wide callback.
#include "engine/core/Log.h"
#include <cstdarg>
#include <cstdio>

static LogCallback g_logCallback = nullptr;

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
    if (g_logCallback == nullptr || format == nullptr)
        return;
    char text[1024];
    va_list args;
    va_start(args, format);
    // vsnprintf cuts at 1023 characters and always terminates.
    if (std::vsnprintf(text, sizeof(text), format, args) < 0)
        text[0] = '\0';
    va_end(args);
    g_logCallback(text);
}
