// The show clock over a hand-stepped tick counter.
#include <gtest/gtest.h>

#include "app/kvTimer.h"

using namespace Korvell;

namespace {
uint32_t g_now = 0;
uint32_t fakeTicks() { return g_now; }

struct TimerTest : ::testing::Test {
    void SetUp() override { g_now = 5000; }
};
} // namespace

TEST_F(TimerTest, NewClockIsStoppedAtZero)
{
    kvTimer t(fakeTicks);
    EXPECT_FALSE(t.isRunning());
    EXPECT_EQ(t.elapsed(), 0.0f);
}

TEST_F(TimerTest, StartTwiceKeepsFirstStartAndStopHoldsTheReading)
{
    kvTimer t(fakeTicks);
    t.start();
    g_now += 1500;
    t.start(); // must not restart
    g_now += 500;
    EXPECT_FLOAT_EQ(t.elapsed(), 2.0f);
    t.stop();
    g_now += 9000;
    t.stop(); // a second stop changes nothing
    EXPECT_FLOAT_EQ(t.elapsed(), 2.0f);
    t.start(); // begins again from zero, not from the mark
    EXPECT_FLOAT_EQ(t.elapsed(), 0.0f);
}

TEST_F(TimerTest, SetElapsedWhileRunningLandsWithinTheSecond)
{
    kvTimer t(fakeTicks);
    g_now = 123456;
    t.start();
    g_now += 3210;
    t.setElapsed(10.0f);
    float e = t.elapsed();
    EXPECT_GE(e, 10.0f);
    EXPECT_LT(e, 11.0f);
    // The start lies on a whole second of the counter: 126.666 - 10 -> 116.
    EXPECT_FLOAT_EQ(e, 126.666f - 116.0f);
}

TEST_F(TimerTest, SetElapsedBeyondTheCounterStillReadsAtLeastTheTarget)
{
    // Three seconds after the program started the counter, jump to 12.
    kvTimer t(fakeTicks);
    g_now = 0;
    t.start();
    g_now = 3250;
    t.setElapsed(12.0f);
    EXPECT_GE(t.elapsed(), 12.0f);
    EXPECT_LT(t.elapsed(), 13.0f);
}

TEST_F(TimerTest, SetElapsedWhileStoppedKeepsWholeSeconds)
{
    kvTimer t(fakeTicks);
    t.setElapsed(2.7f);
    EXPECT_FLOAT_EQ(t.elapsed(), 2.0f);
    EXPECT_FALSE(t.isRunning());
}

TEST_F(TimerTest, ReadingSurvivesAWrapOfTheCounter)
{
    kvTimer t(fakeTicks);
    g_now = 0xFFFFFFFFu - 999u; // one second before the wrap
    t.start();
    g_now += 3000; // wraps
    EXPECT_FLOAT_EQ(t.elapsed(), 3.0f);
    t.stop();
    EXPECT_FLOAT_EQ(t.elapsed(), 3.0f);
}

TEST_F(TimerTest, PauseHoldsTheReadingResumeGoesOnAndStartAtIsExact)
{
    kvTimer t(fakeTicks);
    t.start();
    g_now += 2500;
    t.pause();
    EXPECT_TRUE(t.isPaused());
    g_now += 7000; // paused: the reading stands still
    EXPECT_FLOAT_EQ(t.elapsed(), 2.5f);
    t.resume();
    g_now += 500;
    EXPECT_FLOAT_EQ(t.elapsed(), 3.0f); // on from 2.5, not from zero
    t.resume();                         // not paused: nothing
    EXPECT_FLOAT_EQ(t.elapsed(), 3.0f);
    t.stop();
    t.resume(); // a stop is no pause
    EXPECT_FALSE(t.isRunning());
    t.startAt(12.25f);
    EXPECT_FLOAT_EQ(t.elapsed(), 12.25f);
    g_now += 750;
    EXPECT_FLOAT_EQ(t.elapsed(), 13.0f);
}
