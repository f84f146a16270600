// Process entry: options, display check, the error guard around the application, exit status.
#pragma once

// Exit statuses of the player.
constexpr int kExitNormal = 0;
constexpr int kExitFatalError = 1;
constexpr int kExitUsage = 2;
// A stop signal ends the player with this plus the signal's number (130 for SIGINT, 143 for SIGTERM).
constexpr int kExitSignalBase = 128;

// Runs the whole player; returns the process exit status.
int StarfallMain(int argc, char** argv);

// Makes an error that ends the program through std::terminate (one thrown out of a
// destructor) show its dialog and end with kExitFatalError.
void InstallTerminateReport();

// True when a display can be reached: DISPLAY or WAYLAND_DISPLAY is set, or the
// environment chose an SDL video driver itself.
bool HasDisplay();

// SIGINT and SIGTERM ask the player to stop (the first one; a second of either ends it at
// once): between frames in playback, at the next data file during loading. SIGCHLD is set
// back to its default, so helper programs' exit statuses can be read.
void InstallStopSignals();
// Leaves full screen and shows the cursor again (when there is a window).
void RestoreDisplay();
