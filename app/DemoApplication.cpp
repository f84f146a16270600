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
#include <cstdio>
#include <string>

#include "app/FileWatcher.h"
#include "app/FixedStepClock.h"
#include "app/FrameCapture.h"
#include "app/LogWindow.h"
#include "app/ProgressLine.h"
#include "app/Production.h"
#ifndef STARFALL_WEB
#include "app/StackOverlay.h"
#include "app/StartDialog.h"
#endif
#include "app/StartDialogModel.h"
#ifndef STARFALL_WEB
#include "app/VideoExport.h"
#endif
#include "app/TimelineSeek.h"
#include "engine/core/Clock.h"
#include "engine/core/Fatal.h"
#include "engine/core/Interrupt.h"
#include "engine/device/Font.h"
#include "engine/core/Log.h"
#include "engine/device/ModuleList.h"
#include "engine/core/File.h"
#include "engine/device/RenderDevice.h"
#include "engine/device/Texture.h"
#include "engine/device/gl/GLModule.h"
#include "pak/PakFile.h"
#include "script/ScriptParser.h"
#include "script/Timeline.h"
#include "sound/SoundSystem.h"

namespace {

// Frame capture (not in the web build): read-backs still being copied before the oldest is
// waited for.
[[maybe_unused]] constexpr size_t kReadBacksInFlight = 2;

// The benchmark's floor: one empty frame after this many of the production's.
constexpr long kFramesPerEmptyFrame = 8;

const char* const kDashes = "------------------------------------------------------------------";

// Author keys (virtual-key codes).
constexpr uintptr_t kKeyTab = 9;
constexpr uintptr_t kKeySpace = 32;
constexpr uintptr_t kKeyPageUp = 33;
constexpr uintptr_t kKeyPageDown = 34;
constexpr uintptr_t kKeyHome = 36;
constexpr uintptr_t kKeyLeft = 37;
constexpr uintptr_t kKeyRight = 39;
constexpr double kShortSeek = 5.0;
constexpr double kLongSeek = 30.0;

// Editors write a file in several steps; a reload waits until the files were quiet this long.
constexpr uint32_t kQuietMilliseconds = 150;

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
    // A data folder stands for the archive: its files are the production.
    SetDataFolder(options_.dataDir);
    if (!options_.noPak && options_.dataDir.empty() && pak.Open(name))
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
    if (options_.watch)
        watcher_ = std::make_unique<FileWatcher>();
    StartFirstTimeline();
    if (timeline_) {
        StartExport();
        if (options_.bench) {
            bench_ = std::make_unique<BenchRecorder>(benchClock_);
            timeline_->GetLayers().SetFrameObserver(bench_.get());
        }
    }
    frameRate_.Reset(SystemSeconds());

    AddHandler(WM_MOVE, static_cast<Handler>(&DemoApplication::OnMove));
    AddHandler(WM_SIZE, static_cast<Handler>(&DemoApplication::OnSize));
    return true;
}

