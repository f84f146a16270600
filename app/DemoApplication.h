// The demo application: owns the log, modules, device, font and timeline; start-up, frame, shut-down.
#pragma once
#include <memory>
#include <string>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/FrameRate.h"

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

    // The loop; afterwards a video being exported is finished.
    bool Run() override;
    bool Init() override;
    void Frame() override;
    bool OnKeyDown(uintptr_t wParam, intptr_t lParam) override;
    virtual bool OnMove(uintptr_t wParam, intptr_t lParam);
    virtual bool OnSize(uintptr_t wParam, intptr_t lParam);

    // Tests: plays on a device and timeline made elsewhere (no window, no sound); takes
    // the read-out font from the device.
    void UseForTesting(std::unique_ptr<RenderDevice> device, std::unique_ptr<Timeline> timeline);

    bool IsLogWindowEnabled() const { return logWindowEnabled_; }
    RenderDevice* GetDevice() const { return device_.get(); }
    Timeline* GetTimeline() const { return timeline_.get(); }
    long GetFrameCount() const { return framesDone_; }

private:
    // Chooses driver, device and mode without the dialog (first driver, the device the
    // dialog would preselect, the requested mode).
    void SelectWithoutDialog();
    void SendWindowRect();
    void OpenArchive();
    // The video export and the progress line, once the timeline knows the production.
    void StartExport();

    CommandLineOptions options_;
    FixedStepCounter* fixedStep_ = nullptr;
    std::unique_ptr<LogWindow> logWindow_;
    bool logWindowEnabled_ = false;
    std::unique_ptr<DeviceModuleList> modules_;
    std::unique_ptr<RenderDevice> device_;
    Font* font_ = nullptr;
    std::unique_ptr<Timeline> timeline_;
    FrameRateCounter frameRate_;
    std::unique_ptr<FrameCapture> capture_;
#ifndef STARFALL_WEB  // a browser has no encoder to feed
    std::unique_ptr<VideoExport> video_;
    long videoFrames_ = 0;  // pictures that fall inside the production's length
#endif
    std::unique_ptr<ProgressLine> progress_;
    long framesDone_ = 0;
};
