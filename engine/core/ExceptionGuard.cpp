// Processor-exception guard: signal handlers on an alternate stack jump out of the guarded call.
#include "engine/core/ExceptionGuard.h"
#include <execinfo.h>
#include <pthread.h>
#include <ucontext.h>
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <string>
#include <vector>
#include "engine/core/Fatal.h"

static const int g_guardedSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP};
constexpr int GuardedSignalCount = sizeof(g_guardedSignals) / sizeof(g_guardedSignals[0]);

constexpr int kMaxFaultFrames = 48;

// The innermost active guard of this thread and what its handler saw.
struct GuardFrame {
    sigjmp_buf jump;
    GuardFrame* outer = nullptr;
    uintptr_t stackLow = 0;   // lowest usable stack address of the thread
    volatile sig_atomic_t signalNumber = 0;
    volatile sig_atomic_t code = 0;
    volatile sig_atomic_t stackOverflow = 0;
    // The faulting thread's stack at the fault, innermost first.
    void* faultFrames[kMaxFaultFrames] = {};
    int faultFrameCount = 0;
};
static thread_local GuardFrame* t_activeGuard = nullptr;

const char* ProcessorExceptionText(int signalNumber, int code, bool stackOverflow)
{
    switch (signalNumber) {
    case SIGSEGV:
        return stackOverflow ? "Stack Overflow." : "Access Violation.";
    case SIGBUS:
        if (code == BUS_ADRALN)
            return "EXCEPTION_DATATYPE_MISALIGNMENT";
        if (code == BUS_ADRERR || code == BUS_OBJERR)
            return "EXCEPTION_IN_PAGE_ERROR";
        break;
    case SIGFPE:
        switch (code) {
        case FPE_INTDIV: return "Integer divided by Zero.";
        case FPE_INTOVF: return "Integer Overflow.";
        case FPE_FLTDIV: return "Floating Point : Division by Zero";
        // Floating-point overflow has no text of its own.
        case FPE_FLTOVF: return "Floating Point : Invalid Operation.";
        case FPE_FLTINV: return "Floating Point : Invalid Operation.";
        case FPE_FLTUND: return "Floating Point : Underflow.";
        case FPE_FLTRES: return "Floating Point : Inexact Result.";
        case FPE_FLTSUB: return "EXCEPTION_ARRAY_BOUNDS_EXCEEDED";
        default: break;
        }
        break;
    case SIGILL:
        if (code == ILL_PRVOPC || code == ILL_PRVREG)
            return "EXCEPTION_PRIV_INSTRUCTION";
        return "Illegal Instruction.";
    case SIGTRAP:
        if (code == TRAP_TRACE)
            return "EXCEPTION_SINGLE_STEP";
        // An int3 instruction arrives as SI_KERNEL on x86.
        if (code == TRAP_BRKPT || code == SI_KERNEL)
            return "EXCEPTION_BREAKPOINT";
        break;
    default:
        break;
    }
    return "Unhandled Exception.";
}

