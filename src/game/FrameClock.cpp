#include "FrameClock.h"

#include <algorithm>

#include "AppState.h"

void resetFrameClock()
{
    deltaTime = 0.0f;
    lastFrameTime = 0.0f;
}

void advanceFrameClock(float now)
{
    deltaTime = std::clamp(now - lastFrameTime, 0.0f, longestFrameTime);
    // Stored even after a stall or a step back, so the frames after it count normally again.
    lastFrameTime = now;
}
