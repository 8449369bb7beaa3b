// Keyboard state, the seven function-key toggles and the window callbacks.
#pragma once

struct GLFWwindow;

constexpr int keyCount = 1024;
extern bool keys[keyCount];  // held state per GLFW key code

extern bool showFrameStats;    // F2
extern bool wireframe;         // F3
extern bool collisionsEnabled; // F4
extern bool fuelDrain;         // F5
extern bool hdrEnabled;        // F6
extern bool bloomEnabled;      // F7
extern bool frustumCulling;    // F8

void onKey(GLFWwindow* window, int key, int scancode, int action, int mods);
void onCursorPos(GLFWwindow* window, double x, double y);
void onCursorEnter(GLFWwindow* window, int entered);
void ignoreEvent(GLFWwindow* window, int button, int action, int mods);
void ignoreEvent(GLFWwindow* window, double dx, double dy);
// Resizes viewport, post-processing buffers and projection; a 0 in either dimension
// (a minimised window) is ignored and the last valid size stays in force.
void onWindowSize(GLFWwindow* window, int width, int height);
