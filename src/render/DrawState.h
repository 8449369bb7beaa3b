// The GL state every pass of a frame draws under, for the window's current size. Start-up sets
// it before the first frame and each resize sets it again, so neither waits on the other.
#pragma once

// Viewport over the whole `width` x `height` window, depth test, and alpha blending.
void setDrawState(int width, int height);
