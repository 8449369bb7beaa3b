// Orbelune: start-up, the window and the frame loop.

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdlib>
#include <iostream>

#include "AppState.h"
#include "CommandLine.h"
#include "FrameRenderer.h"
#include "GameRules.h"
#include "Object.h"
#include "Settings.h"
#include "Startup.h"
#include "platform/Host.h"

// Names the failed condition and where it sits, then stops: nothing can run without it.
#define STARTUP_CHECK(condition)                                                         \
    do {                                                                                 \
        if (!(condition))                                                                \
            failStartup(#condition, __LINE__);                                           \
    } while (false)

namespace {

// How often the rules still run while the end screen waits for events: often enough that
// a ship flown on into the planet asks for a name at once, rarely enough to idle.
constexpr double frozenTickSeconds = 0.05;

[[noreturn]] void failStartup(const char* condition, int line)
{
    std::cout << "src/main.cpp:" << line << ": start-up failed: " << condition << std::endl;
    platform::reportFailedStart(condition);
    // exit rather than _Exit: no GL object exists yet whose destructor could misbehave.
    std::exit(EXIT_FAILURE);
}

void parseCommandLine(int argc, char** argv)
{
    // GLFW starts only when the refresh rate has to come from the monitor.
    settings = parseArguments(argc, argv, std::cout, [] {
        STARTUP_CHECK(glfwInit());
        return primaryMonitorRefreshRate();
    });
    lightColor = lightColorFor(settings.brightness);
}

void initialize(int argc, char** argv)
{
    parseCommandLine(argc, argv);
    STARTUP_CHECK(glfwInit());
    window = openGameWindow(settings);
    STARTUP_CHECK(window != nullptr);
    installCallbacks(window);
    glewExperimental = GL_TRUE;
    STARTUP_CHECK(GLEW_OK == glewInit());
    prepareGame();
}

// One pass of the frame loop; false once the window has been asked to close.
bool runFramePass()
{
    if (glfwWindowShouldClose(window))
        return false;
    const float now = static_cast<float>(glfwGetTime());
    deltaTime = now - lastFrameTime;
    lastFrameTime = now;
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

} // namespace

int main(int argc, char** argv)
{
    platform::openConsole();
    initialize(argc, argv);
    platform::runFrameLoop(runFramePass, deleteAllObjects);
    return 0;
}
