// The demo application: start-up, frame and shut-down in their fixed order.
#include "app/DemoApplication.h"

#ifdef STARFALL_WEB  // the canvas is the window and the page's start screen the dialog
#include <emscripten.h>
#else
#include <SDL.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "app/FixedStepClock.h"
#include "app/FrameCapture.h"
#include "app/LogWindow.h"
#include "app/ProgressLine.h"
#include "app/Production.h"
#ifndef STARFALL_WEB
#include "app/StartDialog.h"
#endif
#include "app/StartDialogModel.h"
#ifndef STARFALL_WEB
#include "app/VideoExport.h"
#endif
#include "engine/core/Clock.h"
#include "engine/core/Fatal.h"
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
#ifdef STARFALL_WEB
    return static_cast<float>(emscripten_get_now() * 0.001);
#else
    return static_cast<float>(SDL_GetTicks()) * 0.001f;
#endif
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
#ifndef STARFALL_WEB  // no files to write to in a browser
    if (!options_.captureDir.empty())
        capture_ = std::make_unique<FrameCapture>(options_.captureDir);
#endif

    OpenArchive();
    LogLine("Please wait during devices enumeration...");
    if (modules_->GetModuleCount() == 0)
        RaiseAppError("Could not find any Hardware module");

#ifndef STARFALL_WEB
    // The device lists the displays' modes, so the video system must be up already.
    if (!videoStarted_) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            RaiseAppError("Unable to register Window Class");
        videoStarted_ = true;
    }
#endif
    device_.reset(modules_->CreateDevice(0, logWindowEnabled_ ? &LogWindow::Callback : nullptr));
    LogLine("Finished enumerating devices.");

    bool fullScreen = false;
    if (options_.noDialog || options_.headless) {
        SelectWithoutDialog();
        fullScreen = !options_.windowed && !options_.headless;
    } else {
#ifdef STARFALL_WEB
        RaiseAppError("The start dialog is the page's start screen.");
#else
        StartDialog dialog;
        if (!dialog.Run(*device_, windowTitle_)) {
            quitRequested_ = true;
            PostQuitMessage(0);
            return false;
        }
        fullScreen = dialog.IsFullScreen();
#endif
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
#ifdef STARFALL_WEB
    Application::Init();  // the canvas takes the mode's size
#else
    // SDL sizes the client area itself; the window keeps its position.
    SDL_SetWindowSize(window_, width_, height_);
#endif

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
#ifndef STARFALL_WEB
    SDL_ShowWindow(window_);
    SDL_ShowCursor(SDL_DISABLE);
#endif

    font_ = device_->GetFont("font1.png");
    timeline_ = std::make_unique<Timeline>(*device_);
    timeline_->Parse("Script.txt");
    timeline_->Start();
    StartExport();
    frameRate_.Reset(SystemSeconds());

    AddHandler(WM_MOVE, static_cast<Handler>(&DemoApplication::OnMove));
    AddHandler(WM_SIZE, static_cast<Handler>(&DemoApplication::OnSize));
    return true;
}

void DemoApplication::StartExport()
{
#ifndef STARFALL_WEB  // a page has neither files to write nor a terminal to show progress on
    if (options_.videoPath.empty() && options_.captureDir.empty())
        return;
    const double length = ProductionLength(timeline_->GetScript(), options_.fps, options_.frames);
    if (!options_.videoPath.empty()) {
        if (length <= 0.0)
            RaiseAppError("Cannot export the video [%s] : the production never ends (no END in "
                          "the script); limit it with --frames.",
                          options_.videoPath.c_str());
        VideoEncoding encoding;
        encoding.width = device_->GetWidth();
        encoding.height = device_->GetHeight();
        encoding.fps = options_.fps;
        encoding.quality = options_.videoQuality;
        // The picture at the END time itself belongs to the next, unplayed interval.
        videoFrames_ = std::max(1L, static_cast<long>(std::ceil(length * options_.fps - 1e-6)));
        video_ = std::make_unique<VideoExport>(options_.videoPath, encoding, timeline_->GetMusicData());
    }
    // Log lines on the console would tear the line apart.
    progress_ = std::make_unique<ProgressLine>(
        ProgressLine::StandardErrorIfTerminal(options_.quiet || logWindowEnabled_), length);
#endif
}

bool DemoApplication::Run()
{
    try {
        Application::Run();
    } catch (...) {
        // Nothing half-written stays behind.
#ifndef STARFALL_WEB
        video_.reset();
#endif
        progress_.reset();
        throw;
    }
    if (progress_)
        progress_->Finish();
#ifndef STARFALL_WEB
    if (video_)
        video_->Finish();
#endif
    return false;
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
    device_->BeginScene();
    // The frame in which the script ends shows nothing of the production.
    const bool playing = timeline_->Step();
    if (!playing)
        PostQuitMessage(0);
    device_->EndScene();

    frameRate_.Tick(SystemSeconds());
    if (timeline_->ShowFrameRate())
        font_->Print(nullptr, 10, 10, "%.2f", static_cast<double>(frameRate_.GetValue()));
    else
        font_->Print(nullptr, 10, 10, " ");
    if (timeline_->ShowTime())
        font_->Print(nullptr, 10, 25, "%.2f", static_cast<double>(timeline_->GetElapsed()));

#ifndef STARFALL_WEB
    if (capture_) {
        const std::vector<uint8_t> frame = device_->ReadBackBuffer();
        if (!frame.empty())
            capture_->WriteFrame(frame, device_->GetWidth(), device_->GetHeight());
    }
    if (video_ && playing && framesDone_ < videoFrames_)
        video_->AddFrame(device_->ReadBackBuffer());
#endif
    device_->Present(0);
    device_->Clear(0);

    ++framesDone_;
    if (fixedStep_)
        fixedStep_->Advance();
    if (progress_)
        progress_->Update(timeline_->GetElapsed(), framesDone_);
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
    int x = 0, y = 0, w = 0, h = 0;
#ifdef STARFALL_WEB
    if (!device_)
        return;
    w = width_;
    h = height_;
#else
    if (!device_ || !window_)
        return;
    SDL_GetWindowPosition(window_, &x, &y);
    SDL_GetWindowSize(window_, &w, &h);
#endif
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
