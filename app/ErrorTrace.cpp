// Trace back of the latest throw: the C++ runtime's throw entry is wrapped to record the stack.
#include "app/ErrorTrace.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <atomic>
#include <cstdlib>
#include <typeinfo>

namespace {

constexpr int kMaxFrames = 48;
std::atomic<bool> g_enabled{false};
thread_local void* g_frames[kMaxFrames];
thread_local int g_frameCount = 0;

}  // namespace

extern "C" {

using CxaThrowFunction = void (*)(void*, std::type_info*, void (*)(void*));

// Every throw passes through here; the runtime's own entry does the real work.
[[noreturn]] void __cxa_throw(void* object, std::type_info* type, void (*destructor)(void*))
{
    static const auto real =
        reinterpret_cast<CxaThrowFunction>(dlsym(RTLD_NEXT, "__cxa_throw"));
    if (g_enabled.load(std::memory_order_relaxed))
        g_frameCount = backtrace(g_frames, kMaxFrames);
    if (!real)
        std::abort();
    real(object, type, destructor);
    __builtin_unreachable();
}

}  // extern "C"

void EnableThrowTraces(bool enable)
{
    g_enabled = enable;
    g_frameCount = 0;
}

std::string TakeThrowTrace()
{
    std::string text;
    if (g_frameCount <= 1)
        return text;
    // Frame 0 is the throw wrapper itself.
    char** symbols = backtrace_symbols(g_frames + 1, g_frameCount - 1);
    for (int i = 0; symbols && i < g_frameCount - 1; ++i) {
        text += symbols[i];
        text += '\n';
    }
    std::free(symbols);
    g_frameCount = 0;
    return text;
}
