#include "FrameClock.h"

#include <algorithm>

#include "AppState.h"

namespace {

float heldSince = -1.0f; // the clock reading the hold began at; negative while not held

} // namespace

void resetFrameClock()
{
    deltaTime = 0.0f;
    lastFrameTime = 0.0f;
    // A hold goes on over the reset, from the new clock's start.
    if (heldSince >= 0.0f)
        heldSince = 0.0f;
}

void advanceFrameClock(float now)
{
    deltaTime = std::clamp(now - lastFrameTime, 0.0f, longestFrameTime);
    // Stored even after a stall or a step back, so the frames after it count normally again.
    lastFrameTime = now;
}

void holdFrameClock(float now)
{
    if (heldSince < 0.0f)
        heldSince = now;
}

void resumeFrameClock(float now)
{
    if (heldSince < 0.0f)
        return;
    // A frame that came while held has counted the time up to it already.
    const float unseenFrom = std::max(heldSince, lastFrameTime);
    lastFrameTime += std::max(now - unseenFrom, 0.0f);
    heldSince = -1.0f;
}
