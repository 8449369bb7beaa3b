// One complete frame, pass by pass.
#pragma once

// Objects, particles, post-processing, HUD, then the outcome step of the rules.
void renderFrame();
// Asteroids drawn by the last frame (the HUD's count).
int lastDrawnAsteroidCount();
