#include "Startup.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include "Camera.h"
#include "CommandLine.h"
#include "DrawState.h"
#include "FrameLoop.h"
#include "Input.h"
#include "PostProcessing.h"
#include "Scene.h"
#include "Settings.h"

GLFWwindow* window = nullptr;

namespace {

// A browser's GLFW takes the screen itself when handed a monitor, which a page may do only in
// answer to a click; the page goes full screen at the player's first click or key instead.
#ifdef __EMSCRIPTEN__
constexpr bool inBrowserPage = true;
#else
constexpr bool inBrowserPage = false;
#endif

// The context every window of the game and its tools asks for.
void applyContextHints()
{
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
}

// GLFW asserts (aborts) on a negative size instead of failing, and a huge one crashes inside
// Xlib and Mesa, whose image sizes overflow 32 bits: such sizes are never asked for.
bool usableSize(const Settings& wanted)
{
    return wanted.width > 0 && wanted.height > 0 && wanted.width <= largestWindowSide &&
           wanted.height <= largestWindowSide;
}

// OpenGL 3.3 core, forward compatible, resizable, 4x multisampled, at `refreshRate` Hz.
void applyGameWindowHints(int refreshRate)
{
    applyContextHints();
    glfwWindowHint(GLFW_REFRESH_RATE, refreshRate);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
    glfwWindowHint(GLFW_SAMPLES, 4);
}

// Keys, cursor, buttons, scroll and resizes of `target` to the input callbacks.
void installCallbacks(GLFWwindow* target)
{
    using ButtonCallback = void (*)(GLFWwindow*, int, int, int);
    using ScrollCallback = void (*)(GLFWwindow*, double, double);
    glfwSetKeyCallback(target, onKey);
    glfwSetCursorPosCallback(target, onCursorPos);
    glfwSetCursorEnterCallback(target, onCursorEnter);
    glfwSetMouseButtonCallback(target, static_cast<ButtonCallback>(ignoreEvent));
    glfwSetScrollCallback(target, static_cast<ScrollCallback>(ignoreEvent));
    glfwSetWindowSizeCallback(target, onWindowSize);
    glfwSetWindowFocusCallback(target, onWindowFocus);
    glfwSetWindowIconifyCallback(target, onWindowIconify);
    glfwSetWindowRefreshCallback(target, [](GLFWwindow*) { pausedPictureLost(); });
}

// Everything after the GL entry points are loaded: the draw state, framebuffers, camera, the
// rules' hooks and the scene, ending with "Initialization DONE.". The first frame draws under
// this draw state: no resize need come first, and on some platforms none ever does.
void prepareGame()
{
    setDrawState(settings.width, settings.height);
    createFramebuffers();
    setCameraDefaults(settings.width, settings.height);
    connectGameHooks();
    setupScene();
}

} // namespace

GLFWwindow* openHiddenContext(int width, int height, const char* title)
{
    if (!glfwInit())
        return nullptr;
    applyContextHints();
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    GLFWwindow* context = glfwCreateWindow(width, height, title, nullptr, nullptr);
    if (!context)
        return nullptr;
    glfwMakeContextCurrent(context);
    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK)
        return nullptr;
    glGetError(); // GLEW leaves a harmless GL_INVALID_ENUM behind on core contexts
    return context;
}

int primaryMonitorRefreshRate()
{
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
    return mode ? mode->refreshRate : 0;
}

GLFWwindow* openGameWindow(const Settings& wanted, bool visible)
{
    applyGameWindowHints(wanted.refreshRate);
    glfwWindowHint(GLFW_VISIBLE, visible ? GLFW_TRUE : GLFW_FALSE);
    GLFWmonitor* monitor = wanted.fullscreen && !inBrowserPage ? glfwGetPrimaryMonitor() : nullptr;
    GLFWwindow* created =
        usableSize(wanted) ? glfwCreateWindow(wanted.width, wanted.height, "Orbelune", monitor, nullptr) : nullptr;
    if (!created)
        return nullptr;
    glfwMakeContextCurrent(created);
    if (wanted.fullscreen) {
        glfwSetWindowMonitor(created, glfwGetPrimaryMonitor(), 0, 0, wanted.width, wanted.height,
                             wanted.refreshRate);
    }
    return created;
}

StartupFailure startGame(const Settings& wanted, bool visible)
{
    settings = wanted;
    lightColor = lightColorFor(settings.brightness);
    if (!glfwInit())
        return StartupFailure::glfwInit;
    window = openGameWindow(settings, visible);
    if (window == nullptr)
        return usableSize(settings) ? StartupFailure::window : StartupFailure::windowSize;
    installCallbacks(window);
    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK)
        return StartupFailure::glewInit;
    prepareGame();
    return StartupFailure::none;
}
