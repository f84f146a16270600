// The list of frame outputs: every frame reaches each output in turn, and a run ends each once.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "app/FrameSink.h"

namespace {

// Writes what happens to it into a shared journal, as "name:event".
class JournalSink final : public FrameSink {
public:
    JournalSink(std::string name, std::string& journal, bool failsToFinish = false)
        : name_(std::move(name)), journal_(journal), failsToFinish_(failsToFinish)
    {
    }
    void BeforeFrame() override { journal_ += name_ + ":before "; }
    void OnFrame(const PresentedFrame& frame) override { journal_ += name_ + ":frame" + std::to_string(frame.index) + " "; }
    void AfterPresent(const PresentedFrame&) override { journal_ += name_ + ":after "; }
    void Finish() override
    {
        journal_ += name_ + ":finish ";
        if (failsToFinish_)
            throw std::runtime_error("disk full");
    }
    void Abandon() noexcept override { journal_ += name_ + ":abandon "; }

private:
    std::string name_;
    std::string& journal_;
    bool failsToFinish_;
};

}  // namespace

TEST(FrameSinkList, FramesReachEveryOutputInOrderAndEachRunEndsItsOutputsOnce)
{
    std::string journal;
    FrameSinkList list;
    list.Add(std::make_unique<JournalSink>("capture", journal));
    list.Add(nullptr);  // an output not asked for
    list.Add(std::make_unique<JournalSink>("video", journal));
    PresentedFrame frame;
    frame.index = 7;
    list.BeforeFrame();
    list.OnFrame(frame);
    list.AfterPresent(frame);
    EXPECT_EQ(journal, "capture:before video:before capture:frame7 video:frame7 capture:after video:after ");

    journal.clear();
    list.Finish();
    list.Abandon();  // after the end nothing more happens
    list.Finish();
    EXPECT_EQ(journal, "capture:finish video:finish ");

    // A stop: every output abandoned, once.
    std::string stopped;
    FrameSinkList stopping;
    stopping.Add(std::make_unique<JournalSink>("capture", stopped));
    stopping.Add(std::make_unique<JournalSink>("video", stopped));
    stopping.Abandon();
    stopping.Abandon();
    stopping.Finish();
    EXPECT_EQ(stopped, "capture:abandon video:abandon ");

    // One that fails to finish: it and those after it are abandoned, those before it stay
    // finished, and its error goes on.
    std::string failed;
    FrameSinkList failing;
    failing.Add(std::make_unique<JournalSink>("capture", failed));
    failing.Add(std::make_unique<JournalSink>("video", failed, true));
    failing.Add(std::make_unique<JournalSink>("progress", failed));
    EXPECT_THROW(failing.Finish(), std::runtime_error);
    EXPECT_EQ(failed, "capture:finish video:finish video:abandon progress:abandon ");
}
