// The part of the production a run plays, in seconds and in frames.
#include "app/PlaybackSection.h"

#include <cmath>

PlaybackSection PlaybackSection::FromOptions(const CommandLineOptions& options)
{
    PlaybackSection section;
    section.start = options.startTime;
    section.end = options.endTime;
    section.loop = options.loop;
    return section;
}

long PlaybackSection::FrameAt(double seconds, double fps)
{
    if (fps <= 0.0 || seconds <= 0.0)
        return 0;
    return std::lround(seconds * fps);
}
