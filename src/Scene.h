// Start-up resources and the three objects that exist from the first frame.
#pragma once

#include "Mesh.h"
#include "ParticleSystem.h"
#include "ShaderProgram.h"
#include "TextRenderer.h"

extern ShaderProgram pbrShader;
extern ShaderProgram blurShader;
extern ShaderProgram bloomShader;
extern ParticleSystem particleSystem;
extern TextRenderer textRenderer;
extern unsigned int shipTextures[5]; // albedo, normal, metallic, roughness, ambient occlusion
extern unsigned int rockTextures[5];
extern unsigned int goldTextures[5];
extern Mesh shipMesh;
extern Mesh sphereMesh;
extern Mesh rockMesh;
extern Mesh starMesh;

// Loads every program, texture and model, creates ship, Earth and star, resets the clock
// and prints "Initialization DONE.". Needs a current GL context.
void setupScene();
// Points the rules' hooks at the particle system, the HUD and the console.
void connectGameHooks();
