// Production time's one owner: the playing timeline and script, the section, the clock's step, rate and pause.
#pragma once
#include <memory>
#include <optional>

#include "app/PlaybackSection.h"
#include "script/ScriptData.h"

class FixedStepCounter;
class RenderDevice;
class Timeline;

// Everything that asks "where is the production now" asks here: --end and --loop, the
// capture's numbering, the video's length, the progress line and the bench. Every way of
// playing from somewhere (a full run, --start, a seek, a loop, a reload) goes through PlayAt.
class PlaybackController {
public:
    // fixedStep (not owned, nullptr for a free-running clock) moves one frame per FrameDone;
    // fps is its rate (0 without one).
    PlaybackController(RenderDevice& device, const PlaybackSection& section, double fps,
                       FixedStepCounter* fixedStep);
    ~PlaybackController();
    PlaybackController(const PlaybackController&) = delete;
    PlaybackController& operator=(const PlaybackController&) = delete;

    // Plays script (as parsed) from production time `seconds`, music included, as if it had
    // played up to there. programStart: the loading image is shown and, at a fixed step, the
    // skipped frames move the fixed-step clock itself, so the first frame drawn is exactly a
    // full run's. False, with what played before untouched, when the script ends before then.
    bool PlayAt(const Script& script, double seconds, bool programStart = false);
    // Tests: a timeline started elsewhere plays on as it is.
    void Adopt(std::unique_ptr<Timeline> timeline);
    // The script failed inside a frame: its timeline is dropped, the time it reached kept.
    void DropFailedTimeline();

    // Taken at the next BeginFrame; requests before then add up (from the one pending).
    void RequestSeek(double seconds);
    std::optional<double> PendingSeek() const { return pendingSeek_; }
    // Before a frame: a pending seek, then the section's end (looping when asked). False when
    // the run is over instead (past END and nothing loops); may throw the script's errors of
    // the seek, with what played before still playing.
    bool BeginFrame();
    // The frame's timeline step; false when END ran (a loop then starts again next frame).
    bool Step();
    // After Present: the fixed-step clock moves on; the frame index too unless paused.
    void FrameDone();

    // Rate from F1-F9 or --speed; while paused it takes effect on resuming.
    void SetRate(float rate);
    void TogglePause();
    bool IsPaused() const { return paused_; }

    Timeline* GetTimeline() const { return timeline_.get(); }
    const Script& GetScript() const { return script_; }
    const PlaybackSection& GetSection() const { return section_; }
    double GetFps() const { return fps_; }
    // Production seconds of the frame about to be drawn (or where playback stood when none plays).
    double Now() const;
    // Production frame index of the frame about to be drawn: a run started at T numbers from
    // T's frame, as a full run does; frames drawn while paused keep the index.
    long GetFrameIndex() const { return frameIndex_; }
    // Whether the next frame lies past the section's end.
    bool IsSectionOver() const;

private:
    std::unique_ptr<Timeline> StartOnFixedStep(const Script& script, double seconds);

    RenderDevice& device_;
    PlaybackSection section_;
    double fps_;
    FixedStepCounter* fixedStep_;
    std::unique_ptr<Timeline> timeline_;
    Script script_;  // as parsed: seeks and loops start again from it
    std::optional<double> pendingSeek_;
    bool loopPending_ = false;
    double stoppedAt_ = 0.0;  // production seconds when no timeline plays
    long frameIndex_ = 0;
    bool paused_ = false;
    float resumeRate_ = 1.0f;
};
