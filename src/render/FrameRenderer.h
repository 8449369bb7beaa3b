// One complete frame, pass by pass.
#pragma once

#include "FrameView.h"

// Objects, particles, bloom blur and composite (HDR only), HUD and the outcome step of the
// rules, as the camera, the light, the window size and the toggles stand now.
void renderFrame();
// The same passes for the frame `frame` describes; returns how many asteroids were drawn.
int renderFrame(const FrameView& frame);
// The frame as the game stands now: camera, light, window size, frame time and toggles.
FrameView captureFrameView();

// The passes of one frame, for tools that time them (the frame-time benchmark).
enum class FramePass { objects, particles, blur, composite, hud };
// Called with begin true before and false after each pass; null in the game, where the
// frame then pays one test per boundary.
using FramePassObserver = void (*)(FramePass pass, bool begin);
extern FramePassObserver framePassObserver;
// Tells the observer, if there is one, that `pass` begins or ends.
inline void notifyFramePass(FramePass pass, bool begin)
{
    if (framePassObserver)
        framePassObserver(pass, begin);
}
