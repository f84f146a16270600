// Tests of the processor-exception guard: real faults inside a guarded call become the right errors.
#include <gtest/gtest.h>
#include <csignal>
#include <cstdint>
#include <functional>
#include <vector>
#include <stdexcept>
#include "engine/core/ExceptionGuard.h"
#include "engine/core/Fatal.h"

namespace {

volatile int g_sink = 0;

// Opaque to the optimiser and out of the sanitizer's reach, so the processor itself
// raises the fault; results go to g_sink so no call can be dropped.
__attribute__((noipa, no_sanitize("undefined"))) int Divide(int numerator, int denominator)
{
    return numerator / denominator;
}

__attribute__((noipa, no_sanitize("address", "undefined"))) void WriteThrough(int* target)
{
    *static_cast<volatile int*>(target) = 1;
}

volatile bool g_stopRecursion = false;

__attribute__((noipa, no_sanitize("address"))) int Recurse(int depth)
{
    if (g_stopRecursion)
        return 0;
    volatile char block[1024];
    block[0] = static_cast<char>(depth);
    return Recurse(depth + 1) + block[0];
}

std::string GuardedText(const std::function<void()>& body)
{
    try {
        RunGuarded(body);
    } catch (const AppError& error) {
        return std::string("AppError: ") + error.what();
    } catch (const CUserException& error) {
        return std::string("CUserException: ") + error.what();
    }
    return "completed";
}

} // namespace

TEST(ExceptionGuard, ProcessorFaultsBecomeApplicationErrorsWithTheirNames)
{
    ClearLibraryErrorForTesting();
    volatile int zero = 0;
    EXPECT_EQ(GuardedText([&] { g_sink = Divide(7, zero); }), "AppError: Integer divided by Zero.");
    EXPECT_EQ(GuardedText([] { WriteThrough(nullptr); }), "AppError: Access Violation.");
    EXPECT_EQ(GuardedText([] { __builtin_trap(); }), "AppError: Illegal Instruction.");
    EXPECT_EQ(GuardedText([] { std::raise(SIGBUS); }), "AppError: Unhandled Exception.");
    // The guard can be used again after a fault, and a clean body completes.
    EXPECT_EQ(GuardedText([&] { g_sink = Divide(7, zero); }), "AppError: Integer divided by Zero.");
    int result = 0;
    EXPECT_EQ(GuardedText([&] { result = Divide(8, 2); }), "completed");
    EXPECT_EQ(result, 4);
}

TEST(ExceptionGuard, StackOverflowIsCaughtOnTheAlternateStack)
{
    ClearLibraryErrorForTesting();
    EXPECT_EQ(GuardedText([] { g_sink = Recurse(0); }), "AppError: Stack Overflow.");
}

TEST(ExceptionGuard, AFaultCarriesTheStackTakenAtTheFaultNotWhereItWasReported)
{
    ClearLibraryErrorForTesting();
    volatile int zero = 0;
    struct Case {
        const char* name;
        std::function<void()> body;
        uintptr_t function;  // where the faulting instruction lies (both are a few bytes long)
    } cases[] = {
        {"division", [&] { g_sink = Divide(7, zero); }, reinterpret_cast<uintptr_t>(&Divide)},
        {"write", [] { WriteThrough(nullptr); }, reinterpret_cast<uintptr_t>(&WriteThrough)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            RunGuarded(c.body);
            ADD_FAILURE() << "no fault";
        } catch (const AppError& error) {
            EXPECT_TRUE(error.IsProcessorFault());
            const std::vector<void*>& trace = error.GetFaultTrace();
            ASSERT_GE(trace.size(), 2u);
            const uintptr_t first = reinterpret_cast<uintptr_t>(trace[0]);
            EXPECT_GE(first, c.function);
            EXPECT_LT(first, c.function + 64);
        }
    }
    // Errors that are not faults carry no fault trace.
    try {
        RaiseAppError("Can't create main Window");
    } catch (const AppError& error) {
        EXPECT_FALSE(error.IsProcessorFault());
        EXPECT_TRUE(error.GetFaultTrace().empty());
    }
}

