// Web entry: the page calls main with the options of its address; the archive travels in
// the program's file system; errors and the end of the run are handed to the page.
#include <emscripten.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/DemoApplication.h"
#include "app/ErrorDialogs.h"
#include "app/FixedStepClock.h"
#include "app/web/WebPage.h"
#include "engine/core/Clock.h"
#include "engine/core/ExceptionGuard.h"
#include "engine/core/Fatal.h"
#include "pak/EmbeddedResource.h"
#include "script/Timeline.h"
#include "sound/SoundSystem.h"

EM_JS(void, starfall_page_fatal, (const char* caption, const char* text), {
    Module.starfallPage.fatal(UTF8ToString(caption), UTF8ToString(text));
});
EM_JS(void, starfall_page_ended, (), { Module.starfallPage.ended(); });
EM_JS(void, starfall_page_frame, (int index, double elapsed), { Module.starfallPage.framePresented(index, elapsed); });
EM_JS(int, starfall_page_stopped, (), { return Module.starfallPage.stopped ? 1 : 0; });
EM_JS(double, starfall_sound_clock_micros, (), { return Module.starfallSound.clockMicros(); });

namespace {

// The demo clock on the audio clock: the page counts microseconds that stand still
// while the music is being decoded and then follow the music's playing position.
class AudioClockCounter : public ClockCounter {
public:
    bool Frequency(int64_t& ticksPerSecond) override
    {
        ticksPerSecond = 1000000;
        return true;
    }
    int64_t Count() override { return static_cast<int64_t>(starfall_sound_clock_micros()); }
};

struct WebRun {
    CommandLineOptions options;
    std::unique_ptr<FixedStepCounter> fixedStep;
    AudioClockCounter audioClock;
    std::vector<uint8_t> archive;
    DemoApplication* application = nullptr;
};

WebRun& Run()
{
    static WebRun run;
    return run;
}

// The archive was linked in as the file /Starfall.pak; it is served from memory as the
// desktop's embedded one is.
void RegisterLinkedArchive(std::vector<uint8_t>& bytes)
{
    std::ifstream file("/Starfall.pak", std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (!bytes.empty())
        RegisterEmbeddedResource("STARFALL.PAK", bytes.data(), bytes.size());
}

// The same choice of dialog and text as on the desktop, shown by the page; also on the
// console, as the desktop prints it on stderr.
void ReportToPage(const std::exception_ptr& escaped)
{
    std::string caption = kExceptionDialogCaption;
    std::string text;
    try {
        std::rethrow_exception(escaped);
    } catch (const AppError& error) {
        text = error.what();
    } catch (const CUserException& error) {
        caption = kErrorDialogCaption;
        text = error.what();
    } catch (...) {
        if (IsLibraryErrorPending()) {
            caption = kErrorDialogCaption;
            text = GetLibraryLastMessage();
        } else {
            text = "Unhandled Exception.";
        }
    }
    std::fprintf(stderr, "%s\n%s\n", caption.c_str(), text.c_str());
    // Nothing plays on behind the report.
    SoundSystem::Stop();
    starfall_page_fatal(caption.c_str(), text.c_str());
}

}  // namespace

void WebFinishRun(Application* application, std::exception_ptr error)
{
    if (error) {
        // As on the desktop, a failed application is left as it is, only silenced.
        ReportToPage(error);
        return;
    }
    delete application;  // stops the music, releases layers and device
    Run().application = nullptr;
    ClockSetCounter(nullptr);
    starfall_page_ended();
}

bool WebPageStopped()
{
    return starfall_page_stopped() != 0;
}

void WebFramePresented(long index)
{
    // The production's time goes with the frame, so the page can tell how far picture and
    // music are apart.
    const Timeline* timeline = Run().application ? Run().application->GetTimeline() : nullptr;
    starfall_page_frame(static_cast<int>(index), timeline ? timeline->GetElapsed() : 0.0);
}

int main(int argc, char** argv)
{
    WebRun& run = Run();
    std::string error;
    if (!ParseCommandLine(argc, argv, run.options, error)) {
        const std::string text = "starfall: " + error;
        starfall_page_fatal(kExceptionDialogCaption, text.c_str());
        return 2;
    }
    // The page's start screen has made the choices the dialog makes on the desktop.
    run.options.noDialog = true;
    RegisterLinkedArchive(run.archive);
    if (run.options.noPak || !run.options.pakPath.empty())
        UnregisterEmbeddedResource("STARFALL.PAK");
    if (run.options.hasSeed)
        ClockSetSeed(run.options.seed);
    if (run.options.fps > 0.0) {
        run.fixedStep = std::make_unique<FixedStepCounter>(run.options.fps);
        ClockSetCounter(run.fixedStep.get());
    } else {
        ClockSetCounter(&run.audioClock);
    }

    DemoApplication* application = nullptr;
    try {
        RunGuarded([&] {
            application = new DemoApplication(run.options, run.fixedStep.get());
            run.application = application;
            application->Init();
        });
    } catch (...) {
        ReportToPage(std::current_exception());
        return 1;
    }
    application->Run();  // returns at once: the browser runs the frames
    return 0;
}
