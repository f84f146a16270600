// Command line of the player: the case-sensitive substring switches and the Linux options.
#pragma once
#include <string>

struct CommandLineOptions {
    std::string commandLine;      // the arguments after the program name, joined by spaces
    bool logWindow = false;       // "LogWindow" anywhere in the command line
    bool fileList = false;        // "gfl" anywhere in the command line
    bool help = false;
    bool version = false;
    bool noDialog = false;
    bool headless = false;
    bool windowed = false;
    bool noVsync = false;
    bool noPak = false;
    double fps = 0.0;             // > 0: fixed-step time
    long frames = 0;              // > 0: quit normally after this many frames
    std::string captureDir;       // non-empty: write every presented frame here
    bool hasSeed = false;
    unsigned seed = 0;
    int speed = 0;                // 1..9: playback rate from the start, as F1-F9 (0: not set)
    std::string pakPath;          // non-empty: open this archive instead of the embedded one
    int modeWidth = 640;
    int modeHeight = 480;
    int modeBits = 32;
};

// Plain case-sensitive substring search, as the original switches are matched.
bool HasSwitch(const std::string& commandLine, const char* name);

// Parses argv; on a malformed or unknown option returns false with a one-line reason.
// Words that are not options are kept only as part of the joined command line.
bool ParseCommandLine(int argc, const char* const* argv, CommandLineOptions& options,
                      std::string& error);

// The text printed by --help.
std::string CommandLineUsage(const char* programName);
