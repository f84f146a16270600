// Stop requests: the first signal is kept, and opening a data file is where loading notices it.
#include <gtest/gtest.h>
#include <csignal>
#include "engine/core/File.h"
#include "engine/core/Interrupt.h"
#include "support/MemoryArchive.h"

TEST(Interrupt, APendingRequestStopsTheNextFileOpenedAndTheFirstSignalIsKept)
{
    ClearInterruptForTesting();
    MemoryArchive archive;
    archive.Add("a.txt", "abc");
    File before;
    EXPECT_TRUE(before.Open("a.txt"));
    EXPECT_EQ(InterruptRequested(), 0);
    EXPECT_NO_THROW(ThrowIfInterrupted());

    RequestInterrupt(SIGTERM);
    RequestInterrupt(SIGINT);  // a later signal does not change how the run ends
    EXPECT_EQ(InterruptRequested(), SIGTERM);
    File after;
    try {
        after.Open("a.txt");
        FAIL() << "opened while a stop was pending";
    } catch (const Interrupted& stop) {
        EXPECT_EQ(stop.GetSignal(), SIGTERM);
    }
    EXPECT_FALSE(after.IsOpen());
    // Reading a file already open goes on: only new work is refused.
    char text[4] = {};
    EXPECT_EQ(before.Read(text, 3), 3u);
    ClearInterruptForTesting();
    EXPECT_TRUE(after.Open("a.txt"));
}
