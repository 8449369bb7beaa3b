// One pass of the frame loop, the same for the game, its golden frames and its frame-time
// harness; only where `now` comes from differs.
#pragma once

// The game clock's reading: seconds since start-up reset it.
float gameClockNow();

// One pass at clock reading `now`: the frame clock, events, the rules and, unless the picture
// is frozen, the frame and its presentation. False once the window has been asked to close.
bool runFramePass(float now);
