// One complete frame, pass by pass.
#pragma once

#include <glm/vec3.hpp>

#include "Frustum.h"

class Object;

// Objects, particles, post-processing, HUD, then the outcome step of the rules.
void renderFrame();

// True when the object is to be drawn: always with culling off; otherwise when it is not
// behind the camera (asked first) and its sphere of scale x radius meets the view.
bool shouldDraw(const Object& object, const glm::vec3& cameraPosition, const glm::vec3& viewDirection,
                const FrustumPlanes& planes, bool culling);

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
