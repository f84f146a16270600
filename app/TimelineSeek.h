// Starting the timeline part-way into the production: seeking, looping and reloading.
#pragma once
#include <memory>

class RenderDevice;
class Timeline;
struct Script;

// Frames per second of the frames a seek plays through when the clock runs free.
constexpr double kSeekFramesPerSecond = 100.0;

// A new timeline on device that plays script (as parsed) from production time `seconds`:
// every block due before then has run as in a full run, frame by frame (1/fps s apart,
// or 1/kSeekFramesPerSecond s when fps is 0, `seconds` taken to the nearest frame), and
// every layer's clock reads what it would at `seconds`. The demo clock is pinned to the
// skipped frames' times meanwhile and afterwards reads on as if nothing had happened, so
// a timeline still playing beside the new one is undisturbed. The music is not started:
// call StartMusic (GetElapsed) once the new timeline has replaced the old one, whose end
// stops the output. nullptr when an END operation comes before `seconds`. The script's
// loading image is shown while it starts only when loadingImage is set (the program's start).
std::unique_ptr<Timeline> StartTimelineAt(RenderDevice& device, const Script& script, double seconds, double fps,
                                          bool loadingImage = false);
