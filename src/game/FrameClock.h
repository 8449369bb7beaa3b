// The game's clock: how much time one pass of the frame loop counts.
#pragma once

// The most one frame counts, in seconds: well above the slowest real frames measured here
// (software rendering on two swamped cores: 0.7 s at 1280x720, 1.2 s at 1920x1080), so a
// slow machine plays at wall speed, while a stall (a suspended laptop, a debugger, a stopped
// process, a hidden browser tab) counts as one frame this long instead of throwing the world
// forward by all of it. NOTE: a cap near the real frame times would slow the whole game.
constexpr float longestFrameTime = 2.0f;

// Starts the clock over at 0 s: the next frame counts from here. Start-up calls it with the
// window clock's own reset.
void resetFrameClock();

// Sets `deltaTime` to the time since the previous frame (or the reset), held to
// 0..longestFrameTime, and stores `now` (seconds on the reset clock) as `lastFrameTime`.
// A clock that went backwards counts 0: the world never runs backwards.
void advanceFrameClock(float now);

// A hidden browser page gets no frames: the time from holding the clock at `now` to resuming
// it counts for no frame, as a paused flight's passes count none. A second hold keeps the
// first; a resume without a hold changes nothing.
void holdFrameClock(float now);
void resumeFrameClock(float now);
