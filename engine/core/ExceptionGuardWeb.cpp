// Processor-exception guard of the web build: WebAssembly has no signals, so the body runs
// as it is; a trap (division by zero, out-of-bounds access) reaches the page as a
// RuntimeError, which names it with the same texts (app/web/starfall-page.js).
#include "engine/core/ExceptionGuard.h"

void RunGuarded(const std::function<void()>& body)
{
    body();
}

const char* ProcessorExceptionText(int, int, bool)
{
    return "Unhandled Exception.";
}
