// Process entry: options, display check, the error guard around the application, exit status.
#pragma once

// Exit statuses of the player.
constexpr int kExitNormal = 0;
constexpr int kExitFatalError = 1;
constexpr int kExitUsage = 2;

// Runs the whole player; returns the process exit status.
int StarfallMain(int argc, char** argv);

// Makes an error that ends the program through std::terminate (one thrown out of a
// destructor) show its dialog and end with kExitFatalError.
void InstallTerminateReport();

// True when a display can be reached: DISPLAY or WAYLAND_DISPLAY is set, or the
// environment chose an SDL video driver itself.
bool HasDisplay();
