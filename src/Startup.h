// Start-up steps and the window. The game, its golden frames and its frame-time harness all
// start through startGame, so every one of them sees the same game.
#pragma once

struct GLFWwindow;
struct Settings;

// The start-up step that failed; main.cpp names each one's condition in its diagnostic.
// windowSize: a size no window is asked for; window: a window of a usable size not made.
enum class StartupFailure { none, glfwInit, windowSize, window, glewInit };

extern GLFWwindow* window; // the only window; null until start-up creates it

// The primary monitor's current refresh rate in Hz (0 where the display reports none).
// Needs GLFW initialised.
int primaryMonitorRefreshRate();
// The game's window at the size in `settings`, current, fullscreen when asked; null when it
// cannot be made. Hidden windows are for tools that read their pictures back.
GLFWwindow* openGameWindow(const Settings& settings, bool visible = true);
// A hidden, current OpenGL 3.3 core context with the GL entry points loaded, for tests and
// benchmarks that need GL but no game window; null when any step fails.
GLFWwindow* openHiddenContext(int width, int height, const char* title);
// The whole start-up after the command line: `wanted` becomes the game's settings (and its
// light colour), then GLFW, the window (hidden for tools that read their pictures back), the
// callbacks, GLEW, the draw state, framebuffers, camera, the rules' hooks and the scene,
// ending with "Initialization DONE.". Stops at the first step that fails and says which.
StartupFailure startGame(const Settings& wanted, bool visible = true);
