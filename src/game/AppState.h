// Run-wide state of the frame loop.
#pragma once

extern float deltaTime;      // seconds between the starts of the last two frames
extern float lastFrameTime;  // clock value (seconds) read at the start of the previous frame
extern bool renderFrozen;    // once set the loop stops drawing and presenting, until R flies again