void DemoApplication::StartExport()
{
#ifndef STARFALL_WEB  // a page has neither files to write nor a terminal to show progress on
    if (options_.videoPath.empty() && options_.captureDir.empty() && !options_.bench)
        return;
    const long firstFrame = options_.fps > 0.0 ? section_.FirstFrame(options_.fps) : 0;
    const double length = section_.StopTime(timeline_->GetScript(), options_.fps, options_.frames);
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
        encoding.soundStart = static_cast<double>(firstFrame) / options_.fps;
        // The picture at the END time itself belongs to the next, unplayed interval.
        videoFrames_ = std::max(1L, static_cast<long>(std::ceil(length * options_.fps - 1e-6)) - firstFrame);
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
#ifndef STARFALL_WEB
        // The frames still being read back or encoded, then the first write error if any.
        if (capture_) {
            std::vector<uint8_t> frame;
            while (device_->TakeReadBack(frame, true))
                CaptureFrame(std::move(frame));
            capture_->Finish();
        }
#endif
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
    if (bench_) {
        // A short run still measures its floor on enough frames.
        while (bench_->GetEmptyFrames() < 100)
            EmptyFrame();
        ReportBench();
    }
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

void DemoApplication::PlayForTesting(std::unique_ptr<RenderDevice> device)
{
    timeline_.reset();
    device_ = std::move(device);
    font_ = device_->GetFont("font1.png");
    if (options_.watch)
        watcher_ = std::make_unique<FileWatcher>();
    StartFirstTimeline();
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

void DemoApplication::StartFirstTimeline()
{
    try {
        Script script;
        ParseScriptFile("Script.txt", script);
        // As if F1-F9 were pressed before the first frame, under the same condition.
        if (options_.speed > 0) {
            if (!script.timeStretch)
                RaiseAppError("--speed %d is refused: the script does not allow time stretching.",
                              options_.speed);
            ClockSetRate(static_cast<float>(options_.speed));
        }
        playingScript_ = script;
        lastTime_ = section_.start;
        if (section_.start <= 0.0) {
            timeline_ = std::make_unique<Timeline>(*device_);
            timeline_->GetScript() = std::move(script);
            timeline_->Start();
        } else if (fixedStep_) {
            // The fixed-step clock moves exactly as in a full run, frame by frame, so the
            // frame drawn at the start is the one a full run draws there.
            frameIndex_ = section_.FirstFrame(options_.fps);
            auto timeline = std::make_unique<Timeline>(*device_);
            timeline->GetScript() = std::move(script);
            if (timeline->StartAt(frameIndex_, [this] { fixedStep_->Advance(); }, true)) {
                timeline_ = std::move(timeline);
                timeline_->StartMusic(timeline_->GetElapsed());
            }
        } else {
            timeline_ = StartTimelineAt(*device_, script, section_.start, 0.0, true);
            if (timeline_)
                timeline_->StartMusic(timeline_->GetElapsed());
        }
        if (!timeline_) {
            std::fprintf(stderr, "starfall: the production ends before %.2f s\n", section_.start);
            quitRequested_ = true;
            PostQuitMessage(0);
        }
    } catch (const CUserException& error) {
        if (!watcher_)
            throw;
        ShowWatchError(error.what());
    }
    if (watcher_) {
        // Until the script plays, any file that appears in the data folder may be the fix.
        watcher_->WatchFolder(GetDataFolder().empty() ? "." : GetDataFolder());
        WatchUsedFiles();
    }
}

double DemoApplication::GetProductionTime() const
{
    return timeline_ ? static_cast<double>(timeline_->GetElapsed()) : lastTime_;
}

bool DemoApplication::PlayScriptAt(const Script& script, double seconds)
{
    std::unique_ptr<Timeline> next = StartTimelineAt(*device_, script, seconds, options_.fps);
    if (!next)
        return false;
    timeline_ = std::move(next);  // the old one stops the music as it goes
    timeline_->StartMusic(timeline_->GetElapsed());
    if (paused_)
        SoundSystem::PauseMusic();
    if (options_.fps > 0.0)
        frameIndex_ = PlaybackSection::FrameAt(seconds, options_.fps);
    lastTime_ = seconds;
    return true;
}

bool DemoApplication::SeekTo(double seconds)
{
    seconds = std::max(seconds, 0.0);
    if (!timeline_) {
        lastTime_ = seconds;  // nothing plays (watch error): the next reload starts here
        return true;
    }
    try {
        if (PlayScriptAt(playingScript_, seconds))
            return true;
        if (section_.loop && seconds != section_.start && PlayScriptAt(playingScript_, section_.start))
            return true;
    } catch (const CUserException& error) {
        // What plays now goes on; the script fails on the way to `seconds`.
        if (!watcher_)
            throw;
        ShowWatchError(error.what());
        return true;
    }
    // Seeking past END ends the production as playing up to there would.
    quitRequested_ = true;
    PostQuitMessage(0);
    return false;
}

bool DemoApplication::IsSectionOver() const
{
    if (!section_.HasEnd())
        return false;
    if (options_.fps > 0.0)
        return frameIndex_ >= section_.EndFrame(options_.fps);
    return section_.IsOver(GetProductionTime());
}

bool DemoApplication::StepTimeline()
{
    try {
        return timeline_->Step();
    } catch (const CUserException& error) {
        if (!watcher_)
            throw;
        ShowWatchError(error.what());
    }
    // The script failed while playing: the one that played before it takes over.
    const double at = timeline_->GetElapsed();
    timeline_.reset();
    lastTime_ = at;
    if (fallbackScript_) {
        try {
            if (PlayScriptAt(*fallbackScript_, at)) {
                playingScript_ = *fallbackScript_;
                fallbackScript_.reset();
            }
        } catch (const CUserException& error) {
            timeline_.reset();
            ShowWatchError(watchError_ + "\n" + error.what());
        }
    }
    return true;
}

void DemoApplication::TogglePause()
{
    paused_ = !paused_;
    if (paused_) {
        resumeRate_ = ClockGetRate();
        ClockSetRate(0.0f);
        SoundSystem::PauseMusic();
    } else {
        ClockSetRate(resumeRate_);
        SoundSystem::ResumeMusic();
    }
}

void DemoApplication::ShowWatchError(const std::string& text)
{
    watchError_ = text;
    std::fprintf(stderr, "starfall: %s\n", text.c_str());
    std::fflush(stderr);
}

void DemoApplication::WatchUsedFiles()
{
    for (const auto& [name, path] : GetUsedFilePaths()) {
        if (path.empty() || !watchedPaths_.insert(path).second)
            continue;
        watcher_->Watch(path);
    }
}

void DemoApplication::PollWatcher()
{
    const uint32_t now = static_cast<uint32_t>(SystemSeconds() * 1000.0f);
    for (const FileWatcher::Change& change : watcher_->TakeChanges()) {
        changedPaths_.insert(change.path);
        anyChangeWatched_ = anyChangeWatched_ || change.watched;
        lastChangeTicks_ = now;
    }
    if (changedPaths_.empty() || now - lastChangeTicks_ < kQuietMilliseconds)
        return;
    // Other files in the folders matter only while an error waits for its fix.
    if (anyChangeWatched_ || !watchError_.empty())
        Reload(changedPaths_);
    changedPaths_.clear();
    anyChangeWatched_ = false;
}

void DemoApplication::Reload(const std::set<std::string>& changedPaths)
{
    for (const auto& [name, path] : GetUsedFilePaths())
        if (changedPaths.count(path) != 0) {
            ForgetCachedImage(*device_, name);
            device_->RetireFont(name);
        }
    const double at = GetProductionTime();
    const bool wasPlaying = timeline_ != nullptr;
    try {
        Script script;
        ParseScriptFile("Script.txt", script);
        if (!PlayScriptAt(script, at)) {
            char text[96];
            std::snprintf(text, sizeof text, "The changed script ends before %.2f s.", at);
            ShowWatchError(text);
        } else {
            if (wasPlaying)
                fallbackScript_ = std::move(playingScript_);
            playingScript_ = std::move(script);
            watchError_.clear();
            LogLine("Reloaded at %.2f s.", at);
        }
    } catch (const CUserException& error) {
        ShowWatchError(error.what());
    }
    WatchUsedFiles();
}

void DemoApplication::DrawAuthorText()
{
    if (options_.author) {
        const double now = GetProductionTime();
        font_->Print(nullptr, 10, 40, "%.2f s%s", now, paused_ ? "  paused" : "");
        // The overlay times the layers itself; the benchmark's timing must stay its own.
        if (options_.overlay && !overlay_) {
            overlay_ = std::make_unique<StackOverlay>();
            overlay_->Toggle();
        }
        if (overlay_ && timeline_ && !bench_) {
            if (overlay_->IsShown())
                overlay_->Draw(*timeline_, *device_, *font_, 60);
            else
                timeline_->GetLayers().SetFrameObserver(nullptr);
        }
        char title[160];
        std::snprintf(title, sizeof title, "%s - %.1f s%s", windowTitle_.c_str(), now, paused_ ? " (paused)" : "");
#ifndef STARFALL_WEB
        if (window_ && shownTitle_ != title) {
            shownTitle_ = title;
            SDL_SetWindowTitle(window_, title);
        }
#endif
    }
    if (!watchError_.empty()) {
        int y = 60;
        size_t begin = 0;
        for (int line = 0; line < 24 && begin < watchError_.size(); ++line) {
            size_t end = watchError_.find('\n', begin);
            if (end == std::string::npos)
                end = watchError_.size();
            std::string text = watchError_.substr(begin, end - begin);
            if (!text.empty() && text.back() == '\r')
                text.pop_back();
            font_->PrintText(nullptr, 10, y, text.c_str());
            y += font_->GetHeight() + 2;
            begin = end + 1;
        }
    }
}

#ifndef STARFALL_WEB
void DemoApplication::CaptureFrame(std::vector<uint8_t> frame)
{
    if (!frame.empty())
        capture_->WriteFrame(std::move(frame), device_->GetWidth(), device_->GetHeight());
}
#endif

void DemoApplication::Frame()
{
    // A stop signal ends the run between frames, so a captured frame is always whole.
    if (InterruptRequested() != 0) {
        quitRequested_ = true;
        PostQuitMessage(0);
        return;
    }
    if (bench_)
        bench_->BeginFrame(false);
    if (watcher_)
        PollWatcher();
    if (pendingSeek_) {
        const double target = *pendingSeek_;
        pendingSeek_.reset();
        if (!SeekTo(target))
            return;
    }
    if (IsSectionOver()) {
        if (!section_.loop) {
            quitRequested_ = true;
            PostQuitMessage(0);
            return;
        }
        if (!SeekTo(section_.start))
            return;
    }

    device_->BeginScene();
    // The frame in which the script ends shows nothing of the production (the video export,
    // which the web build lacks, must not take it).
    [[maybe_unused]] bool playing = timeline_ != nullptr;
    if (timeline_ && !StepTimeline()) {
        playing = false;
        if (section_.loop)
            pendingSeek_ = section_.start;
        else
            PostQuitMessage(0);
    }
    device_->EndScene();
    if (timeline_)
        lastTime_ = timeline_->GetElapsed();

    frameRate_.Tick(SystemSeconds());
    const bool showFrameRate = timeline_ && timeline_->ShowFrameRate();
    if (showFrameRate)
        font_->Print(nullptr, 10, 10, "%.2f", static_cast<double>(frameRate_.GetValue()));
    else
        font_->Print(nullptr, 10, 10, " ");
    if (timeline_ && timeline_->ShowTime())
        font_->Print(nullptr, 10, 25, "%.2f", static_cast<double>(timeline_->GetElapsed()));
    DrawAuthorText();
#ifndef STARFALL_WEB
    if (video_ && playing && framesDone_ < videoFrames_)
        video_->AddFrame(device_->ReadBackBuffer());
#endif
    FinishFrame();

    if (bench_) {
        bench_->EndFrame();
        if (framesDone_ % kFramesPerEmptyFrame == 0)
            EmptyFrame();
    }
}

void DemoApplication::FinishFrame()
{
#ifndef STARFALL_WEB
    if (capture_) {
        // Files are named by production frame: a run that starts part-way or seeks
        // finishes what is queued and numbers on from the frame it is at.
        if (frameIndex_ != capture_->GetFrameCount() + static_cast<long>(device_->GetQueuedReadBacks())) {
            std::vector<uint8_t> frame;
            while (device_->TakeReadBack(frame, true))
                CaptureFrame(std::move(frame));
            capture_->Restart(frameIndex_);
        }
        device_->QueueReadBack();
        // Frames already copied go to the encoders; beyond a few in flight the oldest is
        // waited for, so the copies run behind the drawing without piling up.
        std::vector<uint8_t> frame;
        while (device_->TakeReadBack(frame, device_->GetQueuedReadBacks() > kReadBacksInFlight))
            CaptureFrame(std::move(frame));
    }
#endif
    device_->Present(0);
    device_->Clear(0);

    ++framesDone_;
    ++frameIndex_;
    if (framesDone_ == 1 && bench_)
        startupMs_ = MillisecondsSinceProcessStart();
    if (fixedStep_)
        fixedStep_->Advance();
    if (progress_ && timeline_)
        progress_->Update(timeline_->GetElapsed(), framesDone_);
    if (options_.frames > 0 && framesDone_ >= options_.frames) {
        quitRequested_ = true;
        PostQuitMessage(0);
    }
}

void DemoApplication::EmptyFrame()
{
    bench_->BeginFrame(true);
    device_->BeginScene();
    device_->EndScene();
    font_->Print(nullptr, 10, 10, " ");
    device_->Present(0);
    device_->Clear(0);
    bench_->EndFrame();
}

void DemoApplication::ReportBench()
{
    BenchFigures figures = bench_->Compute();
    figures.mode = std::to_string(device_->GetWidth()) + "x" + std::to_string(device_->GetHeight()) + "x" +
                   std::to_string(device_->GetBitsPerPixel());
    figures.fixedStepFps = options_.fps;
    figures.startupMs = startupMs_;
    figures.peakResidentMb = PeakResidentMegabytes();
    std::fputs(FormatBenchText(figures).c_str(), stdout);
    std::fflush(stdout);
    if (!options_.benchJsonPath.empty()) {
        const std::string json = FormatBenchJson(figures);
        std::FILE* file = std::fopen(options_.benchJsonPath.c_str(), "wb");
        const bool written = file != nullptr && std::fwrite(json.data(), 1, json.size(), file) == json.size();
        const bool closed = file != nullptr && std::fclose(file) == 0;
        if (!written || !closed)
            RaiseAppError("Cannot write [%s].", options_.benchJsonPath.c_str());
    }
}

bool DemoApplication::OnKeyDown(uintptr_t wParam, intptr_t lParam)
{
    if (timeline_ && timeline_->TimeStretch() && wParam >= static_cast<uintptr_t>(VK_F1) &&
        wParam <= static_cast<uintptr_t>(VK_F9)) {
        const float rate = static_cast<float>(wParam - VK_F1 + 1);
        if (paused_)
            resumeRate_ = rate;  // takes effect on resuming
        else
            ClockSetRate(rate);
    }
    if (options_.author) {
        // Presses before the next frame add up, so a held key seeks in steps.
        const double from = pendingSeek_ ? *pendingSeek_ : GetProductionTime();
        switch (wParam) {
        case kKeySpace: TogglePause(); break;
        case kKeyLeft: pendingSeek_ = std::max(0.0, from - kShortSeek); break;
        case kKeyRight: pendingSeek_ = from + kShortSeek; break;
        case kKeyPageDown: pendingSeek_ = std::max(0.0, from - kLongSeek); break;
        case kKeyPageUp: pendingSeek_ = from + kLongSeek; break;
        case kKeyHome: pendingSeek_ = section_.start; break;
        case kKeyTab:
            if (!overlay_) overlay_ = std::make_unique<StackOverlay>();
            overlay_->Toggle();
            break;
        default: break;
        }
    }
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
