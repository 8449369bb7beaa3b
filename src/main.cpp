// Orbelune: start-up, the window and the frame loop.

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "AppState.h"
#include "Camera.h"
#include "CommandLine.h"
#include "FrameRenderer.h"
#include "GameRules.h"
#include "Input.h"
#include "Object.h"
#include "PostProcessing.h"
#include "Scene.h"
#include "Settings.h"
#include "Startup.h"

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
    std::exit(EXIT_FAILURE);
}

// The primary monitor's current refresh rate in Hz (0 where the display reports none).
int primaryMonitorRefreshRate()
{
    STARTUP_CHECK(glfwInit());
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
    return mode ? mode->refreshRate : 0;
}

void parseCommandLine(int argc, char** argv)
{
    settings = parseArguments(argc, argv, std::cout, primaryMonitorRefreshRate);
    lightColor = lightColorFor(settings.brightness);
}

void createWindow()
{
    STARTUP_CHECK(glfwInit());
    applyGameWindowHints(settings.refreshRate);

    GLFWmonitor* monitor = settings.fullscreen ? glfwGetPrimaryMonitor() : nullptr;
    // GLFW asserts (aborts) on a negative size instead of failing, and a huge one crashes
    // inside Xlib and Mesa, whose image sizes overflow 32 bits; such sizes get the same
    // diagnostic as any other window that cannot be made. No GL we run on draws a side
    // beyond 16384 pixels anyway.
    constexpr int largestSide = 16384;
    const bool usableSize = settings.width > 0 && settings.height > 0 && settings.width <= largestSide &&
                            settings.height <= largestSide;
    window = usableSize ? glfwCreateWindow(settings.width, settings.height, "Orbelune", monitor, nullptr)
                        : nullptr;
    STARTUP_CHECK(window != nullptr);
    glfwMakeContextCurrent(window);
    if (settings.fullscreen) {
        glfwSetWindowMonitor(window, glfwGetPrimaryMonitor(), 0, 0, settings.width, settings.height,
                             settings.refreshRate);
    }
}

void installCallbacks()
{
    using ButtonCallback = void (*)(GLFWwindow*, int, int, int);
    using ScrollCallback = void (*)(GLFWwindow*, double, double);
    glfwSetKeyCallback(window, onKey);
    glfwSetCursorPosCallback(window, onCursorPos);
    glfwSetCursorEnterCallback(window, onCursorEnter);
    glfwSetMouseButtonCallback(window, static_cast<ButtonCallback>(ignoreEvent));
    glfwSetScrollCallback(window, static_cast<ScrollCallback>(ignoreEvent));
    glfwSetWindowSizeCallback(window, onWindowSize);
}

void initialize(int argc, char** argv)
{
    parseCommandLine(argc, argv);
    createWindow();
    installCallbacks();
    glewExperimental = GL_TRUE;
    STARTUP_CHECK(GLEW_OK == glewInit());
    setInitialGlState(settings.width, settings.height);
    createFramebuffers();
    setCameraDefaults(settings.width, settings.height);
    connectGameHooks();
    setupScene();
}

void runFrameLoop()
{
    while (!glfwWindowShouldClose(window)) {
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
