// The files and terminal line a run writes besides the screen (none in a browser).
#pragma once
#include "app/FrameSink.h"

struct CommandLineOptions;
class PlaybackController;
class RenderDevice;

// --capture: every presented frame as a numbered PNG. Added as soon as the device exists,
// so an unusable folder is refused before anything loads.
void AddCaptureSink(FrameSinkList& sinks, const CommandLineOptions& options, RenderDevice& device);
// --video and the progress line, once the production's script plays.
void AddExportSinks(FrameSinkList& sinks, const CommandLineOptions& options, const PlaybackController& playback,
                    RenderDevice& device);
