// The window callbacks: keys into the controls, Esc, and resizes.
#pragma once

#include "Controls.h"
#include "ShipControl.h"

struct GLFWwindow;

void onKey(GLFWwindow* window, int key, int scancode, int action, int mods);
void onCursorPos(GLFWwindow* window, double x, double y);
void onCursorEnter(GLFWwindow* window, int entered);
void ignoreEvent(GLFWwindow* window, int button, int action, int mods);
void ignoreEvent(GLFWwindow* window, double dx, double dy);
// Resizes viewport, post-processing buffers and projection; a 0 in either dimension
// (a minimised window) is ignored and the last valid size stays in force.
void onWindowSize(GLFWwindow* window, int width, int height);
// A flight pauses when its window loses the focus it had, or is minimised; it goes on only
// when the player presses P, so coming back never costs a life.
void onWindowFocus(GLFWwindow* window, int focused);
void onWindowIconify(GLFWwindow* window, int iconified);
// The controller's Start is P in flight and R on the end screen; only its press counts, as
// a key's does. Called once a pass with the controller as it is now.
void followStartButton(const GamepadInput& pad);
// The first game controller GLFW knows a mapping for; not connected when there is none.
// Polled every pass, so one plugged in or out is simply picked up or dropped.
GamepadInput readGamepad();
