// The progress line: its text, its pace of redrawing and when it appears at all.
#include <gtest/gtest.h>

#include <pty.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/ProgressLine.h"

namespace {

// Everything written to a memory stream.
struct Captured {
    char* buffer = nullptr;
    size_t size = 0;
    std::FILE* file = open_memstream(&buffer, &size);
    ~Captured()
    {
        if (file) std::fclose(file);
        std::free(buffer);
    }
    std::string Text()
    {
        std::fflush(file);
        return std::string(buffer, size);
    }
};

size_t Count(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace

TEST(ProgressLine, TextShowsDoneTotalShareSpeedAndTimeLeft)
{
    EXPECT_EQ(ProgressLine::Format(12.34, 115.2, 58.25, 105.0), "12.3 s / 115.2 s (11%)  58.2 frames/s  1:45 left");
    EXPECT_EQ(ProgressLine::Format(0.0, 10.0, 0.0, -1.0), "0.0 s / 10.0 s (0%)");
    EXPECT_EQ(ProgressLine::Format(7.0, 0.0, 30.0, -1.0), "7.0 s  30.0 frames/s");   // end unknown
    EXPECT_EQ(ProgressLine::Format(12.0, 10.0, 1.0, 0.0), "10.0 s / 10.0 s (100%)  1.0 frames/s  0:00 left");
    EXPECT_EQ(ProgressLine::Format(1.0, 100.0, 1.0, 3725.0), "1.0 s / 100.0 s (1%)  1.0 frames/s  1:02:05 left");
}

TEST(ProgressLine, RedrawsInPlaceAFewTimesASecondAndEstimatesFromThePaceSoFar)
{
    Captured out;
    double now = 100.0;
    {
        ProgressLine line(out.file, 20.0, [&] { return now; });
        now = 101.0;
        line.Update(2.0, 50);  // 2 s of production in 1 s: 18 s left take 9 s
        // The cursor waits on the next line, where an error report would start.
        EXPECT_EQ(out.Text(), "2.0 s / 20.0 s (10%)  50.0 frames/s  0:09 left\033[K\n");
        now = 101.1;
        line.Update(2.2, 55);  // too soon: nothing drawn
        EXPECT_EQ(Count(out.Text(), "\n"), 1u);
        now = 103.0;
        line.Update(6.0, 150);  // back up one line and over it
        EXPECT_EQ(out.Text().substr(out.Text().find('\n') + 1),
                  "\033[A\r6.0 s / 20.0 s (30%)  50.0 frames/s  0:07 left\033[K\n");
        now = 105.0;
        line.Finish();  // the last state, always drawn
        const std::string text = out.Text();
        EXPECT_NE(text.find("\033[A\r6.0 s / 20.0 s (30%)  30.0 frames/s"), std::string::npos) << text;
        EXPECT_EQ(Count(text, "\033[A"), 2u);
        EXPECT_EQ(Count(text, "\n"), 3u);
        line.Update(7.0, 160);  // after the end: nothing more
        EXPECT_EQ(out.Text(), text);
    }
}

TEST(ProgressLine, ASectionRunMeasuresItsPaceFromItsStart)
{
    // Started at 60 s of a 100 s production; 10 s done in 5 s of work: 30 s left take 15 s.
    Captured out;
    double now = 0.0;
    ProgressLine line(out.file, 100.0, [&] { return now; }, 60.0);
    now = 5.0;
    line.Update(70.0, 125);
    EXPECT_EQ(out.Text(), "70.0 s / 100.0 s (70%)  25.0 frames/s  0:15 left\033[K\n");

    // Nothing done yet beyond the start: no estimate rather than a wrong one.
    Captured early;
    ProgressLine first(early.file, 100.0, [&] { return now; }, 60.0);
    now = 6.0;
    first.Update(60.0, 1);
    EXPECT_EQ(early.Text().find("left"), std::string::npos) << early.Text();
}

TEST(ProgressLine, AnUnknownEndShowsTimeAndSpeedOnlyAndNoOutputMeansNothingWritten)
{
    Captured out;
    double now = 0.0;
    {
        ProgressLine line(out.file, 0.0, [&] { return now; });
        now = 1.0;
        line.Update(1.0, 25);
    }
    EXPECT_EQ(out.Text(), "1.0 s  25.0 frames/s\033[K\n");

    ProgressLine none(nullptr, 10.0);
    none.Update(5.0, 100);
    none.Finish();
    EXPECT_FALSE(none.IsShown());
}

TEST(ProgressLine, WantedOnlyOnATerminalAndNeverWhenQuiet)
{
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    EXPECT_TRUE(ProgressLine::Wanted(slave, false));
    EXPECT_FALSE(ProgressLine::Wanted(slave, true));
    EXPECT_FALSE(ProgressLine::Wanted(pipeFds[1], false));
    EXPECT_FALSE(ProgressLine::Wanted(-1, false));
    for (int fd : {master, slave, pipeFds[0], pipeFds[1]}) close(fd);
}
