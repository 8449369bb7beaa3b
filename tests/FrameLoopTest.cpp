// The game's own start-up and frame pass in this process, on a hidden window, driven by a
// scripted clock: the time the rules see is the time the clock says.
#include <gtest/gtest.h>

#include "AppState.h"
#include "Controls.h"
#include "FrameClock.h"
#include "FrameLoop.h"
#include "GameRules.h"
#include "Object.h"
#include "Settings.h"
#include "Startup.h"
#include "GlTestSupport.h"

namespace {

// Passes at `step` seconds apart from `from`, until the fuel runs out or the clock reaches
// `until`; the clock reading at which the fuel ran out, or `until`.
float runUntilOutOfFuel(float from, float step, float until)
{
    float now = from;
    for (int frame = 1; fuel >= 0.0f && now < until; ++frame) {
        now = from + static_cast<float>(frame) * step; // no sum of rounded steps
        EXPECT_TRUE(runFramePass(now));
    }
    return now;
}

} // namespace

TEST(FrameLoop, FuelAtTenPerSecondLastsTenSecondsOfClockAndAStallCostsOneCappedFrame)
{
    usePrivateDisplay();
    Settings wanted;
    wanted.width = 160;
    wanted.height = 90;
    StartupFailure failure = StartupFailure::none;
    captureStdout([&] { failure = startGame(wanted, false); });
    ASSERT_EQ(failure, StartupFailure::none);
    fuelDrain = true;
    collisionsEnabled = false; // the asteroids must not end the game first

    // 100 fuel: half of it in the first 5 s.
    EXPECT_GE(runUntilOutOfFuel(0.0f, 0.1f, 5.0f), 5.0f) << "fuel ran out early";
    EXPECT_NEAR(fuel, 50.0f, 0.01f);
    // Half a minute with the process stopped counts as one frame of half a second.
    EXPECT_TRUE(runFramePass(35.0f));
    EXPECT_NEAR(fuel, 50.0f - 10.0f * longestFrameTime, 0.01f);
    // What is left lasts its 4.5 s of clock, and runs out then.
    const float outAt = runUntilOutOfFuel(35.0f, 0.1f, 60.0f);
    EXPECT_GT(outAt, 39.4f) << "fuel ran out early";
    EXPECT_LT(outAt, 39.7f) << "fuel drained slower than the clock ran";
    EXPECT_TRUE(renderFrozen) << "out of fuel ends the game";
    deleteAllObjects();
}
