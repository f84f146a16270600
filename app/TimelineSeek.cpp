// Starting the timeline part-way into the production on a pinned demo clock.
#include "app/TimelineSeek.h"

#include <cmath>

#include "engine/core/Clock.h"
#include "script/Timeline.h"

namespace {

// Pins the demo clock for as long as it lives, also when the script fails to start.
class ClockPinScope {
public:
    explicit ClockPinScope(double time) { ClockPin(static_cast<float>(time)); }
    ~ClockPinScope() { ClockUnpin(); }
    ClockPinScope(const ClockPinScope&) = delete;
    ClockPinScope& operator=(const ClockPinScope&) = delete;
};

}  // namespace

std::unique_ptr<Timeline> StartTimelineAt(RenderDevice& device, const Script& script, double seconds, double fps,
                                          bool loadingImage)
{
    const double rate = fps > 0.0 ? fps : kSeekFramesPerSecond;
    const long frames = seconds > 0.0 ? std::lround(seconds * rate) : 0;
    // Playback began `frames` frames before now; each skipped frame's time counts from
    // there, so rounding never accumulates.
    const double begin = static_cast<double>(ClockNow()) - static_cast<double>(frames) / rate;
    auto timeline = std::make_unique<Timeline>(device);
    timeline->GetScript() = script;
    ClockPinScope pin(begin);
    long done = 0;
    const bool playing = timeline->StartAt(
        frames,
        [&] {
            ++done;
            ClockPin(static_cast<float>(begin + static_cast<double>(done) / rate));
        },
        loadingImage);
    if (!playing)
        return nullptr;
    return timeline;
}
