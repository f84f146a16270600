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
    std::string videoPath;        // non-empty: export the production to this video file
    int videoQuality = -1;        // CRF of the video encoder; -1: the format's default
    bool quiet = false;           // no progress line
    double startTime = 0.0;       // --start: production seconds playback starts at
    double endTime = -1.0;        // --end: production seconds playback ends at; < 0: the script's END
    bool loop = false;            // --loop: repeat from startTime to endTime (or END)
    bool author = false;          // --author: pause, seek and time keys, time shown
    bool overlay = false;         // --overlay: the author's layer-stack overlay shown from the start
    bool watch = false;           // --watch: reload when the script or a data file changes
    std::string dataDir;          // --data: play the files of this folder, no archive
    bool bench = false;           // play as fast as possible and report the frame times
    std::string benchJsonPath;    // non-empty: --bench, and the figures go to this file as JSON
    bool describe = false;        // --describe [TYPE]: the script reference, then exit
    std::string describeType;     // the one type to describe (empty: list them all)
    bool check = false;           // --check: the strict check of the script, then exit
    std::string newDir;           // --new DIR: write a starter production into DIR, then exit
    double stackAt = -1.0;        // --stack-at T: print the layer stack at T (>= 0), then exit
};

// Whether one of the authoring modes (describe, check, new, stack-at) replaces playing.
bool IsAuthorToolMode(const CommandLineOptions& options);

// A production time: seconds ("83.5") or minutes and seconds ("1:23.5"), not negative.
bool ParseProductionTime(const char* text, double& seconds);

// Plain case-sensitive substring search, as the original switches are matched.
bool HasSwitch(const std::string& commandLine, const char* name);

// Parses argv; on a malformed or unknown option returns false with a one-line reason.
// Words that are not options are kept only as part of the joined command line.
bool ParseCommandLine(int argc, const char* const* argv, CommandLineOptions& options,
                      std::string& error);

// What --bench implies unless asked otherwise: the fixed-step clock at 30 frames/s when no
// --fps was given, no vertical sync, and headless play unless --windowed asks for a window.
void ApplyBenchDefaults(CommandLineOptions& options);

// The text printed by --help.
std::string CommandLineUsage(const char* programName);
