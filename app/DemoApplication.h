// The demo application: owns the log, modules, device, font and timeline; start-up, frame, shut-down.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/Benchmark.h"
#include "app/CommandLine.h"
#include "app/FrameRate.h"

class FixedStepCounter;
class FrameCapture;
class Font;
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
    // The message loop; then the capture's last frames, and with --bench the report.
    bool Run() override;
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
    std::unique_ptr<FrameCapture> capture_;
    long framesDone_ = 0;
    BenchClock benchClock_;
    std::unique_ptr<BenchRecorder> bench_;
    BenchSection benchSection_;
    double startupMs_ = -1.0;
    double lastProgressSeconds_ = 0.0;
};
