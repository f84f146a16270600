// Process entry: options, display check, the error guard around the application, exit status.
#include "app/ProcessEntry.h"

#include <SDL.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "app/Application.h"
#include "app/ChildProcess.h"
#include "app/CommandLine.h"
#include "app/DemoApplication.h"
#include "app/ErrorDialogs.h"
#include "app/ErrorTrace.h"
#include "app/FixedStepClock.h"
#include "app/Production.h"
#include "engine/core/Clock.h"
#include "engine/core/ExceptionGuard.h"
#include "engine/core/Fatal.h"
#include "engine/core/File.h"
#include "engine/core/Interrupt.h"
#include "pak/EmbeddedResource.h"

namespace {

bool EnvironmentSet(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

// A full-screen window would cover the error dialog; the report must be seen.
void HideMainWindow()
{
    if (Application* application = GetCurrentApplication()) {
        if (application->GetWindow())
            SDL_HideWindow(application->GetWindow());
    }
}

void OnStopSignal(int signalNumber)
{
    if (InterruptRequested() == 0) {
        RequestInterrupt(signalNumber);
        return;
    }
    // A second stop, of either kind, ends the process at once, and its helpers with it.
    ChildProcess::KillAllForExit();
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signalNumber, &fallback, nullptr);
    raise(signalNumber);  // delivered as the handler returns
}

// Shows the dialog for an error that escaped (the one of the kind it is).
void ReportEscapedError(const std::exception_ptr& escaped)
{
    const int systemError = errno;
    HideMainWindow();
    try {
        std::rethrow_exception(escaped);
    } catch (const AppError& error) {
        // A fault's own stack, not the guard's throw that reported it.
        std::string trace = TakeThrowTrace();
        if (error.IsProcessorFault())
            trace = DescribeFaultTrace(error.GetFaultTrace());
        ShowExceptionDialog(error.what(), systemError, trace);
    } catch (const CUserException& error) {
        ShowErrorDialog(error.what());
    } catch (...) {
        if (IsLibraryErrorPending())
            ShowErrorDialog(GetLibraryLastMessage());
        else
            ShowExceptionDialog("Unhandled Exception.", systemError, TakeThrowTrace());
    }
}

// An error that cannot travel up to the entry (thrown out of a destructor, which ends
// the program through std::terminate) is still reported, then the process ends.
[[noreturn]] void ReportTerminate()
{
    static bool reporting = false;
    if (!reporting) {
        reporting = true;
        if (std::exception_ptr escaped = std::current_exception())
            ReportEscapedError(escaped);
        else
            ShowExceptionDialog("Unhandled Exception.", errno, TakeThrowTrace());
    }
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(kExitFatalError);
}

// Creates, initialises, runs and destroys the application inside the error guard, which
// also turns processor faults anywhere in start-up, the loop and shut-down into errors.
// After an error the application is left as it is: tearing down half-started
// subsystems could only add confusion to the report.
int RunApplication(const CommandLineOptions& options, FixedStepCounter* fixedStep)
{
    int status = kExitNormal;
    try {
        RunGuarded([&] {
            auto* application = new DemoApplication(options, fixedStep);
            application->Init();
            application->Run();
            if (application->EndedWithUsageError())
                status = kExitUsage;
            delete application;
            if (options.fileList)
                WriteFileList("FileList.txt");
        });
    } catch (const Interrupted& stop) {
        // Stopped from outside while loading: no report, only the display given back.
        RestoreDisplay();
        status = kExitSignalBase + stop.GetSignal();
    } catch (...) {
        ReportEscapedError(std::current_exception());
        status = kExitFatalError;
    }
    PostQuitMessage(0);
    return status;
}

}  // namespace

void InstallStopSignals()
{
    // SDL would turn the signals into a quit event (a normal end); ours say how it ended.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    struct sigaction action {};
    action.sa_handler = &OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A launcher may leave SIGCHLD ignored, and then the kernel reaps helper programs
    // itself: their exit status (did the encoder succeed?) would be lost.
    struct sigaction child {};
    child.sa_handler = SIG_DFL;
    sigemptyset(&child.sa_mask);
    sigaction(SIGCHLD, &child, nullptr);
}

void RestoreDisplay()
{
    Application* application = GetCurrentApplication();
    if (application == nullptr || application->GetWindow() == nullptr)
        return;
    SDL_SetWindowFullscreen(application->GetWindow(), 0);
    SDL_ShowCursor(SDL_ENABLE);
    SDL_HideWindow(application->GetWindow());
}

void InstallTerminateReport()
{
    std::set_terminate(&ReportTerminate);
}

bool HasDisplay()
{
    return EnvironmentSet("DISPLAY") || EnvironmentSet("WAYLAND_DISPLAY") ||
           EnvironmentSet("SDL_VIDEODRIVER");
}

int StarfallMain(int argc, char** argv)
{
    CommandLineOptions options;
    std::string error;
    if (!ParseCommandLine(argc, argv, options, error)) {
        std::fprintf(stderr, "starfall: %s (try --help)\n", error.c_str());
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(CommandLineUsage(argc > 0 ? argv[0] : "starfall").c_str(), stdout);
        return kExitNormal;
    }
    if (options.version) {
        std::printf("starfall %s (%s)\n", STARFALL_VERSION, kProductionTitle);
        return kExitNormal;
    }
    if (options.bench)
        setenv("SDL_AUDIODRIVER", "dummy", 1);  // a benchmark plays the music to nobody
    if (options.headless) {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        // The environment may choose another output, except for a video: its pictures run
        // ahead of real time, and the soundtrack goes into the file instead.
        setenv("SDL_AUDIODRIVER", "dummy", options.videoPath.empty() ? 0 : 1);
        SetErrorDialogsConsoleOnly(true);
    } else if (!HasDisplay()) {
        std::fprintf(stderr,
                     "starfall: no display found (DISPLAY and WAYLAND_DISPLAY are not set); "
                     "run with --headless to play without a window\n");
        return kExitUsage;
    }
    // An archive given by path (or none at all) must not be shadowed by the embedded one.
    if (options.noPak || !options.pakPath.empty())
        UnregisterEmbeddedResource("STARFALL.PAK");
    if (options.hasSeed)
        ClockSetSeed(options.seed);
    std::unique_ptr<FixedStepCounter> fixedStep;
    if (options.fps > 0.0) {
        fixedStep = std::make_unique<FixedStepCounter>(options.fps);
        ClockSetCounter(fixedStep.get());
    }
    EnableThrowTraces(true);
    InstallTerminateReport();
    InstallStopSignals();
    int status = RunApplication(options, fixedStep.get());
    if (const int stop = InterruptRequested(); stop != 0 && status == kExitNormal)
        status = kExitSignalBase + stop;
    EnableThrowTraces(false);
    if (fixedStep)
        ClockSetCounter(nullptr);
    std::fflush(stdout);
    std::fflush(stderr);
    return status;
}
