// Shared piece of the fuzz targets: a guard that swallows the engine's fatal errors.
#pragma once
#include "engine/core/Fatal.h"
#include "support/MemoryArchive.h"

// Runs body; the engine's fatal errors (AppError, CUserException) are the expected answer
// to a bad file and end the input quietly. Anything else escapes and the fuzzer reports it.
template <typename Body>
void IgnoringFatalErrors(Body&& body)
{
    try {
        body();
    } catch (const AppError&) {
    } catch (const CUserException&) {
    }
    ClearLibraryErrorForTesting();
}
