// What the player asks the ship to do, from the keys and a game controller together.
#pragma once

#include <glm/vec3.hpp>

// A game controller's state as GLFW's gamepad mapping (and the browser's standard mapping)
// reports it. Axes run -1..1; stick y is +1 pulled back; triggers rest at -1.
struct GamepadInput {
    bool connected = false;
    float leftX = 0.0f;
    float leftY = 0.0f;
    float leftTrigger = -1.0f;
    float rightTrigger = -1.0f;
    bool leftShoulder = false;
    bool rightShoulder = false;
    bool start = false;         // pauses a flight, or flies again from the end screen
};

// The ship's controls in its own frame, each axis -1..1: x side (D +), y up on the screen
// (E +), z forward (W +). Keys and controller add per axis but never pass full deflection,
// so using both never flies faster than either alone; two axes at once still add up (W with
// D is diagonal).
glm::vec3 shipControl(const bool* keys, const GamepadInput& pad);

// A controller in the standard layout, GLFW's and the browser's alike: axes left X, left Y,
// right X, right Y, left and right trigger (resting at -1); buttons A, B, X, Y, then the
// left and right shoulder, back, start, ...; a button reads non-zero while pressed.
constexpr int gamepadAxisCount = 6;
constexpr int gamepadButtonCount = 15;
GamepadInput gamepadFromLayout(const float (&axes)[gamepadAxisCount],
                               const unsigned char (&buttons)[gamepadButtonCount]);
