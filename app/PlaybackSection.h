// The part of the production a run plays (--start, --end, --loop), in seconds and in frames.
#pragma once
#include "app/CommandLine.h"

struct Script;

// The one place that decides which frames a run draws: the player's frame loop, --capture's
// numbering, and any other frame-based output (encoding a video, benchmarks) read it here.
// Frame k of a production at F frames per second is drawn at production time k / F, so a
// run that starts at T numbers its frames from FirstFrame(F), as a full run numbers them.
struct PlaybackSection {
    double start = 0.0;  // production seconds of the first frame
    double end = -1.0;   // production seconds playback stops at; < 0: the script's END
    bool loop = false;   // at the end (or END), start again at `start`

    static PlaybackSection FromOptions(const CommandLineOptions& options);

    bool HasEnd() const { return end >= 0.0; }
    // Index of the frame nearest to `seconds` at fps frames per second.
    static long FrameAt(double seconds, double fps);
    long FirstFrame(double fps) const { return FrameAt(start, fps); }
    // The first frame not drawn (frames [FirstFrame, EndFrame) are); -1 without an end.
    long EndFrame(double fps) const { return HasEnd() ? FrameAt(end, fps) : -1; }
    // With a free-running clock: whether a frame at production time `elapsed` lies past the section.
    bool IsOver(double elapsed) const { return HasEnd() && elapsed >= end; }
    // Production seconds the run stops at: the script's first END, narrowed by `end` and, at
    // fixed steps (fps > 0), by `frames` frames counted from the first; 0 when it never stops.
    double StopTime(const Script& script, double fps, long frames) const;
};