TEST(ExceptionGuard, PendingLibraryErrorWinsAndCppExceptionsPassThrough)
{
    ClearLibraryErrorForTesting();
    try {
        ReportFatal("Cannot open file [%s].", "sol.mdl");
    } catch (const CUserException&) {
    }
    volatile int zero = 0;
    EXPECT_EQ(GuardedText([&] { g_sink = Divide(1, zero); }), "CUserException: Cannot open file [sol.mdl].");
    ClearLibraryErrorForTesting();

    EXPECT_THROW(RunGuarded([] { throw std::logic_error("plain"); }), std::logic_error);
    EXPECT_EQ(GuardedText([] { ReportFatal("Unknown layer [%s].", "Foo"); }), "CUserException: Unknown layer [Foo].");
    ClearLibraryErrorForTesting();
}

TEST(ExceptionGuard, InnermostGuardCatchesAndHandlersAreRestored)
{
    ClearLibraryErrorForTesting();
    struct sigaction before {};
    sigaction(SIGFPE, nullptr, &before);
    volatile int zero = 0;
    std::string inner;
    std::string outer = GuardedText([&] {
        inner = GuardedText([&] { g_sink = Divide(3, zero); });
        WriteThrough(nullptr);
    });
    EXPECT_EQ(inner, "AppError: Integer divided by Zero.");
    EXPECT_EQ(outer, "AppError: Access Violation.");
    struct sigaction after {};
    sigaction(SIGFPE, nullptr, &after);
    EXPECT_EQ(reinterpret_cast<void*>(after.sa_sigaction), reinterpret_cast<void*>(before.sa_sigaction));
}

TEST(ExceptionGuard, SignalCodesMapToTheTableOfNames)
{
    EXPECT_STREQ(ProcessorExceptionText(SIGSEGV, SEGV_MAPERR, false), "Access Violation.");
    EXPECT_STREQ(ProcessorExceptionText(SIGSEGV, SEGV_ACCERR, true), "Stack Overflow.");
    EXPECT_STREQ(ProcessorExceptionText(SIGFPE, FPE_INTDIV, false), "Integer divided by Zero.");
    EXPECT_STREQ(ProcessorExceptionText(SIGFPE, FPE_INTOVF, false), "Integer Overflow.");
    EXPECT_STREQ(ProcessorExceptionText(SIGFPE, FPE_FLTDIV, false), "Floating Point : Division by Zero");
    EXPECT_STREQ(ProcessorExceptionText(SIGFPE, FPE_FLTOVF, false), "Floating Point : Invalid Operation.");
    EXPECT_STREQ(ProcessorExceptionText(SIGFPE, FPE_FLTINV, false), "Floating Point : Invalid Operation.");
    EXPECT_STREQ(ProcessorExceptionText(SIGFPE, FPE_FLTUND, false), "Floating Point : Underflow.");
    EXPECT_STREQ(ProcessorExceptionText(SIGFPE, FPE_FLTRES, false), "Floating Point : Inexact Result.");
    EXPECT_STREQ(ProcessorExceptionText(SIGFPE, SI_USER, false), "Unhandled Exception.");
    EXPECT_STREQ(ProcessorExceptionText(SIGILL, ILL_ILLOPN, false), "Illegal Instruction.");
    EXPECT_STREQ(ProcessorExceptionText(SIGILL, ILL_PRVOPC, false), "EXCEPTION_PRIV_INSTRUCTION");
    EXPECT_STREQ(ProcessorExceptionText(SIGBUS, BUS_ADRALN, false), "EXCEPTION_DATATYPE_MISALIGNMENT");
    EXPECT_STREQ(ProcessorExceptionText(SIGBUS, BUS_OBJERR, false), "EXCEPTION_IN_PAGE_ERROR");
    EXPECT_STREQ(ProcessorExceptionText(SIGTRAP, TRAP_BRKPT, false), "EXCEPTION_BREAKPOINT");
    EXPECT_STREQ(ProcessorExceptionText(SIGTRAP, TRAP_TRACE, false), "EXCEPTION_SINGLE_STEP");
    EXPECT_STREQ(ProcessorExceptionText(SIGTERM, 0, false), "Unhandled Exception.");
}
