// Fatal errors: the two error kinds, their raising routines and the pending library error.
#pragma once
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Application error (shell, archive, missing driver, processor fault): shown in the
// exception dialog.
class AppError : public std::runtime_error {
public:
    explicit AppError(const std::string& text) : std::runtime_error(text) {}
    // A processor fault: faultTrace holds the code addresses of the faulting thread at the
    // fault, innermost first (empty when no trace could be taken).
    AppError(const std::string& text, std::vector<void*> faultTrace)
        : std::runtime_error(text), processorFault_(true), faultTrace_(std::move(faultTrace)) {}

    bool IsProcessorFault() const { return processorFault_; }
    const std::vector<void*>& GetFaultTrace() const { return faultTrace_; }

private:
    bool processorFault_ = false;
    std::vector<void*> faultTrace_;
};

// Library error raised by everything in the engine: shown in the error dialog.
class CUserException : public std::runtime_error {
public:
    explicit CUserException(const std::string& text) : std::runtime_error(text) {}
};

// Formats into the application's 1024-byte buffer (cut, never overrun), writes the
// text to the debugger output (stderr) and throws AppError.
[[noreturn]] void RaiseAppError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// As RaiseAppError with a plain text, for a processor fault and the trace taken at it.
[[noreturn]] void RaiseProcessorFault(const char* text, std::vector<void*> faultTrace);

// Formats into the library's 2048-byte buffer (cut, never overrun), writes it to the
// debugger output, sets the pending flag and throws CUserException.
[[noreturn]] void ReportFatal(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Raises error again with place on a line of its own after its text, which stays as it
// was (the place says where in the script or in which layer it happened).
[[noreturn]] void ReraiseWithPlace(const CUserException& error, const std::string& place);

// Set by ReportFatal and never cleared; the last message stays readable. Each thread has
// its own message and flag.
bool IsLibraryErrorPending();
const char* GetLibraryLastMessage();
// Forgets the pending library error and its message (tests only).
void ClearLibraryErrorForTesting();
// The application's last formatted message (what the last RaiseAppError threw).
const char* GetAppLastMessage();

// "Debugger output": the platform's diagnostic channel (stderr here).
void DebugOutput(const char* text);

// While alive, the errors its thread raises are thrown without being written to the
// debugger output: for a worker whose failures the main thread repeats and reports itself.
class QuietFatalErrors {
public:
    QuietFatalErrors();
    ~QuietFatalErrors();
    QuietFatalErrors(const QuietFatalErrors&) = delete;
    QuietFatalErrors& operator=(const QuietFatalErrors&) = delete;

private:
    bool previous_;
};
