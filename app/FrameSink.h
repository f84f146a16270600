// The outputs fed by every presented frame (capture, video, progress line, bench) and their one list.
#pragma once
#include <memory>
#include <vector>

// One frame as the outputs see it.
struct PresentedFrame {
    long index = 0;             // production frame index (the capture's number)
    double productionTime = 0;  // production seconds of the picture
    long ordinal = 0;           // frames presented before this one in this run
    bool playing = false;       // the picture shows the production (not the frame END ran in)
};

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // Before anything of the frame is drawn.
    virtual void BeforeFrame() {}
    // Between the read-outs and Present: the back buffer holds the finished picture.
    virtual void OnFrame(const PresentedFrame& frame) = 0;
    // After Present and Clear.
    virtual void AfterPresent(const PresentedFrame&) {}
    // Normal end: completes the output and publishes it under its final name; an application
    // error when that fails.
    virtual void Finish() = 0;
    // Stop signal or error: publishes nothing new under a final name and removes partial
    // output. Frames already presented are part of the record and stay. Never throws.
    virtual void Abandon() noexcept = 0;
};

// The run's outputs in the order they were added; every call goes to each in turn.
class FrameSinkList {
public:
    void Add(std::unique_ptr<FrameSink> sink)
    {
        if (sink)
            sinks_.push_back(std::move(sink));
    }
    bool IsEmpty() const { return sinks_.empty(); }
    void BeforeFrame();
    void OnFrame(const PresentedFrame& frame);
    void AfterPresent(const PresentedFrame& frame);
    // Each finished in turn; when one fails, the rest are abandoned and the error goes on.
    void Finish();
    void Abandon() noexcept;

private:
    std::vector<std::unique_ptr<FrameSink>> sinks_;
    bool ended_ = false;
};
