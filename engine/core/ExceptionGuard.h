// Processor-exception guard: turns signals raised inside a guarded call into fatal errors.
#pragma once
#include <functional>

// Runs body; a SIGSEGV/SIGBUS/SIGFPE/SIGILL/SIGTRAP (stack overflow included, handled
// on an alternate stack) inside it leaves body and is rethrown as CUserException with
// the library's last message when a library error is pending, else as AppError with
// the exception's name ("Access Violation.", "Integer divided by Zero.", ...) carrying the
// stack taken in the signal handler (empty when the unwinder could not walk it).
// C++ exceptions thrown by body pass through unchanged. Guards may nest; the innermost
// one catches. Objects of body's frames are abandoned, not destroyed: the process is
// expected to end after the error is shown.
void RunGuarded(const std::function<void()>& body);

// The name of a processor exception given as signal number and si_code; stackOverflow
// marks a SIGSEGV whose address lies in the stack's guard area.
const char* ProcessorExceptionText(int signalNumber, int code, bool stackOverflow);
