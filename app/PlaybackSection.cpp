// The part of the production a run plays, in seconds and in frames.
#include "app/PlaybackSection.h"

#include <algorithm>
#include <cmath>

#include "script/ScriptData.h"

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

double PlaybackSection::StopTime(const Script& script, double fps, long frames) const
{
    double stop = 0.0;
    for (const TimeBlock& block : script.blocks) {
        const bool ends = std::any_of(block.operations.begin(), block.operations.end(),
                                      [](const LayerOperation& op) { return op.kind == OperationKind::End; });
        // Blocks are sorted, and a negative one (other than the preload) fires at once.
        if (ends) {
            stop = std::max(0.0, static_cast<double>(block.time));
            break;
        }
    }
    const auto narrow = [&stop](double limit) {
        if (stop <= 0.0 || limit < stop)
            stop = limit;
    };
    if (HasEnd())
        narrow(end);
    if (frames > 0 && fps > 0.0)
        narrow((static_cast<double>(FirstFrame(fps)) + static_cast<double>(frames)) / fps);  // no overflow
    return stop;
}
