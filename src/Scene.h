// Start-up of the scene: fills the render resources and creates the three objects that exist
// from the first frame.
#pragma once

#include "RenderResources.h"

// Loads every program, texture and model, hands the rules the asteroid look, creates ship,
// Earth and star, resets the clock and prints "Initialization DONE.". Needs a current GL context.
void setupScene();
// The blur and composite programs with their samplers on their units; part of setupScene.
void buildPostProcessingPrograms();
// Points the rules' hooks at the particle system, the HUD and the console.
void connectGameHooks();
