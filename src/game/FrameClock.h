// The game's clock: how much time one pass of the frame loop counts.
#pragma once

// The most one frame counts, in seconds: above the slowest frames measured here (software
// rendering at 1280x720 on a loaded machine, 0.4 s), so real frames count in full, while a
// stall (a suspended laptop, a debugger, a stopped process) counts as one frame this long
// instead of throwing the world forward by all of it.
constexpr float longestFrameTime = 0.5f;

// Starts the clock over at 0 s: the next frame counts from here. Start-up calls it with the
// window clock's own reset.
void resetFrameClock();

// Sets `deltaTime` to the time since the previous frame (or the reset), held to
// 0..longestFrameTime, and stores `now` (seconds on the reset clock) as `lastFrameTime`.
// A clock that went backwards counts 0: the world never runs backwards.
void advanceFrameClock(float now);
