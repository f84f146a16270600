// A page has neither files to write nor a terminal to show progress on: no outputs.
#include "app/OutputSinks.h"

void AddCaptureSink(FrameSinkList&, const CommandLineOptions&, RenderDevice&) {}

void AddExportSinks(FrameSinkList&, const CommandLineOptions&, const PlaybackController&, RenderDevice&) {}
