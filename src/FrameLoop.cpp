#include "FrameLoop.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include "AppState.h"
#include "Controls.h"
#include "FrameClock.h"
#include "FrameRenderer.h"
#include "GameRules.h"
#include "Input.h"
#include "Scene.h"
#include "Settings.h"
#include "Startup.h"
#include "audio/SoundPlayer.h"

namespace {

// How often the rules still run while the end screen waits for events: often enough that
// a ship flown on into the planet asks for a name at once, rarely enough to idle.
constexpr double frozenTickSeconds = 0.05;

// The size the paused picture was drawn at; 0 x 0 while no flight is held. A new size needs
// the picture again.
int pausedWidth = 0;
int pausedHeight = 0;

bool holdingStill()
{
    return pausedWidth != 0;
}

// The flight held still goes on: the sound too, and the next pause draws its picture again.
void goOn()
{
    pausedWidth = pausedHeight = 0;
    suspendSound(false);
}

// A paused flight: its picture once, with "Paused" over it, then only events. Nothing moves,
// so the frame counts no time.
void holdStill()
{
    if (pausedWidth == settings.width && pausedHeight == settings.height)
        return;
    suspendSound(true);
    deltaTime = 0.0f;
    FrameView frame = captureFrameView();
    frame.paused = true;
    renderFrame(frame);
    glfwSwapBuffers(window);
    pausedWidth = settings.width;
    pausedHeight = settings.height;
    if (renderFrozen) {
        // The frame just drawn ended the game: the end screen waits by itself.
        paused = false;
        goOn();
    }
}

} // namespace

void pausedPictureLost()
{
    if (holdingStill())
        pausedWidth = pausedHeight = -1;
}

float gameClockNow()
{
    return static_cast<float>(glfwGetTime());
}

bool runFramePass(float now)
{
    if (glfwWindowShouldClose(window))
        return false;
    advanceFrameClock(now);
    // Play polls and runs flat out. After the end the picture is frozen, so waiting for
    // an event (or a short tick, for the rules that keep running) spares the CPU; a paused
    // flight waits the same way.
    if (renderFrozen || paused)
        glfwWaitEventsTimeout(frozenTickSeconds);
    else
        glfwPollEvents();
    followStartButton(readGamepad());
    if (newFlightAsked && renderFrozen) {
        // The new flight's clock starts here: its first frame counts from the next pass.
        newFlightAsked = false;
        startNewFlight();
        return true;
    }
    newFlightAsked = false;
    if (paused) {
        holdStill();
        return true;
    }
    if (holdingStill()) {
        // P may come in this pass's events or, in a page, between passes: either way the pass
        // that ends the pause counts no time, and the next frame counts its own alone.
        goOn();
        return true;
    }
    const bool askingName = gameWon && !nameEntered;
    updateGame();
    if (!renderFrozen) {
        renderFrame();
        glfwSwapBuffers(window);
    }
    if (askingName && nameEntered) {
        // The console's read held the loop: what was pressed meanwhile was meant for the
        // flight, not for the end screen that now stands, where R would fly again unseen.
        glfwPollEvents();
        followStartButton(readGamepad());
        newFlightAsked = false;
    }
    return true;
}
