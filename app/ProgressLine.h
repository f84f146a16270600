// One self-updating line on a terminal for long headless work: time done, speed, time left.
#pragma once
#include <cstdio>
#include <functional>
#include <string>

class ProgressLine {
public:
    using WallClock = std::function<double()>;  // seconds, any origin

    // out: where the line goes, nullptr for none. totalSeconds <= 0: the end is unknown
    // (no share and no time left are shown). Without a clock the steady clock is used.
    // startSeconds: the production time the work began at (a section run), which the pace
    // of the time left is measured from.
    ProgressLine(std::FILE* out, double totalSeconds, WallClock clock = {}, double startSeconds = 0.0);
    ~ProgressLine() = default;
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Where the line goes: standard error when it is a terminal and quiet is not set,
    // else nullptr (logs stay clean).
    static std::FILE* StandardErrorIfTerminal(bool quiet);
    // Whether fd is a terminal and the line is wanted there.
    static bool Wanted(int fd, bool quiet);

    // Work has reached doneSeconds of production time after frames frames; redrawn at
    // most a few times a second.
    void Update(double doneSeconds, long frames);
    // Draws the final state; later updates draw nothing.
    void Finish();

    // The text of the line: "12.3 s / 115.2 s (10%)  58.2 frames/s  1:45 left".
    static std::string Format(double doneSeconds, double totalSeconds, double framesPerSecond,
                              double secondsLeft);

    bool IsShown() const { return out_ != nullptr; }

private:
    void Draw(double now);

    std::FILE* out_;
    double total_;
    double start_;
    WallClock clock_;
    double started_ = 0.0;
    double lastDrawn_ = -1.0;
    double done_ = 0.0;
    long frames_ = 0;
    bool drawn_ = false;
};
