// The demo application: owns the log, modules, device, font and timeline; start-up, frame, shut-down.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/Benchmark.h"
#include "app/CommandLine.h"
#include "app/FrameRate.h"
#include "app/PlaybackSection.h"
#include "script/ScriptData.h"

class StackOverlay;
class FileWatcher;
class FixedStepCounter;
class FrameCapture;
class Font;
class ProgressLine;
class VideoExport;
class LogWindow;
class RenderDevice;
class Timeline;
class DeviceModuleList;

class DemoApplication : public Application {
public:
    // fixedStep (not owned) is advanced once per frame when set.
    DemoApplication(const CommandLineOptions& options, FixedStepCounter* fixedStep = nullptr);
    ~DemoApplication() override;

    bool Init() override;
    // The message loop; then the capture's last frames, the video's end, and with --bench
    // the report.
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
    Timeline* GetTimeline() const { return timeline_.get(); }
    long GetFrameCount() const { return framesDone_; }
    // Production frame index of the next frame drawn (with --fps: k is drawn at k / fps s).
    long GetFrameIndex() const { return frameIndex_; }
    bool IsPaused() const { return paused_; }
    // The error of the last reload or script failure in watch mode; empty when none.
    const std::string& GetWatchError() const { return watchError_; }
    // Production seconds of the timeline, or where playback stood when none plays.
    double GetProductionTime() const;

private:
    // Chooses driver, device and mode without the dialog (first driver, the device the
    // dialog would preselect, the requested mode).
    void SelectWithoutDialog();
    void SendWindowRect();
    void OpenArchive();
    // The video export and the progress line, once the timeline knows the production.
    void StartExport();

    // Parses "Script.txt" and starts it at the section's start (watch mode: a failure
    // is shown and the program waits for a change instead of ending).
    void StartFirstTimeline();
    // Replaces the timeline by one playing script from `seconds` (music included). False,
    // with the old timeline untouched, when the script ends before then.
    bool PlayScriptAt(const Script& script, double seconds);
    // Author keys and loops: plays the current script from `seconds`. False when it ended
    // the run instead (the production ends before then and nothing loops).
    bool SeekTo(double seconds);
    // Whether the frame about to be drawn lies past the section's end.
    bool IsSectionOver() const;
    // One timeline step; in watch mode an error is shown and the previous script plays on.
    bool StepTimeline();
    void TogglePause();
    // Watch mode: takes the kernel's notifications; once files have been quiet for a
    // moment, reloads when a watched one (or, after an error, any file) changed.
    void PollWatcher();
    void Reload(const std::set<std::string>& changedPaths);
    void WatchUsedFiles();
    void ShowWatchError(const std::string& text);
    // Time read-out and error text on screen, time in the window title (author, watch).
    void DrawAuthorText();
    // The end of every production frame: capture, present, clear, the frame count and clock.
    void FinishFrame();
    void CaptureFrame(std::vector<uint8_t> frame);
    // A frame that draws nothing and leaves the demo clock where it is (the benchmark's floor).
    void EmptyFrame();
    void ReportBench();

    CommandLineOptions options_;
    FixedStepCounter* fixedStep_ = nullptr;
    std::unique_ptr<LogWindow> logWindow_;
    bool logWindowEnabled_ = false;
    std::unique_ptr<DeviceModuleList> modules_;
    std::unique_ptr<RenderDevice> device_;
    Font* font_ = nullptr;
    std::unique_ptr<Timeline> timeline_;
    FrameRateCounter frameRate_;
#ifndef STARFALL_WEB  // a page has no folder to write frames to
    std::unique_ptr<FrameCapture> capture_;
#endif
#ifndef STARFALL_WEB  // a browser has no encoder to feed
    std::unique_ptr<VideoExport> video_;
    long videoFrames_ = 0;  // pictures that fall inside the production's length
#endif
    std::unique_ptr<ProgressLine> progress_;
    long framesDone_ = 0;

    PlaybackSection section_;
    long frameIndex_ = 0;
    Script playingScript_;                  // as parsed: seeks and loops start again from it
    std::optional<Script> fallbackScript_;  // what played before the last reload
    std::optional<double> pendingSeek_;     // taken at the start of the next frame
    double lastTime_ = 0.0;                 // production seconds at the last frame
    bool paused_ = false;
    float resumeRate_ = 1.0f;
    std::unique_ptr<FileWatcher> watcher_;
    std::set<std::string> changedPaths_;    // reported, not yet reloaded
    std::set<std::string> watchedPaths_;
    bool anyChangeWatched_ = false;
    uint32_t lastChangeTicks_ = 0;
    std::string watchError_;
    std::string shownTitle_;
    BenchClock benchClock_;
    std::unique_ptr<BenchRecorder> bench_;
    double startupMs_ = -1.0;
    std::unique_ptr<StackOverlay> overlay_;  // Tab with --author
};
