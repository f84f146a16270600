// Processor-exception guard: turns signals raised inside a guarded call into fatal errors.
#pragma once
#include <functional>

// Runs body; a SIGSEGV/SIGBUS/SIGFPE/SIGILL/SIGTRAP (stack overflow included, handled
// on an alternate stack) inside it leaves body and is rethrown as CUserException with
// the library's last message when a library error is pending, else as AppError with
// the exception's name ("Access Violation.", "Integer divided by Zero.", ...).
void RunGuarded(const std::function<void()>& body);
