// The game's own start-up and frame pass in this process, on a hidden window, driven by a
// scripted clock: the time the rules see is the time the clock says.
#include <algorithm>

#include <gtest/gtest.h>

#include <GLFW/glfw3.h>

#include "AppState.h"
#include "Controls.h"
#include "FrameClock.h"
#include "FrameLoop.h"
#include "Camera.h"
#include "CommandLine.h"
#include "GameRules.h"
#include "Input.h"
#include "Object.h"
#include "PostProcessing.h"
#include "Settings.h"
#include "Startup.h"
#include "GlTestSupport.h"
#include "TestSupport.h"

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

// The game started on a hidden window, its start-up lines kept from the test's output.
StartupFailure startHiddenGame(const Settings& wanted)
{
    usePrivateDisplay();
    StartupFailure failure = StartupFailure::none;
    captureStdout([&] { failure = startGame(wanted, false); });
    return failure;
}

StartupFailure startSmallGame()
{
    Settings wanted;
    wanted.width = 160;
    wanted.height = 90;
    return startHiddenGame(wanted);
}

} // namespace

TEST(FrameLoop, FuelDrainsTenPerSecondOfClockInSlowFramesAndAStallCostsOneCappedFrame)
{
    ASSERT_EQ(startSmallGame(), StartupFailure::none);
    EXPECT_TRUE(framebuffersComplete());
    fuelDrain = true;
    collisionsEnabled = false; // the asteroids must not end the game first

    // 100 fuel: half of it in the first 5 s, frames as quick as a fast machine draws them.
    EXPECT_GE(runUntilOutOfFuel(0.0f, 0.1f, 5.0f), 5.0f) << "fuel ran out early";
    EXPECT_NEAR(fuel, 50.0f, 0.01f);
    // A swamped software renderer draws a frame in 0.7 s: it still drains 10 a second.
    runUntilOutOfFuel(5.0f, 0.7f, 7.75f);
    EXPECT_NEAR(fuel, 22.0f, 0.01f) << "slow frames must count in full";
    // Half a minute with the process stopped counts as one capped frame.
    EXPECT_TRUE(runFramePass(37.8f));
    EXPECT_NEAR(fuel, 22.0f - 10.0f * longestFrameTime, 0.01f);
    // What is left lasts its 0.2 s of clock, and runs out then.
    const float outAt = runUntilOutOfFuel(37.8f, 0.05f, 60.0f);
    EXPECT_GT(outAt, 37.95f) << "fuel ran out early";
    EXPECT_LT(outAt, 38.1f) << "fuel drained slower than the clock ran";
    EXPECT_TRUE(renderFrozen) << "out of fuel ends the game";
    deleteAllObjects();
}

// The first frame draws under the state start-up set itself: nothing has polled events yet,
// so no resize callback has run, and on some platforms none runs before the first frame.
TEST(FrameLoop, TheFirstFrameDrawsUnderStartUpsOwnState)
{
    ASSERT_EQ(startSmallGame(), StartupFailure::none);
    EXPECT_EQ(drawStateMismatch(160, 90), "");
    deleteAllObjects();
}

// R on the end screen flies again in the same window, as fresh as the first flight; P holds a
// flight still, clock included, and means nothing on the end screen, as R means nothing in
// flight. A window that loses the focus it had pauses; one never focused plays on.
TEST(FrameLoop, RFliesAgainAfterTheEndAndPHoldsAFlightStill)
{
    ASSERT_EQ(startSmallGame(), StartupFailure::none);
    const glm::vec3 shipAtStart = sceneObjects[0]->position;
    const glm::vec3 cameraAtStart = camera.getPosition();
    fuelDrain = true;
    collisionsEnabled = false;
    const auto press = [](int key) {
        onKey(nullptr, key, 0, 1, 0);
        onKey(nullptr, key, 0, 0, 0);
    };

    std::string said = captureStdout([] { EXPECT_LT(runUntilOutOfFuel(0.0f, 0.1f, 30.0f), 11.0f); });
    ASSERT_TRUE(renderFrozen);
    ASSERT_GT(asteroids.size(), 10u);
    press('P');
    EXPECT_FALSE(paused) << "P paused the end screen";
    press('R');
    said += captureStdout([] { EXPECT_TRUE(runFramePass(10.5f)); });
    EXPECT_FALSE(renderFrozen);
    EXPECT_EQ(fuel, 100.0f);
    EXPECT_EQ(lives, 9);
    EXPECT_TRUE(asteroids.empty()) << "rocks of the last flight";
    EXPECT_EQ(sceneObjects.size(), 3u);
    EXPECT_EQ(sceneObjects[0]->position, shipAtStart);
    EXPECT_EQ(camera.getPosition(), cameraAtStart);
    EXPECT_TRUE(fuelDrain) << "the switches keep what the player set";

    // The new flight's clock starts at 0, as the first one's did.
    runUntilOutOfFuel(0.0f, 0.1f, 2.0f);
    EXPECT_NEAR(fuel, 80.0f, 0.01f);
    press('R');
    EXPECT_TRUE(runFramePass(2.1f));
    EXPECT_NEAR(fuel, 79.0f, 0.01f) << "R did something in flight";
    std::vector<glm::vec3> rocks;
    for (const Object* rock : asteroids)
        rocks.push_back(rock->position);
    ASSERT_FALSE(rocks.empty());

    press('P');
    for (const float now : {2.2f, 3.2f, 4.2f, 5.1f})
        EXPECT_TRUE(runFramePass(now));
    EXPECT_NEAR(fuel, 79.0f, 0.01f) << "fuel spent while paused";
    for (std::size_t i = 0; i < rocks.size(); ++i)
        EXPECT_EQ(asteroids[i]->position, rocks[i]) << "a rock moved while paused";
    press('P');
    EXPECT_TRUE(runFramePass(5.2f));
    EXPECT_TRUE(runFramePass(5.3f));
    EXPECT_NEAR(fuel, 78.0f, 0.01f) << "the first frame after the pause counts more than its own time";

    onWindowFocus(nullptr, 0);
    EXPECT_FALSE(paused) << "paused for a focus it never had";
    onWindowFocus(nullptr, 1);
    onWindowFocus(nullptr, 0);
    EXPECT_TRUE(paused) << "another window took the focus";
    press('P');
    onWindowIconify(nullptr, 1);
    EXPECT_TRUE(paused) << "minimised";
    press('P');

    // Fifty flights more leave the GL names and the memory where one left them.
    const int namesAfterOne = liveGlNames();
    const long memoryAfterOne = residentKiB();
    said += captureStdout([&] {
        for (int flight = 0; flight < 50; ++flight) {
            renderFrozen = true;
            press('R');
            EXPECT_TRUE(runFramePass(0.0f));
            EXPECT_TRUE(runFramePass(0.1f));
        }
    });
    EXPECT_EQ(liveGlNames(), namesAfterOne);
    if (residentMemoryIsTheGames) {
        EXPECT_LT(residentKiB() - memoryAfterOne, 16 * 1024);
    }
    EXPECT_EQ(said.find("loaded."), std::string::npos) << "read again: " << said;
    EXPECT_EQ(said.find("Initialization DONE."), std::string::npos) << said;
    deleteAllObjects();
}

