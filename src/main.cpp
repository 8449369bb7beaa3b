// Orbelune's entry point: the command line and the checks that end a failed start here;
// the window comes from start-up and the loop from the host (the desktop's, or the
// browser's, which calls back once per display frame).

#include <GLFW/glfw3.h>

#include <cstdlib>
#include <iostream>

#include "AppState.h"
#include "CommandLine.h"
#include "Controls.h"
#include "FrameClock.h"
#include "FrameLoop.h"
#include "Object.h"
#include "PostProcessing.h"
#include "Settings.h"
#include "Startup.h"
#include "audio/SoundPlayer.h"
#include "platform/Host.h"

// Names the failed condition and where it sits, then stops: nothing can run without it.
#define STARTUP_CHECK(condition)                                                         \
    do {                                                                                 \
        if (!(condition))                                                                \
            failStartup(#condition, __LINE__, platform::FailedStart::other);             \
    } while (false)

namespace {

[[noreturn]] void failStartup(const char* condition, int line, platform::FailedStart why)
{
    std::cout << "src/main.cpp:" << line << ": start-up failed: " << condition << std::endl;
    platform::reportFailedStart(why, condition);
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
}

void initialize(int argc, char** argv)
{
    parseCommandLine(argc, argv);
    switch (startGame(settings)) {
    case StartupFailure::glfwInit: failStartup("glfwInit()", __LINE__, platform::FailedStart::other);
    case StartupFailure::windowSize: failStartup("window != nullptr", __LINE__, platform::FailedStart::windowSize);
    case StartupFailure::window: failStartup("window != nullptr", __LINE__, platform::FailedStart::window);
    case StartupFailure::glewInit: failStartup("GLEW_OK == glewInit()", __LINE__, platform::FailedStart::other);
    case StartupFailure::none: break;
    }
}

} // namespace

int main(int argc, char** argv)
{
    platform::openConsole();
    initialize(argc, argv);
    const auto atEnd = [] {
        closeSound(); // a page never runs atexit, and its audio would play on without frames
        deleteAllObjects();
    };
    // A page hidden mid-flight pauses it, as a desktop window losing the focus does: coming
    // back must never cost a life. Its sound is held while hidden, and after while paused,
    // and the time it was hidden counts for no frame.
    const auto hidden = [](bool isHidden) {
        if (isHidden && !renderFrozen)
            paused = true;
        suspendSound(isHidden || paused);
        if (isHidden)
            holdFrameClock(gameClockNow());
        else
            resumeFrameClock(gameClockNow());
    };
    platform::announcePlay(soundEnabled, framebuffersComplete());
    platform::runFrameLoop([] { return runFramePass(gameClockNow()); }, atEnd, hidden);
    return 0;
}
