#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include <unistd.h>

#include "AppState.h"
#include "Camera.h"
#include "Input.h"
#include "PostProcessing.h"
#include "Settings.h"
#include "GlTestSupport.h"

namespace {

class InputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureGlContext();
        window = glfwGetCurrentContext();
        glfwSetWindowShouldClose(window, GLFW_FALSE);
        std::fill(std::begin(keys), std::end(keys), false);
    }

    GLFWwindow* window = nullptr;
};

} // namespace

TEST_F(InputTest, HeldKeysFollowPressAndReleaseButNotRepeat)
{
    onKey(window, GLFW_KEY_W, 0, GLFW_PRESS, 0);
    EXPECT_TRUE(keys[GLFW_KEY_W]);
    onKey(window, GLFW_KEY_W, 0, GLFW_REPEAT, 0);
    EXPECT_TRUE(keys[GLFW_KEY_W]);
    onKey(window, GLFW_KEY_W, 0, GLFW_RELEASE, 0);
    EXPECT_FALSE(keys[GLFW_KEY_W]);
    // A repeat arriving for a key already released (focus games) does not resurrect it.
    onKey(window, GLFW_KEY_W, 0, GLFW_REPEAT, 0);
    EXPECT_FALSE(keys[GLFW_KEY_W]);
}

TEST_F(InputTest, FunctionKeysFlipTheirToggleOncePerPress)
{
    const bool before = wireframe;
    onKey(window, GLFW_KEY_F3, 0, GLFW_PRESS, 0);
    for (int i = 0; i < 20; ++i)
        onKey(window, GLFW_KEY_F3, 0, GLFW_REPEAT, 0);
    onKey(window, GLFW_KEY_F3, 0, GLFW_RELEASE, 0);
    EXPECT_EQ(wireframe, !before);
    onKey(window, GLFW_KEY_F3, 0, GLFW_PRESS, 0);
    EXPECT_EQ(wireframe, before);

    bool* const toggles[] = {&showFrameStats, &wireframe, &collisionsEnabled, &fuelDrain,
                             &hdrEnabled, &bloomEnabled, &frustumCulling};
    for (int key = GLFW_KEY_F2; key <= GLFW_KEY_F8; ++key) {
        bool* toggle = toggles[key - GLFW_KEY_F2];
        const bool was = *toggle;
        onKey(window, key, 0, GLFW_PRESS, 0);
        EXPECT_EQ(*toggle, !was) << "F" << key - GLFW_KEY_F1 + 1;
        onKey(window, key, 0, GLFW_PRESS, 0);
    }
    EXPECT_TRUE(showFrameStats);
    EXPECT_FALSE(fuelDrain);
}

// P and the controller's Start pause a flight, R and Start fly again from the end screen;
// each means nothing in the other state, and a key or button held down acts once.
TEST_F(InputTest, PauseAndFlyAgainAnswerOnlyWhereTheyMeanSomething)
{
    GamepadInput pad;
    pad.connected = true;
    const auto startHeldFor = [&pad](int passes) {
        pad.start = true;
        for (int pass = 0; pass < passes; ++pass)
            followStartButton(pad);
        pad.start = false;
        followStartButton(pad);
    };
    renderFrozen = false;
    onKey(window, GLFW_KEY_R, 0, GLFW_PRESS, 0);
    EXPECT_FALSE(newFlightAsked) << "R in flight";
    onKey(window, GLFW_KEY_P, 0, GLFW_PRESS, 0);
    onKey(window, GLFW_KEY_P, 0, GLFW_REPEAT, 0);
    EXPECT_TRUE(paused);
    onKey(window, GLFW_KEY_P, 0, GLFW_PRESS, 0);
    EXPECT_FALSE(paused);
    startHeldFor(4);
    EXPECT_TRUE(paused) << "Start held for four passes";
    startHeldFor(1);
    EXPECT_FALSE(paused);
    EXPECT_FALSE(newFlightAsked);

    renderFrozen = true;
    onKey(window, GLFW_KEY_P, 0, GLFW_PRESS, 0);
    startHeldFor(1);
    EXPECT_FALSE(paused) << "a pause on the end screen";
    EXPECT_TRUE(newFlightAsked) << "Start on the end screen";
    newFlightAsked = false;
    onKey(window, GLFW_KEY_R, 0, GLFW_PRESS, 0);
    EXPECT_TRUE(newFlightAsked);
    newFlightAsked = false;
    renderFrozen = false;
}