// The brightest light a player may ask for draws an opening picture that the framebuffer's half
// floats hold: past their 65504 a GPU may store an infinity, and the frame turns black.
TEST(FrameLoop, TheBrightestLightAllowedStillFitsTheFramebuffer)
{
    // Highlights sampled as finely as any window samples them: the peak grows from 3.9 a unit
    // of brightness at 1280 x 720 to 5.75 here, and no further at 7680 x 4320.
    Settings wanted;
    wanted.width = 3840;
    wanted.height = 2160;
    wanted.brightness = maxBrightness;
    ASSERT_EQ(startHiddenGame(wanted), StartupFailure::none);
    EXPECT_TRUE(runFramePass(0.0f));
    ASSERT_FALSE(exposureReadback.empty());
    // llvmpipe stores the largest half where another GPU would store the infinity.
    const auto overflowing = std::count_if(exposureReadback.begin(), exposureReadback.end(),
                                           [](float value) { return !(value < 65504.0f); });
    EXPECT_EQ(overflowing, 0);
    deleteAllObjects();
}

// The clock the game hands its frame pass is the window system's, second for second: a
// game clock that ran slow or fast would slow or speed up the whole world.
TEST(FrameLoop, TheGameClockIsTheWindowSystemsClock)
{
    usePrivateDisplay();
    ASSERT_TRUE(glfwInit());
    for (const double setTo : {0.0, 12.5, 1000.0}) {
        glfwSetTime(setTo);
        const float read = gameClockNow();
        EXPECT_GE(read, static_cast<float>(setTo)) << "after glfwSetTime(" << setTo << ")";
        EXPECT_LT(read, static_cast<float>(setTo) + 30.0f) << "after glfwSetTime(" << setTo << ")";
    }
}

// Every side the window system can make opens, from one pixel to the largest; any other is
// refused before GLFW sees it (GLFW aborts on a negative size, and Xlib overflows on a huge one).
TEST(StartupWindow, EverySideFromOnePixelToTheLargestOpensAndNoOther)
{
    usePrivateDisplay();
    ASSERT_EQ(glfwInit(), GLFW_TRUE);
    const auto opens = [](int width, int height) {
        Settings wanted;
        wanted.width = width;
        wanted.height = height;
        GLFWwindow* made = openGameWindow(wanted, false);
        if (made)
            glfwDestroyWindow(made);
        return made != nullptr;
    };
    EXPECT_TRUE(opens(1, 1));
    EXPECT_TRUE(opens(16384, 1));
    EXPECT_TRUE(opens(1, 16384));
    for (const auto& [width, height] : {std::pair(0, 1), std::pair(1, 0), std::pair(-1, 1), std::pair(1, -1),
                                        std::pair(16385, 1), std::pair(1, 16385)})
        EXPECT_FALSE(opens(width, height)) << width << " x " << height;
    // The game's start tells a size it never asks for from a window it was not given.
    Settings refused;
    refused.width = 16385;
    EXPECT_EQ(startGame(refused, false), StartupFailure::windowSize);
}

// The light allowed must fit the half floats in flight too, not only in the opening picture:
// the ship's hull catches the light far more brightly a few seconds ahead than at the start.
TEST(FrameLoop, TheBrightestLightAllowedStillFitsTheFramebufferInFlight)
{
    Settings wanted;
    wanted.brightness = maxBrightness;
    ASSERT_EQ(startHiddenGame(wanted), StartupFailure::none);
    collisionsEnabled = false;
    fuelDrain = false;
    keys['W'] = keys['D'] = true;
    float brightest = 0.0f;
    float when = 0.0f;
    for (int frame = 0; frame <= 200 && !renderFrozen && brightest < 65504.0f; ++frame) {
        const float now = 0.05f * static_cast<float>(frame);
        ASSERT_TRUE(runFramePass(now));
        for (const float value : exposureReadback) {
            if (value > brightest) {
                brightest = value;
                when = now;
            }
        }
    }
    keys['W'] = keys['D'] = false;
    EXPECT_LT(brightest, 65504.0f) << "at " << when << " s of flight";
    collisionsEnabled = true;
    fuelDrain = true;
    deleteAllObjects();
}
