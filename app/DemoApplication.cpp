// The demo application: start-up, frame and shut-down in their fixed order.
#include "app/DemoApplication.h"

#include <SDL.h>
#include <unistd.h>

#include <string>

#include "app/FixedStepClock.h"
#include "app/FrameCapture.h"
#include "app/LogWindow.h"
#include "app/Production.h"
#include "app/StartDialog.h"
#include "app/StartDialogModel.h"
#include "engine/core/Clock.h"
#include "engine/core/Fatal.h"
#include "engine/core/Interrupt.h"
#include "engine/device/Font.h"
#include "engine/core/Log.h"
#include "engine/device/ModuleList.h"
#include "engine/device/RenderDevice.h"
#include "engine/device/gl/GLModule.h"
#include "pak/PakFile.h"
#include "script/Timeline.h"
#include "sound/SoundSystem.h"

namespace {

const char* const kDashes = "------------------------------------------------------------------";

float SystemSeconds()
{
    return static_cast<float>(SDL_GetTicks()) * 0.001f;
}

// The process-wide archive: created once, never released before the process ends.
PakFile& ProcessPakFile()
{
    static PakFile* pak = new PakFile;
    return *pak;
}

}  // namespace

DemoApplication::DemoApplication(const CommandLineOptions& options, FixedStepCounter* fixedStep)
    : Application(options.commandLine),
      options_(options),
      fixedStep_(fixedStep),
      logWindow_(std::make_unique<LogWindow>()),
      modules_(std::make_unique<DeviceModuleList>(GLModule()))
{
    logWindowEnabled_ = HasSwitch(commandLine_, "LogWindow");
    if (logWindowEnabled_) {
        logWindow_->Create();
        SetLogCallback(&LogWindow::Callback);
    } else {
        SetLogCallback(nullptr);
    }

    LogLine("%s", kProductionBanner);
    LogLine("Build date : %s (%s)", __DATE__, __TIME__);
    LogLine("%s", kGroupWebAddress);
    LogLine("%s", "");
    LogLine("%s", kDashes);
    LogLine("Detecting 3D modules...");

    modules_->AddInternalModule(".\\drv");

    LogLine("%s", kDashes);
    char directory[1024] = "";
    if (!getcwd(directory, sizeof directory))
        directory[0] = '\0';
    LogLine("Search path : [%s]", directory);

    windowTitle_ = kProductionTitle;
}

DemoApplication::~DemoApplication()
{
    timeline_.reset();  // stops the sound, destroys the layers
    font_ = nullptr;
    device_.reset();
    modules_.reset();
    if (logWindowEnabled_)
        SetLogCallback(nullptr);
    logWindow_.reset();
}

void DemoApplication::OpenArchive()
{
    PakFile& pak = ProcessPakFile();
    const std::string name = options_.pakPath.empty() ? "Starfall.pak" : options_.pakPath;
    if (!options_.noPak && pak.Open(name))
        SetArchive(&pak);
    LogLine("Loaded PakFile [%s] (%d packed files).", name.c_str(),
            static_cast<int>(pak.IsOpen() ? pak.GetEntryCount() : 0));
}

bool DemoApplication::Init()
{
    if (!options_.captureDir.empty())
        capture_ = std::make_unique<FrameCapture>(options_.captureDir);

    OpenArchive();
    LogLine("Please wait during devices enumeration...");
    if (modules_->GetModuleCount() == 0)
        RaiseAppError("Could not find any Hardware module");

    // The device lists the displays' modes, so the video system must be up already.
    if (!videoStarted_) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            RaiseAppError("Unable to register Window Class");
        videoStarted_ = true;
    }
    device_.reset(modules_->CreateDevice(0, logWindowEnabled_ ? &LogWindow::Callback : nullptr));
    LogLine("Finished enumerating devices.");

    bool fullScreen = false;
    if (options_.noDialog || options_.headless) {
        SelectWithoutDialog();
        fullScreen = !options_.windowed && !options_.headless;
    } else {
        StartDialog dialog;
        if (!dialog.Run(*device_, windowTitle_)) {
            quitRequested_ = true;
            PostQuitMessage(0);
            return false;
        }
        fullScreen = dialog.IsFullScreen();
    }

    windowed_ = !fullScreen;
    // The window's pixel format is chosen when it is made, so the device's wishes go first.
    device_->PrepareWindow();
    Application::Init();  // the window, at 640 x 480 first

    const ModeInfo* mode = device_->GetSelectedMode();
    if (!mode)
        RaiseAppError("No video mode selected.");
    width_ = mode->width;
    height_ = mode->height;
    // SDL sizes the client area itself; the window keeps its position.
    SDL_SetWindowSize(window_, width_, height_);

    // A console does not get in the way of full-screen mode, so the log keeps printing.

    SoundSystem::Init();
    SoundSystem::Start();

    device_->SetVSync(!options_.noVsync);
    device_->Init(window_, fullScreen, 0, 0, 0);
    device_->EnableClearColor(true);
    device_->SetClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    device_->SetEye(0.0f, 0.0f, -5.0f);
    device_->SetTarget(0.0f, 0.0f, 0.0f);
    device_->SetFieldOfView(0.7853982f);
    device_->SetNearPlane(1.0f);
    device_->SetFarPlane(1500.0f);
    device_->SetRoll(0.0f);
    device_->UpdateCamera();
    SendWindowRect();
    SDL_ShowWindow(window_);
    SDL_ShowCursor(SDL_DISABLE);

    font_ = device_->GetFont("font1.png");
    timeline_ = std::make_unique<Timeline>(*device_);
    timeline_->Parse("Script.txt");
    // As if F1-F9 were pressed before the first frame, under the same condition.
    if (options_.speed > 0) {
        if (!timeline_->TimeStretch())
            RaiseAppError("--speed %d is refused: the script does not allow time stretching.",
                          options_.speed);
        ClockSetRate(static_cast<float>(options_.speed));
    }
    timeline_->Start();
    frameRate_.Reset(SystemSeconds());

    AddHandler(WM_MOVE, static_cast<Handler>(&DemoApplication::OnMove));
    AddHandler(WM_SIZE, static_cast<Handler>(&DemoApplication::OnSize));
    return true;
}

