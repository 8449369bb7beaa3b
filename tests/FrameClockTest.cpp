// How much time each pass of the frame loop counts.
#include <gtest/gtest.h>

#include "AppState.h"
#include "FrameClock.h"

TEST(FrameClock, TheFirstFrameCountsFromTheReset)
{
    lastFrameTime = 7.0f; // a clock left over from before the reset
    deltaTime = 3.0f;
    resetFrameClock();
    EXPECT_EQ(deltaTime, 0.0f);
    advanceFrameClock(0.25f);
    EXPECT_EQ(deltaTime, 0.25f);
    EXPECT_EQ(lastFrameTime, 0.25f);
}

TEST(FrameClock, FramesUnderTheCapCountInFullAndAddUpToTheClock)
{
    resetFrameClock();
    float now = 0.0f;
    float counted = 0.0f;
    for (const float step : {0.001f, 1.0f / 60.0f, 0.1f, 0.3f, 0.7f, 1.2f, longestFrameTime, 0.004f}) {
        const float previous = now;
        now += step;
        advanceFrameClock(now);
        EXPECT_FLOAT_EQ(deltaTime, now - previous) << "a frame of " << step << " s";
        counted += deltaTime;
    }
    EXPECT_NEAR(counted, now, 1e-5f);
}

TEST(FrameClock, AStallCountsAsOneCappedFrameAndPlayGoesOnFromIt)
{
    resetFrameClock();
    advanceFrameClock(1.0f);
    advanceFrameClock(3601.0f); // an hour with the laptop's lid shut
    EXPECT_EQ(deltaTime, longestFrameTime);
    advanceFrameClock(3601.125f);
    EXPECT_EQ(deltaTime, 0.125f) << "the frame after the stall counts from it, not from before it";
}

TEST(FrameClock, AClockThatGoesBackwardsCountsNothingAndPlayGoesOnFromIt)
{
    resetFrameClock();
    advanceFrameClock(10.0f);
    advanceFrameClock(4.0f);
    EXPECT_EQ(deltaTime, 0.0f);
    advanceFrameClock(4.125f);
    EXPECT_EQ(deltaTime, 0.125f);
}

// A hidden page gets no frames: the frame after it is shown counts only the time it was seen.
TEST(FrameClock, TimeHeldCountsForNoFrame)
{
    struct Case {
        const char* what;
        float frameBefore, holdAt, frameWhileHeld, secondHoldAt, resumeAt, frameAfter, counted;
    };
    // A negative time is a step left out.
    const Case cases[] = {
        {"held and resumed", 1.0f, 1.25f, -1.0f, -1.0f, 31.25f, 31.5f, 0.5f},
        {"held twice: the first hold counts", 1.0f, 1.25f, -1.0f, 11.25f, 31.25f, 31.5f, 0.5f},
        {"a frame while held counts up to itself", 1.0f, 1.25f, 11.0f, -1.0f, 31.25f, 31.5f, 0.25f},
        {"resumed without a hold", 1.0f, -1.0f, -1.0f, -1.0f, 1.25f, 1.5f, 0.5f},
    };
    for (const Case& c : cases) {
        resetFrameClock();
        advanceFrameClock(c.frameBefore);
        if (c.holdAt >= 0.0f)
            holdFrameClock(c.holdAt);
        if (c.frameWhileHeld >= 0.0f)
            advanceFrameClock(c.frameWhileHeld);
        if (c.secondHoldAt >= 0.0f)
            holdFrameClock(c.secondHoldAt);
        resumeFrameClock(c.resumeAt);
        advanceFrameClock(c.frameAfter);
        EXPECT_FLOAT_EQ(deltaTime, c.counted) << c.what;
        resumeFrameClock(c.frameAfter + 10.0f); // the hold ended with the first resume
        advanceFrameClock(c.frameAfter + 10.125f);
        EXPECT_EQ(deltaTime, longestFrameTime) << c.what << ": a second resume";
    }
}

TEST(FrameClock, AHoldGoesOnOverAResetFromTheNewClocksStart)
{
    resetFrameClock();
    holdFrameClock(50.0f);
    resetFrameClock();
    resumeFrameClock(20.0f);
    advanceFrameClock(20.25f);
    EXPECT_EQ(deltaTime, 0.25f);
}
