// The game's clock: how much time one pass of the frame loop counts.
#pragma once

// The most one frame counts, in seconds. Software rendering here takes up to 0.5 s a frame,
// so real frames count in full; a longer stall (a suspended laptop, a debugger, a hidden tab)
// counts as one frame this long instead of throwing the world forward by all of it.
constexpr float longestFrameTime = 0.5f;

// Starts the clock over at 0 s: the next frame counts from here. Start-up calls it with the
// window clock's own reset.
void resetFrameClock();

// Sets `deltaTime` to the time since the previous frame (or the reset), held to
// 0..longestFrameTime, and stores `now` (seconds on the reset clock) as `lastFrameTime`.
// A clock that went backwards counts 0: the world never runs backwards.
void advanceFrameClock(float now);
