// Production time's one owner: starts, seeks, loops and ends the timeline, steps the fixed clock.
#include "app/PlaybackController.h"

#include <algorithm>

#include "app/FixedStepClock.h"
#include "app/TimelineSeek.h"
#include "engine/core/Clock.h"
#include "script/Timeline.h"
#include "sound/SoundSystem.h"

PlaybackController::PlaybackController(RenderDevice& device, const PlaybackSection& section, double fps,
                                       FixedStepCounter* fixedStep)
    : device_(device), section_(section), fps_(fixedStep ? fps : 0.0), fixedStep_(fixedStep)
{
    stoppedAt_ = section_.start;
    frameIndex_ = PlaybackSection::FrameAt(section_.start, fps_);
}

PlaybackController::~PlaybackController() = default;

std::unique_ptr<Timeline> PlaybackController::StartOnFixedStep(const Script& script, double seconds)
{
    auto timeline = std::make_unique<Timeline>(device_);
    timeline->GetScript() = script;
    const long frames = PlaybackSection::FrameAt(seconds, fps_);
    if (!timeline->StartAt(frames, [this] { fixedStep_->Advance(); }, true))
        return nullptr;
    return timeline;
}

bool PlaybackController::PlayAt(const Script& script, double seconds, bool programStart)
{
    seconds = std::max(seconds, 0.0);
    std::unique_ptr<Timeline> next;
    const bool fromTheTop = programStart && seconds <= 0.0;
    if (fromTheTop) {
        next = std::make_unique<Timeline>(device_);
        next->GetScript() = script;
        next->Start();  // loading image, preload and music, as a plain run starts
    } else if (programStart && fixedStep_) {
        next = StartOnFixedStep(script, seconds);
    } else {
        next = StartTimelineAt(device_, script, seconds, fps_, programStart);
    }
    if (!next)
        return false;
    timeline_ = std::move(next);  // the old one stops the music as it goes
    if (!fromTheTop)
        timeline_->StartMusic(timeline_->GetElapsed());
    if (paused_)
        SoundSystem::PauseMusic();
    if (&script != &script_)
        script_ = script;
    if (fps_ > 0.0)
        frameIndex_ = PlaybackSection::FrameAt(seconds, fps_);  // a free-running run counts on
    stoppedAt_ = seconds;
    loopPending_ = false;
    return true;
}

void PlaybackController::Adopt(std::unique_ptr<Timeline> timeline)
{
    timeline_ = std::move(timeline);
    if (timeline_)
        script_ = timeline_->GetScript();
}

void PlaybackController::DropFailedTimeline()
{
    if (!timeline_)
        return;
    stoppedAt_ = timeline_->GetElapsed();
    timeline_.reset();
}

void PlaybackController::RequestSeek(double seconds)
{
    pendingSeek_ = std::max(seconds, 0.0);
}

bool PlaybackController::BeginFrame()
{
    if (pendingSeek_) {
        const double target = *pendingSeek_;
        pendingSeek_.reset();
        if (!timeline_) {
            stoppedAt_ = target;  // nothing plays (a script error waits for its fix): start there
        } else if (!PlayAt(script_, target)) {
            // Seeking past END ends the production as playing up to there would, or loops.
            if (!section_.loop)
                return false;
            loopPending_ = true;
        }
    }
    if (loopPending_ || IsSectionOver()) {
        if (!section_.loop)
            return false;
        // Each round starts the demo clock from zero again, so its float seconds keep their
        // resolution however long a loop has been playing.
        ClockRestartOrigin();
        if (!PlayAt(script_, section_.start))
            return false;
    }
    return true;
}

bool PlaybackController::Step()
{
    if (!timeline_ || timeline_->Step())
        return true;
    loopPending_ = section_.loop;
    return false;
}

void PlaybackController::FrameDone()
{
    if (fixedStep_)
        fixedStep_->Advance();
    if (!paused_)
        ++frameIndex_;
    if (timeline_)
        stoppedAt_ = timeline_->GetElapsed();
}

void PlaybackController::SetRate(float rate)
{
    if (paused_)
        resumeRate_ = rate;
    else
        ClockSetRate(rate);
}

void PlaybackController::TogglePause()
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

double PlaybackController::Now() const
{
    return timeline_ ? static_cast<double>(timeline_->GetElapsed()) : stoppedAt_;
}

bool PlaybackController::IsSectionOver() const
{
    if (!section_.HasEnd())
        return false;
    // At a fixed step a frame stands for the 1/fps s around its time: the frame nearest the
    // end is the first one not drawn, whatever the rate.
    const double margin = fps_ > 0.0 ? 0.5 / fps_ : 0.0;
    return Now() >= section_.end - margin;
}
