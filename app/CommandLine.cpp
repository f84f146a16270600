// Command-line parsing: substring switches over the joined arguments, plus "--" options.
#include "app/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

bool HasSwitch(const std::string& commandLine, const char* name)
{
    return commandLine.find(name) != std::string::npos;
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
        if (arg.rfind("--", 0) != 0)
            continue;  // a plain word: it only matters through the substring switches
        auto value = [&](const char*& out) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        if (arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--no-dialog") {
            options.noDialog = true;
        } else if (arg == "--headless") {
            options.headless = true;
        } else if (arg == "--windowed") {
            options.windowed = true;
        } else if (arg == "--no-vsync") {
            options.noVsync = true;
        } else if (arg == "--no-pak") {
            options.noPak = true;
        } else if (arg == "--fps") {
            if (!value(v))
                return false;
            char* end = nullptr;
            double f = std::strtod(v, &end);
            if (*v == '\0' || *end != '\0' || !std::isfinite(f) || f <= 0.0 || f > 100000.0) {
                error = "--fps needs a positive number of frames per second";
                return false;
            }
            options.fps = f;
        } else if (arg == "--frames") {
            long n = 0;
            if (!value(v))
                return false;
            if (!ParseLong(v, 1, n)) {
                error = "--frames needs a positive whole number";
                return false;
            }
            options.frames = n;
        } else if (arg == "--capture") {
            if (!value(v))
                return false;
            if (!*v) {
                error = "--capture needs a folder";
                return false;
            }
            options.captureDir = v;
        } else if (arg == "--seed") {
            long n = 0;
            if (!value(v))
                return false;
            if (!ParseLong(v, 0, n) || n > 0xFFFFFFFFL) {
                error = "--seed needs a whole number from 0 to 4294967295";
                return false;
            }
            options.hasSeed = true;
            options.seed = static_cast<unsigned>(n);
        } else if (arg == "--pak") {
            if (!value(v))
                return false;
            if (!*v) {
                error = "--pak needs a file";
                return false;
            }
            options.pakPath = v;
        } else if (arg == "--mode") {
            if (!value(v))
                return false;
            if (!ParseMode(v, options)) {
                error = "--mode needs WIDTHxHEIGHTxBITS with 16 or 32 bits, for example 640x480x32";
                return false;
            }
        } else if (HasSwitch(arg, "LogWindow") || HasSwitch(arg, "gfl")) {
            continue;  // carries a substring switch; already honoured
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    if (options.noPak && !options.pakPath.empty()) {
        error = "--pak and --no-pak exclude each other";
        return false;
    }
    return true;
}

std::string CommandLineUsage(const char* programName)
{
    std::string name = programName ? programName : "starfall";
    return "Usage: " + name + " [options] [LogWindow] [gfl]\n"
        "Plays the Starfall Trailer.\n"
        "\n"
        "Words anywhere on the command line (case-sensitive, also inside longer words):\n"
        "  LogWindow        print every log line to the console (stderr)\n"
        "  gfl              write FileList.txt (every data file opened) at exit\n"
        "\n"
        "Options:\n"
        "  --help           show this text and exit\n"
        "  --version        show the version and exit\n"
        "  --no-dialog      skip the start dialog (first driver, preselected device, --mode)\n"
        "  --mode WxHxB     display mode without the dialog (default 640x480x32)\n"
        "  --windowed       play in a window instead of full screen (with --no-dialog)\n"
        "  --headless       no window and no dialog: render off-screen, errors on stderr\n"
        "  --fps F          fixed-step time: the demo clock advances 1/F seconds per frame\n"
        "  --frames N       quit normally after N frames\n"
        "  --capture DIR    write every presented frame as DIR/frame_NNNNNN.png\n"
        "  --seed N         seed the random generator with N instead of the time\n"
        "  --pak PATH       open this archive instead of the embedded one\n"
        "  --no-pak         open no archive: data comes from the current directory\n"
        "  --no-vsync       do not wait for the vertical blank when presenting\n"
        "\n"
        "Keys: Escape or F12 quit; F1-F9 play 1-9 times faster when the script allows it.\n"
        "Exit status: 0 after a normal end, non-zero after an error.\n";
}
