// Helpers for the tests that need a display: a private X server, a hidden GL context,
// keys sent to the game's window and pictures read back from it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"

// Starts an Xvfb server for this test process, once, and points DISPLAY at it, so that
// tests run in parallel never share windows, focus or keys. Everything below that needs a
// display calls it; a test that talks to X by itself, or starts a program that opens a
// window, calls it first.
void usePrivateDisplay();

// Makes a hidden 3.3 core window current (once per process) and loads the GL entry points.
void ensureGlContext();

// What a GL query of `target` (GL_PRIMITIVES_GENERATED, ...) counts while `action` runs.
// Framebuffers, textures and renderbuffers alive in the current context (names below 4096).
int liveGlNames();
// The process's resident memory; see residentMemoryIsTheGames.
long residentKiB();
unsigned int countPrimitives(unsigned int target, const std::function<void()>& action);
// A level-0 parameter (GL_TEXTURE_WIDTH, GL_TEXTURE_INTERNAL_FORMAT, ...) of a 2D texture.
int textureLevelParameter(unsigned int texture, unsigned int parameter);
// How the current context's state differs from the one every pass of the game draws under
// (viewport over `width` x `height`, depth test, alpha blending); empty when it does not.
std::string drawStateMismatch(int width, int height);

// Sends keys to the game's window through the X server's test extension (xdotool), so
// GLFW sees them as real key events. `keys` is xdotool's key syntax, e.g. "Escape" or "F3".
bool pressKeys(const std::string& keys);
bool holdKey(const std::string& key, bool down);
// The id of the visible window titled "Orbelune", waiting up to `timeoutSeconds`; empty when none.
std::string findGameWindow(double timeoutSeconds = 10.0);

// A screenshot of one window, 8-bit RGB, rows top to bottom.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    bool empty() const { return rgb.empty(); }
    // Share (0..1) of pixels in the rectangle (x, y from the top-left, clipped) that `test` accepts.
    double share(int x, int y, int w, int h, const std::function<bool(int r, int g, int b)>& test) const;
    double share(const std::function<bool(int r, int g, int b)>& test) const;
    // Mean of (r + g + b) / 3 over the rectangle, 0..255.
    double meanBrightness(int x, int y, int w, int h) const;
    bool operator==(const Screenshot& other) const;
};

// The window's current picture, via ImageMagick's import; empty when it cannot be taken.
Screenshot captureWindow(const std::string& windowId);
