// Command-line parsing: substring switches over the joined arguments, plus "--" options.
#include "app/CommandLine.h"

#include "app/VideoFormat.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <cstring>
#include <filesystem>

#include <unistd.h>

bool HasSwitch(const std::string& commandLine, const char* name)
{
    return commandLine.find(name) != std::string::npos;
}

namespace {

// Plain decimal notation only ("12", "12.5", ".5"): strtod alone would also take
// hexadecimal, exponents, "inf" and "nan".
bool IsPlainDecimal(const char* text)
{
    bool digits = false, point = false;
    for (const char* c = text; *c; ++c) {
        if (std::isdigit(static_cast<unsigned char>(*c)))
            digits = true;
        else if (*c == '.' && !point)
            point = true;
        else
            return false;
    }
    return digits;
}

}  // namespace

bool ParseProductionTime(const char* text, double& seconds)
{
    if (!text || !*text)
        return false;
    double minutes = 0.0;
    const char* rest = text;
    if (const char* colon = std::strchr(text, ':')) {
        char* end = nullptr;
        errno = 0;
        const long whole = std::strtol(text, &end, 10);
        if (errno != 0 || end != colon || !std::isdigit(static_cast<unsigned char>(*text)) || whole < 0)
            return false;
        minutes = static_cast<double>(whole);
        rest = colon + 1;
    }
    if (!IsPlainDecimal(rest))
        return false;
    char* end = nullptr;
    const double value = std::strtod(rest, &end);
    if (*end != '\0' || !std::isfinite(value) || value < 0.0 || (rest != text && value >= 60.0))
        return false;
    seconds = minutes * 60.0 + value;
    return seconds < 1.0e6;  // beyond any production; keeps frame numbers in range
}

namespace {

bool ParseLong(const char* text, long minimum, long& value)
{
    if (!text || !*text)
        return false;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < minimum)
        return false;
    value = v;
    return true;
}

bool ParseMode(const char* text, CommandLineOptions& options)
{
    int w = 0, h = 0, b = 0;
    char extra = 0;
    if (std::sscanf(text, "%dx%dx%d%c", &w, &h, &b, &extra) != 3)
        return false;
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384 || (b != 16 && b != 32))
        return false;
    options.modeWidth = w;
    options.modeHeight = h;
    options.modeBits = b;
    return true;
}

// One "--" option: its name, the placeholder of its value (nullptr for a flag), its help
// line and what it does to the options (value nullptr for a flag). The parser and --help
// both read this table, in this order.
struct OptionEntry {
    const char* name;
    const char* valueName;
    const char* help;
    bool (*apply)(const char* value, CommandLineOptions& options, std::string& error);
};

// Beyond these a fixed step stops making sense: a frame would stand for whole seconds,
// or for less time than the clock can tell apart.
constexpr double kMinFps = 1.0;
constexpr double kMaxFps = 1000.0;

bool Fail(std::string& error, const char* reason)
{
    error = reason;
    return false;
}

