// The authoring modes of the player: --describe, --check, --new and --stack-at (no display, nothing played).
#pragma once
#include <memory>
#include <string>

class RenderDevice;
struct CommandLineOptions;

// A device that loads images and scenes without a display or a GPU and draws nowhere;
// supplied by the program (tools/author), so the shell itself stays free of it.
std::unique_ptr<RenderDevice> MakeDisplaylessDevice();

// Runs the mode the options ask for and returns the exit status: 0 done (for --check:
// nothing found), 1 findings or an error (said on stderr), 2 a usage mistake.
int RunAuthorTool(const CommandLineOptions& options);

// The starter production's script (CR LF line ends), as --new writes it.
std::string StarterScript();
// A silent-but-for-a-click-per-beat WAV file of the given length, 8-bit mono at 11025 Hz.
std::string StarterMusic(double seconds, double beatSeconds);
