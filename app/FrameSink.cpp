// The list of frame outputs: the one place where a run's outputs are finished or abandoned.
#include "app/FrameSink.h"

void FrameSinkList::BeforeFrame()
{
    for (auto& sink : sinks_)
        sink->BeforeFrame();
}

void FrameSinkList::OnFrame(const PresentedFrame& frame)
{
    for (auto& sink : sinks_)
        sink->OnFrame(frame);
}

void FrameSinkList::AfterPresent(const PresentedFrame& frame)
{
    for (auto& sink : sinks_)
        sink->AfterPresent(frame);
}

void FrameSinkList::Finish()
{
    if (ended_)
        return;
    ended_ = true;
    size_t done = 0;
    try {
        for (; done < sinks_.size(); ++done)
            sinks_[done]->Finish();
    } catch (...) {
        for (size_t rest = done; rest < sinks_.size(); ++rest)
            sinks_[rest]->Abandon();
        throw;
    }
}

void FrameSinkList::Abandon() noexcept
{
    if (ended_)
        return;
    ended_ = true;
    for (auto& sink : sinks_)
        sink->Abandon();
}