void DemoApplication::UseForTesting(std::unique_ptr<RenderDevice> device,
                                    std::unique_ptr<Timeline> timeline)
{
    timeline_.reset();
    device_ = std::move(device);
    timeline_ = std::move(timeline);
    font_ = device_->GetFont("font1.png");
    frameRate_.Reset(SystemSeconds());
}

void DemoApplication::SelectWithoutDialog()
{
    StartDialogModel model(*device_);
    if (model.GetSelectedDriver() < 0 || model.GetSelectedDevice() < 0)
        RaiseAppError("Could not find any Hardware module");
    const DriverInfo& driver = device_->GetDriver(model.GetSelectedDriver());
    const DeviceInfo& device = driver.GetDevice(model.GetSelectedDevice());
    // The mode as listed when the device offers it, else the size asked for as it is
    // (off-screen and windowed play can use any size).
    ModeInfo mode;
    mode.width = options_.modeWidth;
    mode.height = options_.modeHeight;
    mode.bitsPerPixel = options_.modeBits;
    for (const ModeInfo& offered : device.modes) {
        if (offered.width == mode.width && offered.height == mode.height &&
            offered.bitsPerPixel == mode.bitsPerPixel)
            mode = offered;
    }
    device_->SelectDriver(driver);
    device_->SelectDevice(device);
    device_->SelectMode(mode);
}

void DemoApplication::Frame()
{
    // A stop signal ends the run between frames, so a captured frame is always whole.
    if (InterruptRequested() != 0) {
        quitRequested_ = true;
        PostQuitMessage(0);
        return;
    }
    device_->BeginScene();
    if (!timeline_->Step())
        PostQuitMessage(0);
    device_->EndScene();

    frameRate_.Tick(SystemSeconds());
    if (timeline_->ShowFrameRate())
        font_->Print(nullptr, 10, 10, "%.2f", static_cast<double>(frameRate_.GetValue()));
    else
        font_->Print(nullptr, 10, 10, " ");
    if (timeline_->ShowTime())
        font_->Print(nullptr, 10, 25, "%.2f", static_cast<double>(timeline_->GetElapsed()));

    if (capture_) {
        const std::vector<uint8_t> frame = device_->ReadBackBuffer();
        if (!frame.empty())
            capture_->WriteFrame(frame, device_->GetWidth(), device_->GetHeight());
    }
    device_->Present(0);
    device_->Clear(0);

    ++framesDone_;
    if (fixedStep_)
        fixedStep_->Advance();
    if (options_.frames > 0 && framesDone_ >= options_.frames) {
        quitRequested_ = true;
        PostQuitMessage(0);
    }
}

bool DemoApplication::OnKeyDown(uintptr_t wParam, intptr_t lParam)
{
    if (timeline_ && timeline_->TimeStretch() && wParam >= static_cast<uintptr_t>(VK_F1) &&
        wParam <= static_cast<uintptr_t>(VK_F9))
        ClockSetRate(static_cast<float>(wParam - VK_F1 + 1));
    return Application::OnKeyDown(wParam, lParam);
}

void DemoApplication::SendWindowRect()
{
    if (!device_ || !window_)
        return;
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(window_, &x, &y);
    SDL_GetWindowSize(window_, &w, &h);
    ScreenRect rect;
    rect.left = x;
    rect.top = y;
    rect.right = x + w;
    rect.bottom = y + h;
    device_->SetWindowRect(rect);
}

bool DemoApplication::OnMove(uintptr_t, intptr_t)
{
    SendWindowRect();
    return false;
}

bool DemoApplication::OnSize(uintptr_t wParam, intptr_t lParam)
{
    return OnMove(wParam, lParam);
}
