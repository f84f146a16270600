// The demo application: owns the log, modules, device, font and playback; start-up, frame, shut-down.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "app/Application.h"
#include "app/Benchmark.h"
#include "app/CommandLine.h"
#include "app/FrameRate.h"
#include "app/FrameSink.h"
#include "app/PlaybackSection.h"

class AuthorKeys;
class FixedStepCounter;
class Font;
class LiveReload;
class LogWindow;
class PlaybackController;
class RenderDevice;
class Timeline;
class DeviceModuleList;
struct ScreenRect;

class DemoApplication : public Application {
public:
    // fixedStep (not owned) is advanced once per frame when set.
    DemoApplication(const CommandLineOptions& options, FixedStepCounter* fixedStep = nullptr);
    ~DemoApplication() override;

    bool Init() override;
    // The message loop; then every output is finished, or abandoned after a stop or an error.
    bool Run() override;
    void Frame() override;
    bool OnKeyDown(uintptr_t wParam, intptr_t lParam) override;
    virtual bool OnMove(uintptr_t wParam, intptr_t lParam);
    virtual bool OnSize(uintptr_t wParam, intptr_t lParam);

    // Tests: plays on a device and timeline made elsewhere (no window, no sound); takes
    // the read-out font from the device.
    void UseForTesting(std::unique_ptr<RenderDevice> device, std::unique_ptr<Timeline> timeline);
    // Tests: plays "Script.txt" on a device made elsewhere (no window, no sound) as Init
    // does: from the section's start, watching the files with --watch.
    void PlayForTesting(std::unique_ptr<RenderDevice> device);

    bool IsLogWindowEnabled() const { return logWindowEnabled_; }
    RenderDevice* GetDevice() const { return device_.get(); }
    Timeline* GetTimeline() const;
    long GetFrameCount() const { return framesDone_; }
    // Production frame index of the next frame drawn (with --fps: k is drawn at k / fps s).
    long GetFrameIndex() const;
    bool IsPaused() const;
    // The error of the last reload or script failure in watch mode; empty when none.
    const std::string& GetWatchError() const;
    // Production seconds of the timeline, or where playback stood when none plays.
    double GetProductionTime() const;
    // The command line asked for something the production cannot give (--start past its end).
    bool EndedWithUsageError() const { return usageError_; }

private:
    // Chooses driver, device and mode without the dialog (first driver, the device the
    // dialog would preselect, the requested mode).
    void SelectWithoutDialog();
    void SendWindowRect();
    void OpenArchive();
    // Parses "Script.txt" and starts it at the section's start (watch mode: a failure
    // is shown and the program waits for a change instead of ending).
    void StartPlayback();
    // The outputs that need the playing production: video, progress line, bench.
    void StartOutputs();
    // Before the frame: seeks and the section's end; false when the run is over.
    bool BeginPlaybackFrame();
    // The timeline's step; false when the frame shows nothing of the production.
    bool StepPlayback();
    void Quit();

    // Desktop and browser differ here, each in a file of its own.
    static float SystemSeconds();
    void StartVideoSystem();
    // The start dialog; false when the user quit it.
    bool RunStartDialog(bool& fullScreen);
    void FitWindowToMode();
    void ShowPlayWindow();
    bool GetClientRect(ScreenRect& rect) const;
    void ShowTitle(const std::string& title);

    CommandLineOptions options_;
    FixedStepCounter* fixedStep_ = nullptr;
    std::unique_ptr<LogWindow> logWindow_;
    bool logWindowEnabled_ = false;
    std::unique_ptr<DeviceModuleList> modules_;
    std::unique_ptr<RenderDevice> device_;
    Font* font_ = nullptr;
    PlaybackSection section_;
    std::unique_ptr<PlaybackController> playback_;  // owns the timeline
    std::unique_ptr<AuthorKeys> authorKeys_;
    std::unique_ptr<LiveReload> reload_;
    FrameSinkList sinks_;
    BenchClock benchClock_;
    FrameRateCounter frameRate_;
    long framesDone_ = 0;
    std::string shownTitle_;
    bool usageError_ = false;
};
