// The progress line: redrawn in place with cursor movements, on a terminal only.
#include "app/ProgressLine.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

namespace {

constexpr double kRedrawInterval = 0.25;

double SteadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string Clock(double seconds)
{
    const long whole = std::lround(std::max(0.0, seconds));
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

}  // namespace

ProgressLine::ProgressLine(std::FILE* out, double totalSeconds, WallClock clock, double startSeconds)
    : out_(out), total_(totalSeconds), start_(startSeconds), clock_(clock ? std::move(clock) : WallClock(SteadySeconds))
{
    started_ = clock_();
}


bool ProgressLine::Wanted(int fd, bool quiet)
{
    return !quiet && isatty(fd) == 1;
}

std::FILE* ProgressLine::StandardErrorIfTerminal(bool quiet)
{
    return Wanted(STDERR_FILENO, quiet) ? stderr : nullptr;
}

std::string ProgressLine::Format(double doneSeconds, double totalSeconds, double framesPerSecond,
                                 double secondsLeft)
{
    char text[160];
    if (totalSeconds > 0.0) {
        // The frame that notices the end runs a little past it.
        doneSeconds = std::min(doneSeconds, totalSeconds);
        const double share = std::min(100.0, std::max(0.0, 100.0 * doneSeconds / totalSeconds));
        std::snprintf(text, sizeof text, "%.1f s / %.1f s (%.0f%%)", doneSeconds, totalSeconds, share);
    } else {
        std::snprintf(text, sizeof text, "%.1f s", doneSeconds);
    }
    std::string line = text;
    if (framesPerSecond > 0.0) {
        std::snprintf(text, sizeof text, "  %.1f frames/s", framesPerSecond);
        line += text;
    }
    if (secondsLeft >= 0.0)
        line += "  " + Clock(secondsLeft) + " left";
    return line;
}

void ProgressLine::Update(double doneSeconds, long frames)
{
    done_ = doneSeconds;
    frames_ = frames;
    if (!out_)
        return;
    const double now = clock_();
    if (lastDrawn_ >= 0.0 && now - lastDrawn_ < kRedrawInterval)
        return;
    Draw(now);
}

void ProgressLine::Draw(double now)
{
    const double spent = now - started_;
    const double rate = spent > 0.0 ? static_cast<double>(frames_) / spent : 0.0;
    // Production time left, at the pace kept so far.
    double left = -1.0;
    if (total_ > 0.0 && done_ > start_ && spent > 0.0)
        left = std::max(0.0, total_ - done_) * spent / (done_ - start_);
    // The cursor rests at the start of the next line, so anything else printed (an error
    // report) starts on a line of its own; a redraw steps back up over the line first.
    if (drawn_)
        std::fputs("\033[A\r", out_);
    std::fprintf(out_, "%s\033[K\n", Format(done_, total_, rate, left).c_str());
    std::fflush(out_);
    lastDrawn_ = now;
    drawn_ = true;
}

void ProgressLine::Finish()
{
    if (!out_)
        return;
    Draw(clock_());
    out_ = nullptr;
}
