#include "FrameLoop.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include "AppState.h"
#include "FrameClock.h"
#include "FrameRenderer.h"
#include "GameRules.h"
#include "Startup.h"

namespace {

// How often the rules still run while the end screen waits for events: often enough that
// a ship flown on into the planet asks for a name at once, rarely enough to idle.
constexpr double frozenTickSeconds = 0.05;

} // namespace

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
    // an event (or a short tick, for the rules that keep running) spares the CPU.
    if (renderFrozen)
        glfwWaitEventsTimeout(frozenTickSeconds);
    else
        glfwPollEvents();
    updateGame();
    if (!renderFrozen) {
        renderFrame();
        glfwSwapBuffers(window);
    }
    return true;
}