const OptionEntry kOptions[] = {
    {"--help", nullptr, "show this text and exit (also -h)",
     [](const char*, CommandLineOptions& o, std::string&) { return o.help = true; }},
    {"--version", nullptr, "show the version and exit",
     [](const char*, CommandLineOptions& o, std::string&) { return o.version = true; }},
    {"--no-dialog", nullptr, "skip the start dialog (first driver, preselected device, --mode)",
     [](const char*, CommandLineOptions& o, std::string&) { return o.noDialog = true; }},
    {"--mode", "WxHxB", "display mode without the dialog (default 640x480x32)",
     [](const char* v, CommandLineOptions& o, std::string& e) {
         return ParseMode(v, o) ||
                Fail(e, "--mode needs WIDTHxHEIGHTxBITS with 16 or 32 bits, for example 640x480x32");
     }},
    {"--windowed", nullptr, "play in a window instead of full screen (with --no-dialog)",
     [](const char*, CommandLineOptions& o, std::string&) { return o.windowed = true; }},
    {"--headless", nullptr, "no window and no dialog: render off-screen, errors on stderr",
     [](const char*, CommandLineOptions& o, std::string&) { return o.headless = true; }},
    {"--fps", "F", "fixed-step time: the demo clock advances 1/F seconds per frame",
     [](const char* v, CommandLineOptions& o, std::string& e) {
         const double f = IsPlainDecimal(v) ? std::strtod(v, nullptr) : 0.0;
         if (f < kMinFps || f > kMaxFps)
             return Fail(e, "--fps needs a number of frames per second from 1 to 1000");
         o.fps = f;
         return true;
     }},
    {"--frames", "N", "quit normally after N frames",
     [](const char* v, CommandLineOptions& o, std::string& e) {
         return ParseLong(v, 1, o.frames) || Fail(e, "--frames needs a positive whole number");
     }},
    {"--capture", "DIR", "write every presented frame as DIR/frame_NNNNNN.png",
     [](const char* v, CommandLineOptions& o, std::string& e) {
         if (!*v) return Fail(e, "--capture needs a folder");
         o.captureDir = v;
         return true;
     }},
    {"--seed", "N", "seed the random generator with N instead of the time",
     [](const char* v, CommandLineOptions& o, std::string& e) {
         long n = 0;
         if (!ParseLong(v, 0, n) || n > 0xFFFFFFFFL) return Fail(e, "--seed needs a whole number from 0 to 4294967295");
         o.hasSeed = true;
         o.seed = static_cast<unsigned>(n);
         return true;
     }},
    {"--pak", "PATH", "open this archive instead of the embedded one",
     [](const char* v, CommandLineOptions& o, std::string& e) {
         if (!*v) return Fail(e, "--pak needs a file");
         o.pakPath = v;
         return true;
     }},
    {"--no-pak", nullptr, "open no archive: data comes from the current directory",
     [](const char*, CommandLineOptions& o, std::string&) { return o.noPak = true; }},
    {"--speed", "K", "play K times faster (1-9), as F1-F9; refused unless the script allows it",
     [](const char* v, CommandLineOptions& o, std::string& e) {
         long k = 0;
         if (!ParseLong(v, 1, k) || k > 9) return Fail(e, "--speed needs a whole number from 1 to 9");
         o.speed = static_cast<int>(k);
         return true;
     }},
    {"--no-vsync", nullptr, "do not wait for the vertical blank when presenting",
     [](const char*, CommandLineOptions& o, std::string&) { return o.noVsync = true; }},
    {"--video", "FILE", "export to FILE (.mp4, .mkv or .webm) with the soundtrack, headless",
     [](const char* v, CommandLineOptions& o, std::string& e) {
         if (!*v) return Fail(e, "--video needs a file");
         o.videoPath = v;
         return true;
     }},
    {"--video-quality", "CRF", "video encoder quality, 0 (best) to 51 (63 for .webm)",
     [](const char* v, CommandLineOptions& o, std::string& e) {
         long crf = 0;
         if (!ParseLong(v, 0, crf) || crf > 63)
             return Fail(e, "--video-quality needs a whole number from 0 to 63");
         o.videoQuality = static_cast<int>(crf);
         return true;
     }},
    {"--quiet", nullptr, "no progress line on the terminal",
     [](const char*, CommandLineOptions& o, std::string&) { return o.quiet = true; }},
    {"--start", "T", "start at production time T (seconds or M:SS) as if played up to T",
     [](const char* v, CommandLineOptions& o, std::string& e) {
         return ParseProductionTime(v, o.startTime) ||
                Fail(e, "--start needs a time in seconds or minutes:seconds, for example 83.5 or 1:23.5");
     }},
    {"--end", "T", "end at production time T (exit status 0)",
     [](const char* v, CommandLineOptions& o, std::string& e) {
         return ParseProductionTime(v, o.endTime) ||
                Fail(e, "--end needs a time in seconds or minutes:seconds, for example 90 or 1:30");
     }},
    {"--loop", nullptr, "repeat from --start to --end (or END) until Escape",
     [](const char*, CommandLineOptions& o, std::string&) { return o.loop = true; }},
    {"--author", nullptr, "author keys (below) and the time on screen",
     [](const char*, CommandLineOptions& o, std::string&) { return o.author = true; }},
    {"--watch", nullptr, "reload on changed files (with --no-pak or --data)",
     [](const char*, CommandLineOptions& o, std::string&) { return o.watch = true; }},
    {"--data", "DIR", "open no archive: data comes from DIR",
     [](const char* v, CommandLineOptions& o, std::string& e) {
         std::error_code missing;
         if (!*v || !std::filesystem::is_directory(v, missing)) return Fail(e, "--data needs an existing folder");
         o.dataDir = v;
         return true;
     }},
    {"--bench", nullptr, "benchmark: play headless as fast as possible, print frame times",
     [](const char*, CommandLineOptions& o, std::string&) { return o.bench = true; }},
    {"--bench-json", "FILE", "as --bench, and write the figures to FILE as JSON",
     [](const char* v, CommandLineOptions& o, std::string& e) {
         if (!*v) return Fail(e, "--bench-json needs a file");
         o.benchJsonPath = v;
         return o.bench = true;
     }},
};

// A video is rendered off-screen at fixed steps, sized for the encoders' 4:2:0 pictures.
bool CheckVideoOptions(CommandLineOptions& options, std::string& error)
{
    if (options.videoPath.empty()) {
        if (options.videoQuality >= 0)
            return Fail(error, "--video-quality needs --video");
        return true;
    }
    if (options.loop)
        return Fail(error, "--video and --loop exclude each other (the video would never end)");
    if (options.speed > 0)
        return Fail(error, "--video and --speed exclude each other (the pictures would run faster than the sound)");
    const VideoFormat* format = FindVideoFormat(options.videoPath);
    if (format == nullptr)
        return Fail(error, "--video needs a file name ending in .mp4, .mkv or .webm");
    if (options.videoQuality > format->maxQuality) {
        error = "--video-quality for ." + std::string(format->extension) + " goes from 0 to " +
                std::to_string(format->maxQuality);
        return false;
    }
    if (options.modeWidth % 2 != 0 || options.modeHeight % 2 != 0)
        return Fail(error, "--video needs an even width and height in --mode");
    options.headless = true;
    if (options.fps <= 0.0)
        options.fps = kDefaultVideoFps;
    return true;
}

