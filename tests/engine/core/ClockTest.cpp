// Tests of the demo clock with an installed fake counter.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <vector>
#include "engine/core/Clock.h"
#include "engine/core/LibObject.h"

namespace {

struct FakeCounter : ClockCounter {
    bool available = true;
    int64_t frequency = 1000;
    int64_t count = 5000;
    bool Frequency(int64_t& ticksPerSecond) override
    {
        ticksPerSecond = frequency;
        return available;
    }
    int64_t Count() override { return count; }
    void Advance(double seconds) { count += static_cast<int64_t>(seconds * static_cast<double>(frequency)); }
};

class ClockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClockResetForTesting();
        ClockSetCounter(&counter);
    }
    void TearDown() override
    {
        ClockSetCounter(nullptr);
        ClockResetForTesting();
        ClockStart();
    }
    FakeCounter counter;
};

} // namespace

TEST_F(ClockTest, RateChangesContinueWithoutAJump)
{
    ClockStart();
    EXPECT_FLOAT_EQ(ClockNow(), 0.0f);
    counter.Advance(10.0);
    EXPECT_FLOAT_EQ(ClockNow(), 10.0f);
    ClockSetRate(3.0f);
    EXPECT_FLOAT_EQ(ClockGetRate(), 3.0f);
    EXPECT_FLOAT_EQ(ClockNow(), 10.0f);
    counter.Advance(1.0);
    EXPECT_FLOAT_EQ(ClockNow(), 13.0f);
    ClockSetRate(9.0f);
    counter.Advance(2.0);
    EXPECT_FLOAT_EQ(ClockNow(), 31.0f);
    ClockSetRate(1.0f);
    EXPECT_FLOAT_EQ(ClockNow(), 31.0f);
    counter.Advance(0.5);
    EXPECT_FLOAT_EQ(ClockNow(), 31.5f);
}

TEST_F(ClockTest, LaterObjectsNeitherRebaseNorReseed)
{
    ClockSetSeed(1234);
    std::srand(1234);
    int first = std::rand();
    int second = std::rand();

    LibObject starter;
    EXPECT_EQ(std::rand(), first) << "the first object seeds the generator";
    counter.Advance(2.0);
    LibObject another;
    ClockStart();
    EXPECT_EQ(std::rand(), second) << "later objects do not reseed";
    EXPECT_FLOAT_EQ(ClockNow(), 2.0f) << "later objects do not reset the base count";
}

TEST_F(ClockTest, WithoutACounterTheTimeStandsAtTheCarriedValue)
{
    counter.available = false;
    ClockStart();
    counter.Advance(5.0);
    EXPECT_EQ(ClockNow(), 0.0f);
    ClockSetRate(4.0f);
    counter.Advance(5.0);
    EXPECT_EQ(ClockNow(), 0.0f);

    // A counter that reports frequency 0 counts as none.
    ClockResetForTesting();
    counter.available = true;
    counter.frequency = 0;
    ClockStart();
    counter.count += 1000;
    EXPECT_EQ(ClockNow(), 0.0f);
}

TEST_F(ClockTest, NanosecondCounterKeepsSubMillisecondSteps)
{
    counter.frequency = 1000000000;
    counter.count = 123456789012345;
    ClockStart();
    counter.count += 250000; // 0.25 ms
    EXPECT_NEAR(ClockNow(), 0.00025f, 1e-7f);
    counter.count += 3600LL * 1000000000LL; // one hour later
    EXPECT_NEAR(ClockNow(), 3600.00025f, 1e-3f);
}

TEST_F(ClockTest, ReplacingTheCounterOfARunningClockKeepsTheTime)
{
    ClockStart();
    counter.Advance(4.0);
    ClockSetRate(2.0f);
    counter.Advance(1.0);
    ASSERT_FLOAT_EQ(ClockNow(), 6.0f);

    FakeCounter fixedStep;
    fixedStep.frequency = 25;
    fixedStep.count = 987654;
    ClockSetCounter(&fixedStep);
    EXPECT_FLOAT_EQ(ClockNow(), 6.0f);
    fixedStep.count += 25;
    EXPECT_FLOAT_EQ(ClockNow(), 8.0f) << "the rate still applies";
    ClockSetCounter(&counter);
    EXPECT_FLOAT_EQ(ClockNow(), 8.0f);
}

TEST_F(ClockTest, AResetForgetsAFixedSeed)
{
    ClockSetSeed(1234);
    ClockResetForTesting();
    ClockSetCounter(&counter);
    std::srand(1234);
    const int fixedFirst = std::rand();

    const time_t before = std::time(nullptr);
    ClockStart();
    const int first = std::rand();
    const time_t after = std::time(nullptr);
    // Seeded from the calendar time again, as without ClockSetSeed.
    std::vector<int> timeSeeded;
    for (time_t t = before; t <= after; ++t) {
        std::srand(static_cast<unsigned>(t));
        timeSeeded.push_back(std::rand());
    }
    EXPECT_NE(first, fixedFirst);
    EXPECT_NE(std::find(timeSeeded.begin(), timeSeeded.end(), first), timeSeeded.end());
}

TEST_F(ClockTest, APinHoldsTheTimeAndUnpinningReturnsToTheCounter)
{
    ClockStart();
    counter.Advance(10.0);
    ClockPin(4.25f);
    EXPECT_EQ(ClockNow(), 4.25f);
    counter.Advance(1.0);
    EXPECT_EQ(ClockNow(), 4.25f) << "the counter goes on underneath";
    ClockPin(-3.5f);
    EXPECT_EQ(ClockNow(), -3.5f);
    EXPECT_TRUE(ClockIsPinned());
    // A rate change while pinned continues from the counter's time, not the pin's.
    ClockSetRate(0.0f);
    ClockUnpin();
    EXPECT_FALSE(ClockIsPinned());
    EXPECT_FLOAT_EQ(ClockNow(), 11.0f);
    counter.Advance(5.0);
    EXPECT_FLOAT_EQ(ClockNow(), 11.0f) << "rate 0 stands still (pause)";
    ClockSetRate(1.0f);
    counter.Advance(0.5);
    EXPECT_FLOAT_EQ(ClockNow(), 11.5f);
    // A reset forgets a pin.
    ClockPin(1.0f);
    ClockResetForTesting();
    EXPECT_FALSE(ClockIsPinned());
}

TEST_F(ClockTest, RestartingTheOriginKeepsFullResolutionAfterADayAndKeepsTheRate)
{
    counter.frequency = 1000000000;
    ClockStart();
    counter.Advance(86400.0);  // a day: a float second count this large steps by 7.8 ms
    ClockSetRate(2.0f);
    ClockRestartOrigin();
    EXPECT_EQ(ClockNow(), 0.0f);
    counter.Advance(0.001);
    EXPECT_FLOAT_EQ(ClockNow(), 0.002f) << "a millisecond at rate 2, told apart";
    ClockSetRate(1.0f);
    counter.Advance(0.5);
    EXPECT_FLOAT_EQ(ClockNow(), 0.502f);
}
