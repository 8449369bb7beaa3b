// Orbelune: start-up, the window and the frame loop.

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "AppState.h"
#include "CommandLine.h"
#include "FrameRenderer.h"
#include "GameRules.h"
#include "Object.h"
#include "Settings.h"
#include "Startup.h"

// Names the failed condition and where it sits, then stops: nothing can run without it.
#define STARTUP_CHECK(condition)                                                         \
    do {                                                                                 \
        if (!(condition))                                                                \
            failStartup(#condition, __LINE__);                                           \
    } while (false)

namespace {

[[noreturn]] void failStartup(const char* condition, int line)
{
    std::cout << "src/main.cpp:" << line << ": start-up failed: " << condition << std::endl;
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

void runFrameLoop()
{
    while (!glfwWindowShouldClose(window)) {
        const float now = static_cast<float>(glfwGetTime());
        deltaTime = now - lastFrameTime;
        lastFrameTime = now;
        glfwPollEvents();
        updateGame();
        // After the end the last frame stays up; events and rules keep running.
        if (!renderFrozen) {
            renderFrame();
            glfwSwapBuffers(window);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    // A launcher or a log reading through a pipe must see each line when it happens.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    initialize(argc, argv);
    runFrameLoop();
    deleteAllObjects();
    return 0;
}