// The address of the faulting instruction, 0 where the machine context is not known here.
static uintptr_t FaultAddress(void* context)
{
    const auto* machine = static_cast<const ucontext_t*>(context);
#if defined(__x86_64__)
    return static_cast<uintptr_t>(machine->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    return static_cast<uintptr_t>(machine->uc_mcontext.pc);
#else
    (void)machine;
    return 0;
#endif
}

// Takes the stack as it was at the fault: the handler's own frames and the signal
// trampoline are dropped, so the first frame is the faulting instruction.
static void RecordFaultTrace(GuardFrame& guard, void* context)
{
    void* frames[kMaxFaultFrames + 4];
    const int count = backtrace(frames, kMaxFaultFrames + 4);
    const uintptr_t fault = FaultAddress(context);
    int first = -1;
    for (int i = 0; i < count && first < 0; ++i)
        if (fault != 0 && reinterpret_cast<uintptr_t>(frames[i]) == fault)
            first = i;
    guard.faultFrameCount = 0;
    if (first < 0)
        return;  // the unwinder did not get through the signal frame: no trace
    for (int i = first; i < count && guard.faultFrameCount < kMaxFaultFrames; ++i)
        guard.faultFrames[guard.faultFrameCount++] = frames[i];
}

static void GuardHandler(int signalNumber, siginfo_t* info, void* context)
{
    GuardFrame* guard = t_activeGuard;
    if (guard == nullptr) {
        // Not inside a guarded call (another thread): let the default action end the process.
        signal(signalNumber, SIG_DFL);
        raise(signalNumber);
        return;
    }
    guard->signalNumber = signalNumber;
    guard->code = info->si_code;
    // A stack overflow faults just below the thread's lowest stack page (the guard area).
    uintptr_t address = reinterpret_cast<uintptr_t>(info->si_addr);
    guard->stackOverflow = signalNumber == SIGSEGV && guard->stackLow != 0 &&
                           address + 1024 * 1024 >= guard->stackLow && address < guard->stackLow + 64 * 1024;
    RecordFaultTrace(*guard, context);
    siglongjmp(guard->jump, 1);
}

static uintptr_t ThreadStackLow()
{
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0)
        return 0;
    void* address = nullptr;
    size_t size = 0;
    uintptr_t low = 0;
    if (pthread_attr_getstack(&attributes, &address, &size) == 0)
        low = reinterpret_cast<uintptr_t>(address);
    pthread_attr_destroy(&attributes);
    return low;
}

// Installs the handlers and the alternate stack for the guard's lifetime.
class GuardInstallation {
public:
    GuardInstallation() : alternateStack_(256 * 1024)
    {
        // The unwinder loads its library and allocates on first use; that must not
        // happen for the first time inside a signal handler.
        static const bool unwinderReady = [] {
            void* frame[1];
            return backtrace(frame, 1) >= 0;
        }();
        (void)unwinderReady;
        stack_t stack{};
        stack.ss_sp = alternateStack_.data();
        stack.ss_size = alternateStack_.size();
        stack.ss_flags = 0;
        sigaltstack(&stack, &previousStack_);
        struct sigaction action {};
        action.sa_sigaction = GuardHandler;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        for (int i = 0; i < GuardedSignalCount; ++i)
            sigaction(g_guardedSignals[i], &action, &previousActions_[i]);
    }
    ~GuardInstallation()
    {
        for (int i = 0; i < GuardedSignalCount; ++i)
            sigaction(g_guardedSignals[i], &previousActions_[i], nullptr);
        sigaltstack(&previousStack_, nullptr);
    }
    GuardInstallation(const GuardInstallation&) = delete;
    GuardInstallation& operator=(const GuardInstallation&) = delete;

private:
    std::vector<char> alternateStack_;
    stack_t previousStack_{};
    struct sigaction previousActions_[GuardedSignalCount] {};
};

// Kept out of line so that sigsetjmp's frame holds no object with a destructor.
static bool RunBody(GuardFrame& guard, const std::function<void()>& body)
{
    if (sigsetjmp(guard.jump, 1) != 0)
        return false;
    body();
    return true;
}

void RunGuarded(const std::function<void()>& body)
{
    GuardFrame guard;
    guard.outer = t_activeGuard;
    guard.stackLow = ThreadStackLow();
    bool completed = false;
    {
        GuardInstallation installation;
        t_activeGuard = &guard;
        try {
            completed = RunBody(guard, body);
        } catch (...) {
            t_activeGuard = guard.outer;
            throw;
        }
        t_activeGuard = guard.outer;
    }
    if (completed)
        return;
    if (IsLibraryErrorPending())
        throw CUserException(std::string(GetLibraryLastMessage()));
    RaiseProcessorFault(ProcessorExceptionText(guard.signalNumber, guard.code, guard.stackOverflow != 0),
                        std::vector<void*>(guard.faultFrames, guard.faultFrames + guard.faultFrameCount));
}
