// The demo application: start-up, frame and shut-down in their fixed order, wiring the parts.
#include "app/DemoApplication.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/AuthorKeys.h"
#include "app/BenchSink.h"
#include "app/LiveReload.h"
#include "app/LogWindow.h"
#include "app/OutputSinks.h"
#include "app/PlaybackController.h"
#include "app/Production.h"
#include "app/StartDialogModel.h"
#include "engine/core/Fatal.h"
#include "engine/core/File.h"
#include "engine/core/Interrupt.h"
#include "engine/core/Log.h"
#include "engine/device/Font.h"
#include "engine/device/ModuleList.h"
#include "engine/device/RenderDevice.h"
#include "engine/device/gl/GLModule.h"
#include "pak/PakFile.h"
#include "script/ScriptParser.h"
#include "script/Timeline.h"
#include "sound/SoundSystem.h"

namespace {

const char* const kDashes = "------------------------------------------------------------------";

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
    section_ = PlaybackSection::FromOptions(options);
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
    reload_.reset();
    authorKeys_.reset();
    playback_.reset();  // the timeline: stops the sound, destroys the layers
    sinks_ = FrameSinkList();
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
    // A data folder stands for the archive: its files are the production.
    SetDataFolder(options_.dataDir);
    if (!options_.noPak && options_.dataDir.empty() && pak.Open(name))
        SetArchive(&pak);
    LogLine("Loaded PakFile [%s] (%d packed files).", name.c_str(),
            static_cast<int>(pak.IsOpen() ? pak.GetEntryCount() : 0));
    // An archive named on the command line that is not there is a mistake in the command,
    // not a production to be looked for in the folders (a file that is no archive still is).
    if (!options_.pakPath.empty() && !pak.IsOpen() && access(options_.pakPath.c_str(), F_OK) != 0)
        RaiseAppError("Cannot open the archive [%s].", options_.pakPath.c_str());
}

