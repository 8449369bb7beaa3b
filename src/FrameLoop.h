// One pass of the frame loop, the same for the game, its golden frames and its frame-time
// harness; only where `now` comes from differs.
#pragma once

// The game clock's reading: seconds since start-up reset it.
float gameClockNow();

// The window system threw the picture away (the window was shown again): a paused flight
// draws its picture anew. The end screen's picture is not drawn again: its frame is gone.
void pausedPictureLost();

// One pass at clock reading `now`: the frame clock, events, the rules and, unless the picture
// is frozen, the frame and its presentation. False once the window has been asked to close.
bool runFramePass(float now);
