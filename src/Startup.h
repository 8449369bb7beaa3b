// Start-up steps the game shares with the tools that measure it, so both open the same
// kind of window with the same state.
#pragma once

// OpenGL 3.3 core, forward compatible, resizable, 4x multisampled, at `refreshRate` Hz.
void applyGameWindowHints(int refreshRate);
// Viewport over the whole window, depth test, and alpha blending for every pass.
void setInitialGlState(int width, int height);
// The camera before the first frame: at (0, 1, -3) looking along +Z, 45 (radians) wide.
void setCameraDefaults(int width, int height);