bool DemoApplication::Init()
{
    OpenArchive();
    LogLine("Please wait during devices enumeration...");
    if (modules_->GetModuleCount() == 0)
        RaiseAppError("Could not find any Hardware module");

    // The device lists the displays' modes, so the video system must be up already.
    StartVideoSystem();
    device_.reset(modules_->CreateDevice(0, logWindowEnabled_ ? &LogWindow::Callback : nullptr));
    LogLine("Finished enumerating devices.");
    AddCaptureSink(sinks_, options_, *device_);

    bool fullScreen = false;
    if (options_.noDialog || options_.headless) {
        SelectWithoutDialog();
        fullScreen = !options_.windowed && !options_.headless;
    } else if (!RunStartDialog(fullScreen)) {
        Quit();
        return false;
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
    FitWindowToMode();

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
    ShowPlayWindow();

    font_ = device_->GetFont("font1.png");
    StartPlayback();
    if (playback_->GetTimeline())
        StartOutputs();
    frameRate_.Reset(SystemSeconds());

    AddHandler(WM_MOVE, static_cast<Handler>(&DemoApplication::OnMove));
    AddHandler(WM_SIZE, static_cast<Handler>(&DemoApplication::OnSize));
    return true;
}

void DemoApplication::StartOutputs()
{
    AddExportSinks(sinks_, options_, *playback_, *device_);
    if (options_.bench)
        sinks_.Add(std::make_unique<BenchSink>(*device_, *font_, *playback_, options_.fps,
                                               options_.benchJsonPath, benchClock_));
}

bool DemoApplication::Run()
{
    try {
        Application::Run();
    } catch (...) {
        // A stop signal raised inside a frame, or an error: the frames presented stay,
        // nothing half-written does.
        sinks_.Abandon();
        throw;
    }
    if (InterruptRequested() != 0)
        sinks_.Abandon();  // stopped from outside: nothing is published as if complete
    else
        sinks_.Finish();
    return false;
}

void DemoApplication::UseForTesting(std::unique_ptr<RenderDevice> device,
                                    std::unique_ptr<Timeline> timeline)
{
    playback_.reset();
    device_ = std::move(device);
    playback_ = std::make_unique<PlaybackController>(*device_, section_, options_.fps, fixedStep_);
    playback_->Adopt(std::move(timeline));
    authorKeys_ = std::make_unique<AuthorKeys>(*playback_, options_.author);
    font_ = device_->GetFont("font1.png");
    frameRate_.Reset(SystemSeconds());
}

void DemoApplication::PlayForTesting(std::unique_ptr<RenderDevice> device)
{
    reload_.reset();
    playback_.reset();
    device_ = std::move(device);
    font_ = device_->GetFont("font1.png");
    StartPlayback();
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

void DemoApplication::StartPlayback()
{
    playback_ = std::make_unique<PlaybackController>(*device_, section_, options_.fps, fixedStep_);
    authorKeys_ = std::make_unique<AuthorKeys>(*playback_, options_.author);
    if (options_.watch)
        reload_ = std::make_unique<LiveReload>(*device_, *playback_);
    try {
        Script script;
        ParseScriptFile("Script.txt", script);
        if (options_.speed > 0 && !script.timeStretch)
            RaiseAppError("--speed %d is refused: the script does not allow time stretching.", options_.speed);
        if (!playback_->PlayAt(script, section_.start, true)) {
            std::fprintf(stderr, "starfall: the production ends before %.2f s\n", section_.start);
            usageError_ = true;
            Quit();
        } else if (options_.speed > 0) {
            // As if F1-F9 were pressed before the first frame: the frames before --start
            // were played at 1x, so the section starts at its time at any speed.
            playback_->SetRate(static_cast<float>(options_.speed));
        }
    } catch (const CUserException& error) {
        if (!reload_)
            throw;
        reload_->ShowError(error.what());
    }
    if (reload_)
        reload_->WatchStart();
}

Timeline* DemoApplication::GetTimeline() const
{
    return playback_ ? playback_->GetTimeline() : nullptr;
}

long DemoApplication::GetFrameIndex() const
{
    return playback_ ? playback_->GetFrameIndex() : 0;
}

bool DemoApplication::IsPaused() const
{
    return playback_ && playback_->IsPaused();
}

const std::string& DemoApplication::GetWatchError() const
{
    static const std::string none;
    return reload_ ? reload_->GetError() : none;
}

double DemoApplication::GetProductionTime() const
{
    return playback_ ? playback_->Now() : section_.start;
}

void DemoApplication::Quit()
{
    quitRequested_ = true;
    PostQuitMessage(0);
}

bool DemoApplication::BeginPlaybackFrame()
{
    try {
        return playback_->BeginFrame();
    } catch (const CUserException& error) {
        // What plays now goes on; the script fails on the way to the seek's time.
        if (!reload_)
            throw;
        reload_->ShowError(error.what());
        return true;
    }
}

bool DemoApplication::StepPlayback()
{
    if (!playback_->GetTimeline())
        return false;
    try {
        if (playback_->Step())
            return true;
    } catch (const CUserException& error) {
        if (!reload_)
            throw;
        playback_->DropFailedTimeline();
        reload_->TakeOver(error.what());
        return false;
    }
    // END ran: the run ends after this frame, or the loop starts again at the next.
    if (!playback_->GetSection().loop)
        PostQuitMessage(0);
    return false;
}

void DemoApplication::Frame()
{
    // A stop signal ends the run between frames, so a captured frame is always whole.
    if (InterruptRequested() != 0) {
        Quit();
        return;
    }
    sinks_.BeforeFrame();
    if (reload_)
        reload_->Poll(static_cast<uint32_t>(SystemSeconds() * 1000.0f));
    if (!BeginPlaybackFrame()) {
        Quit();
        return;
    }

    device_->BeginScene();
    const bool playing = StepPlayback();
    device_->EndScene();

    frameRate_.Tick(SystemSeconds());
    const Timeline* timeline = playback_->GetTimeline();
    if (timeline && timeline->ShowFrameRate())
        font_->Print(nullptr, 10, 10, "%.2f", static_cast<double>(frameRate_.GetValue()));
    else
        font_->Print(nullptr, 10, 10, " ");
    if (timeline && timeline->ShowTime())
        font_->Print(nullptr, 10, 25, "%.2f", static_cast<double>(timeline->GetElapsed()));
    authorKeys_->DrawOverlay(*font_, GetWatchError());
    if (options_.author)
        ShowTitle(authorKeys_->Title(windowTitle_));

    const PresentedFrame frame{playback_->GetFrameIndex(), playback_->Now(), framesDone_, playing};
    sinks_.OnFrame(frame);
    device_->Present(0);
    device_->Clear(0);
    ++framesDone_;
    playback_->FrameDone();
    sinks_.AfterPresent(frame);
    if (options_.frames > 0 && framesDone_ >= options_.frames)
        Quit();
}

bool DemoApplication::OnKeyDown(uintptr_t wParam, intptr_t lParam)
{
    const Timeline* timeline = GetTimeline();
    if (timeline && timeline->TimeStretch() && wParam >= static_cast<uintptr_t>(VK_F1) &&
        wParam <= static_cast<uintptr_t>(VK_F9))
        playback_->SetRate(static_cast<float>(wParam - VK_F1 + 1));
    if (authorKeys_)
        authorKeys_->OnKey(wParam);
    return Application::OnKeyDown(wParam, lParam);
}

void DemoApplication::SendWindowRect()
{
    ScreenRect rect;
    if (device_ && GetClientRect(rect))
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
