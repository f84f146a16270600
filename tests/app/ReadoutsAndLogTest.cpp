// Frame-rate read-out, fixed-step clock and the console log window.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/FixedStepClock.h"
#include "app/FrameRate.h"
#include "app/LogWindow.h"
#include "engine/core/Clock.h"
#include "engine/core/Log.h"

TEST(FrameRateCounter, UpdatesOnlyAfterMoreThanOneSecond)
{
    FrameRateCounter counter;
    counter.Reset(10.0f);
    // 60 frames spread over exactly one second: not yet "more than" a second.
    for (int i = 1; i <= 60; ++i)
        EXPECT_FALSE(counter.Tick(10.0f + i / 60.0f)) << i;
    EXPECT_EQ(counter.GetValue(), 0.0f);
    // The 61st frame at 1.25 s after the start closes the window: 61 frames / 1.25 s.
    EXPECT_TRUE(counter.Tick(11.25f));
    EXPECT_NEAR(counter.GetValue(), 61.0f / 1.25f, 1e-3f);
    // The value then holds until the next full second has passed.
    EXPECT_FALSE(counter.Tick(11.5f));
    EXPECT_FALSE(counter.Tick(12.25f));
    EXPECT_NEAR(counter.GetValue(), 48.8f, 1e-3f);
    EXPECT_TRUE(counter.Tick(12.5f));
    EXPECT_NEAR(counter.GetValue(), 3.0f / 1.25f, 1e-4f);
    // A long stall gives one low value, not a division by a tiny time.
    EXPECT_TRUE(counter.Tick(22.5f));
    EXPECT_NEAR(counter.GetValue(), 0.1f, 1e-5f);
}

TEST(FixedStepCounter, DemoClockAdvancesExactlyOneStepPerFrame)
{
    FixedStepCounter counter(25.0);
    ClockResetForTesting();
    ClockSetCounter(&counter);
    ClockStart();
    EXPECT_FLOAT_EQ(ClockNow(), 0.0f);
    EXPECT_FLOAT_EQ(ClockNow(), 0.0f);  // real time passing changes nothing
    for (int i = 0; i < 50; ++i)
        counter.Advance();
    EXPECT_FLOAT_EQ(ClockNow(), 2.0f);
    ClockSetRate(3.0f);
    for (int i = 0; i < 25; ++i)
        counter.Advance();
    EXPECT_NEAR(ClockNow(), 5.0f, 1e-4f);

    // A fractional rate keeps its precision over a long run.
    FixedStepCounter ntsc(29.97);
    ClockResetForTesting();
    ClockSetCounter(&ntsc);
    ClockStart();
    for (int i = 0; i < 2997; ++i)
        ntsc.Advance();
    EXPECT_NEAR(ClockNow(), 100.0f, 1e-3f);

    ClockSetCounter(nullptr);
    ClockResetForTesting();
}

namespace {

std::string ReadAll(std::FILE* f)
{
    std::rewind(f);
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, n);
    return text;
}

}  // namespace

TEST(LogWindow, ShowsEveryLineInOrderOnlyWhileOpen)
{
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        LogWindow window(out);
        window.Log("dropped %d", 1);  // not created yet
        EXPECT_TRUE(window.GetLines().empty());
        EXPECT_EQ(GetLogWindow(), nullptr);

        window.Create();
        EXPECT_EQ(GetLogWindow(), &window);
        SetLogCallback(&LogWindow::Callback);
        LogLine("Loaded [%s]", "a.png");
        // A library line containing '%' is shown as text, never expanded.
        LogWindow::Callback("100% done %s %n");
        window.Log("%s", std::string(1023, 'x').c_str());
        window.Log("%s", std::string(1500, 'y').c_str());  // cut, never overrun
        window.Close();
        window.Log("after close");
        LogLine("after close too");
        SetLogCallback(nullptr);

        const auto& lines = window.GetLines();
        ASSERT_EQ(lines.size(), 6u);
        EXPECT_EQ(lines[0], "Initing Control Window...");
        EXPECT_EQ(lines[1], "Control Window Created.");
        EXPECT_EQ(lines[2], "Loaded [a.png]");
        EXPECT_EQ(lines[3], "100% done %s %n");
        EXPECT_EQ(lines[4], std::string(1023, 'x'));
        EXPECT_EQ(lines[5], std::string(1023, 'y'));
        size_t total = 0;
        for (const auto& line : lines)
            total += line.size() + 2;
        EXPECT_EQ(window.GetTotalLength(), total);
    }
    EXPECT_EQ(GetLogWindow(), nullptr);
    const std::string printed = ReadAll(out);
    std::fclose(out);
    EXPECT_EQ(printed.rfind("Initing Control Window...\nControl Window Created.\nLoaded [a.png]\n"
                            "100% done %s %n\n", 0), 0u);
    EXPECT_EQ(printed.find("dropped"), std::string::npos);
    EXPECT_EQ(printed.find("after close"), std::string::npos);
}
