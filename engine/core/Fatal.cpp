// Fatal errors: formats the message into its fixed buffer, reports it and throws.
#include "engine/core/Fatal.h"
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

// Per thread: an error is formatted, thrown and reported on the thread that raised it, so a
// worker's failure never overwrites the main thread's message.
static thread_local char g_appMessage[1024];
static thread_local char g_libraryMessage[2048];
static thread_local bool g_libraryErrorPending = false;
static thread_local bool g_quiet = false;

QuietFatalErrors::QuietFatalErrors() : previous_(g_quiet)
{
    g_quiet = true;
}

QuietFatalErrors::~QuietFatalErrors()
{
    g_quiet = previous_;
}

static void FormatInto(char* buffer, size_t size, const char* format, va_list args)
{
    if (format == nullptr || std::vsnprintf(buffer, size, format, args) < 0)
        buffer[0] = '\0';
}

void RaiseAppError(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatInto(g_appMessage, sizeof(g_appMessage), format, args);
    va_end(args);
    DebugOutput(g_appMessage);
    throw AppError(g_appMessage);
}

void RaiseProcessorFault(const char* text, std::vector<void*> faultTrace)
{
    std::snprintf(g_appMessage, sizeof(g_appMessage), "%s", text ? text : "");
    DebugOutput(g_appMessage);
    throw AppError(g_appMessage, std::move(faultTrace));
}

void ReportFatal(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatInto(g_libraryMessage, sizeof(g_libraryMessage), format, args);
    va_end(args);
    DebugOutput(g_libraryMessage);
    g_libraryErrorPending = true;
    throw CUserException(g_libraryMessage);
}

void ReraiseWithPlace(const CUserException& error, const std::string& place)
{
    const std::string text = error.what();  // may be this very buffer
    std::snprintf(g_libraryMessage, sizeof(g_libraryMessage), "%s\r\n%s", text.c_str(), place.c_str());
    g_libraryErrorPending = true;
    throw CUserException(g_libraryMessage);
}

bool IsLibraryErrorPending()
{
    return g_libraryErrorPending;
}

const char* GetLibraryLastMessage()
{
    return g_libraryMessage;
}

void ClearLibraryErrorForTesting()
{
    g_libraryErrorPending = false;
    g_libraryMessage[0] = '\0';
}

const char* GetAppLastMessage()
{
    return g_appMessage;
}

void DebugOutput(const char* text)
{
    if (text == nullptr || g_quiet)
        return;
    std::fputs(text, stderr);
    size_t length = std::strlen(text);
    // Keep the diagnostic stream line-oriented even for texts without a line end.
    if (length == 0 || text[length - 1] != '\n')
        std::fputc('\n', stderr);
    std::fflush(stderr);
}
