// Start-up of the scene: fills the render resources and creates the three objects that exist
// from the first frame.
#pragma once

#include "RenderResources.h"

// Loads every program, texture and model, hands the rules the asteroid look, creates ship,
// Earth and star, resets the clock and prints "Initialization DONE.". Needs a current GL context.
void setupScene();
// The blur and composite programs with their samplers on their units; part of setupScene.
void buildPostProcessingPrograms();
// A new flight in the same window: world, rules, camera, particles, exposure and sound as at
// start-up, made from what start-up loaded; nothing is read or printed again, the switches
// (F2 to F8, M) stay as the player set them, and rand() simply goes on.
void startNewFlight();
// Points the rules' hooks at the particle system, the HUD and the console.
void connectGameHooks();