// The JSON report is written after the run: a path it cannot go to is refused before it.
bool CheckBenchJsonPath(const std::string& path, std::string& error)
{
    if (path.empty())
        return true;
    namespace fs = std::filesystem;
    std::error_code ignored;
    const fs::path file(path);
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    const bool exists = fs::exists(file, ignored);
    const bool writable = exists ? !fs::is_directory(file, ignored) && access(path.c_str(), W_OK) == 0
                                 : fs::is_directory(folder, ignored) && access(folder.c_str(), W_OK) == 0;
    if (!writable)
        error = "--bench-json cannot write [" + path + "]";
    return writable;
}

const OptionEntry* FindOption(const std::string& name)
{
    for (const OptionEntry& option : kOptions)
        if (name == option.name) return &option;
    return nullptr;
}

}  // namespace

bool ParseCommandLine(int argc, const char* const* argv, CommandLineOptions& options,
                      std::string& error)
{
    options = CommandLineOptions{};
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            options.commandLine += ' ';
        options.commandLine += argv[i];
    }
    options.logWindow = HasSwitch(options.commandLine, "LogWindow");
    options.fileList = HasSwitch(options.commandLine, "gfl");

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0)
            continue;  // a plain word: it only matters through the substring switches
        const OptionEntry* option = FindOption(arg);
        if (option == nullptr) {
            if (HasSwitch(arg, "LogWindow") || HasSwitch(arg, "gfl"))
                continue;  // carries a substring switch; already honoured
            error = "unknown option " + arg;
            return false;
        }
        const char* value = nullptr;
        if (option->valueName != nullptr) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (!option->apply(value, options, error))
            return false;
    }
    if (options.noPak && !options.pakPath.empty()) {
        error = "--pak and --no-pak exclude each other";
        return false;
    }
    if (!options.dataDir.empty() && !options.pakPath.empty()) {
        error = "--pak and --data exclude each other";
        return false;
    }
    if (options.endTime >= 0.0 && options.endTime <= options.startTime) {
        error = "--end must come after --start";
        return false;
    }
    if (options.watch && !options.noPak && options.dataDir.empty()) {
        error = "--watch needs --no-pak or --data DIR (files in an archive do not change)";
        return false;
    }
    ApplyBenchDefaults(options);
    if (!CheckBenchJsonPath(options.benchJsonPath, error) || !CheckVideoOptions(options, error))
        return false;
    if (options.loop && options.headless && options.frames <= 0) {
        error = "--loop with --headless needs --frames N (nothing could stop it otherwise)";
        return false;
    }
    return true;
}

void ApplyBenchDefaults(CommandLineOptions& options)
{
    if (!options.bench)
        return;
    if (options.fps <= 0.0)
        options.fps = 30.0;
    options.noVsync = true;
    if (options.windowed)
        options.noDialog = true;
    else
        options.headless = true;
}

std::string CommandLineUsage(const char* programName)
{
    std::string name = programName ? programName : "starfall";
    std::string text = "Usage: " + name + " [options] [LogWindow] [gfl]\n"
        "Plays the Starfall Trailer.\n"
        "\n"
        "Words anywhere on the command line (case-sensitive, also inside longer words):\n"
        "  LogWindow        print every log line to the console (stderr)\n"
        "  gfl              write FileList.txt (every data file opened) at exit\n"
        "\n"
        "Options:\n";
    for (const OptionEntry& option : kOptions) {
        std::string left = option.name;
        if (option.valueName != nullptr) left += std::string(" ") + option.valueName;
        left.resize(std::max<size_t>(left.size() + 1, 17), ' ');
        text += "  " + left + option.help + "\n";
    }
    text += "\n"
        "Keys: Escape or F12 quit; F1-F9 play 1-9 times faster when the script allows it.\n"
        "With --author: Space pauses and resumes (picture and music), Left/Right seek 5 s\n"
        "back/forward, Page Down/Page Up seek 30 s back/forward, Home goes back to --start;\n"
        "the production time is shown on screen and in the window title.\n"
        "With --watch a script that fails is shown on screen and on stderr, and the previous\n"
        "one plays on until a fix is saved.\n"
        "With --fps, --start T snaps T to the nearest frame and --capture numbers its frames\n"
        "from that frame, as a full run numbers the same frame.\n"
        "Exit status: 0 after a normal end, 1 after an error, 2 for a command line that\n"
        "cannot be played (also --start past the production's end), 130 or 143 when stopped\n"
        "by SIGINT or SIGTERM (a second stop signal ends the player at once).\n";
    return text;
}