TEST_F(InputTest, UnknownAndOutOfRangeKeysChangeNothing)
{
    const bool statsBefore = showFrameStats;
    onKey(window, GLFW_KEY_UNKNOWN, 0, GLFW_PRESS, 0);
    onKey(window, keyCount, 0, GLFW_PRESS, 0);
    onKey(window, 100000, 0, GLFW_PRESS, 0);
    EXPECT_EQ(std::count(std::begin(keys), std::end(keys), true), 0);
    EXPECT_EQ(showFrameStats, statsBefore);
    EXPECT_FALSE(glfwWindowShouldClose(window));
}

TEST_F(InputTest, EscapeClosesOnPressAndIsRecordedLikeAnyKey)
{
    onKey(window, GLFW_KEY_ESCAPE, 0, GLFW_RELEASE, 0);
    EXPECT_FALSE(glfwWindowShouldClose(window));
    onKey(window, GLFW_KEY_ESCAPE, 0, GLFW_PRESS, 0);
    EXPECT_TRUE(glfwWindowShouldClose(window));
    EXPECT_TRUE(keys[GLFW_KEY_ESCAPE]);
    glfwSetWindowShouldClose(window, GLFW_FALSE);
}

TEST_F(InputTest, ResizeRebuildsBuffersAndIgnoresAMinimisedWindow)
{
    settings.width = 320;
    settings.height = 240;
    createFramebuffers();
    camera.setProjection(320, 240, 45.0f);

    onWindowSize(window, 640, 360);
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(settings.height, 360);
    EXPECT_EQ(camera.width, 640);
    EXPECT_EQ(drawStateMismatch(640, 360), "");
    EXPECT_EQ(textureLevelParameter(hdrColorTextures[0], GL_TEXTURE_WIDTH), 640);

    const unsigned int framebufferBefore = hdrFramebuffer;
    onWindowSize(window, 0, 0);
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(settings.height, 360);
    EXPECT_EQ(hdrFramebuffer, framebufferBefore) << "a minimised window must not rebuild";
    EXPECT_FALSE(std::isnan(camera.getProjectionMatrix()[0][0]));

    // The smallest window still gets a scene framebuffer the frame can draw into.
    onWindowSize(window, 1, 1);
    glBindFramebuffer(GL_FRAMEBUFFER, hdrFramebuffer);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    onWindowSize(window, 800, 600);
    EXPECT_EQ(textureLevelParameter(pingpongTextures[1], GL_TEXTURE_WIDTH), 800);
    EXPECT_EQ(drawStateMismatch(800, 600), "");
}

namespace {

// Framebuffer, texture and renderbuffer names alive in the context, over the range the
// driver hands out first.
// Draws into every image the resize made, so the driver really holds their memory.
void touchFramebuffers()
{
    for (GLuint framebuffer : {hdrFramebuffer, pingpongFramebuffers[0], pingpongFramebuffers[1]}) {
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glClearColor(0.5f, 0.25f, 0.125f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glFinish();
}

} // namespace

// A player dragging the window's corner resizes it dozens of times; each set of framebuffers
// replaced must go, or the game's memory grows with every drag.
TEST_F(InputTest, FiftyResizesLeaveTheGlObjectsAndMemoryWhereOneLeavesThem)
{
    settings.width = 320;
    settings.height = 180;
    createFramebuffers();
    onWindowSize(window, 320, 180);
    touchFramebuffers();
    const int namesAfterOne = liveGlNames();
    const long memoryAfterOne = residentKiB();
    for (int resize = 0; resize < 50; ++resize) {
        onWindowSize(window, 320 + resize % 2, 180 + resize % 2);
        touchFramebuffers();
    }
    EXPECT_EQ(liveGlNames(), namesAfterOne);
    // One set at this size is about 2 MB; fifty kept would be a hundred.
    if (residentMemoryIsTheGames) {
        EXPECT_LT(residentKiB() - memoryAfterOne, 32 * 1024);
    }
}
