#include "Input.h"

#include <algorithm>
#include <iterator>

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include "AppState.h"
#include "Camera.h"
#include "DrawState.h"
#include "PostProcessing.h"
#include "Settings.h"

namespace {

// The flag a function key (or M, for sound) flips, or null for any other key.
bool* toggleFor(int key)
{
    switch (key) {
    case GLFW_KEY_F2: return &showFrameStats;
    case GLFW_KEY_F3: return &wireframe;
    case GLFW_KEY_F4: return &collisionsEnabled;
    case GLFW_KEY_F5: return &fuelDrain;
    case GLFW_KEY_F6: return &hdrEnabled;
    case GLFW_KEY_F7: return &bloomEnabled;
    case GLFW_KEY_F8: return &frustumCulling;
    case GLFW_KEY_M: return &soundEnabled;
    default: return nullptr;
    }
}

} // namespace

void onKey(GLFWwindow* window, int key, int /*scancode*/, int action, int /*mods*/)
{
    if (key == GLFW_KEY_ESCAPE && action == GLFW_PRESS)
        glfwSetWindowShouldClose(window, GLFW_TRUE);

    if (key >= 0 && key < keyCount) {
        if (action == GLFW_PRESS)
            keys[key] = true;
        else if (action == GLFW_RELEASE)
            keys[key] = false;
    }

    // Only the press flips: holding a function key repeats, and must not flicker.
    if (action == GLFW_PRESS) {
        if (bool* toggle = toggleFor(key))
            *toggle = !*toggle;
        // Pausing is for a flight, flying again for the end screen; each key means nothing
        // in the other.
        if (key == GLFW_KEY_P && !renderFrozen)
            paused = !paused;
        if (key == GLFW_KEY_R && renderFrozen)
            newFlightAsked = true;
    }
}

void followStartButton(const GamepadInput& pad)
{
    static bool held = false;
    if (pad.start && !held) {
        if (renderFrozen)
            newFlightAsked = true;
        else
            paused = !paused;
    }
    held = pad.start;
}

void onWindowFocus(GLFWwindow* /*window*/, int focused)
{
    // NOTE: only a focus once had and then taken away pauses: without a window manager the
    // window may never be given focus at all, and must play on.
    static bool hadFocus = false;
    if (focused)
        hadFocus = true;
    else if (hadFocus && !renderFrozen)
        paused = true;
}

void onWindowIconify(GLFWwindow* /*window*/, int iconified)
{
    if (iconified && !renderFrozen)
        paused = true;
}

void onCursorPos(GLFWwindow*, double, double) {}
void onCursorEnter(GLFWwindow*, int) {}
void ignoreEvent(GLFWwindow*, int, int, int) {}
void ignoreEvent(GLFWwindow*, double, double) {}

void onWindowSize(GLFWwindow* /*window*/, int width, int height)
{
    // NOTE: a minimised window reports 0 x 0. Zero-sized framebuffers and a zero pixel
    // count for the exposure average are not allowed, so the last size stays in force.
    if (width <= 0 || height <= 0)
        return;

    settings.width = width;
    settings.height = height;
    deleteFramebuffers();
    setDrawState(width, height);
    createFramebuffers();
    camera.setProjection(width, height, defaultFieldOfView);
}

namespace {

#ifdef GLFW_GAMEPAD_AXIS_LAST
static_assert(GLFW_GAMEPAD_AXIS_LAST + 1 == gamepadAxisCount && GLFW_GAMEPAD_BUTTON_LAST + 1 == gamepadButtonCount);
// False when `joystick` is absent or GLFW knows no gamepad mapping for it.
bool gamepadState(int joystick, float (&axes)[gamepadAxisCount], unsigned char (&buttons)[gamepadButtonCount])
{
    GLFWgamepadstate state;
    if (!glfwJoystickIsGamepad(joystick) || !glfwGetGamepadState(joystick, &state))
        return false;
    std::copy(std::begin(state.axes), std::end(state.axes), axes);
    std::copy(std::begin(state.buttons), std::end(state.buttons), buttons);
    return true;
}
#else
// Emscripten's GLFW predates the gamepad API: the page reads the browser's (library.js).
extern "C" int orbeluneGamepadState(int joystick, float* axes, unsigned char* buttons);
bool gamepadState(int joystick, float (&axes)[gamepadAxisCount], unsigned char (&buttons)[gamepadButtonCount])
{
    return orbeluneGamepadState(joystick, axes, buttons) != 0;
}
#endif

} // namespace

GamepadInput readGamepad()
{
    for (int joystick = GLFW_JOYSTICK_1; joystick <= GLFW_JOYSTICK_LAST; ++joystick) {
        float axes[gamepadAxisCount];
        unsigned char buttons[gamepadButtonCount];
        if (gamepadState(joystick, axes, buttons))
            return gamepadFromLayout(axes, buttons);
    }
    return GamepadInput{};
}
