// Start-up resources and the three objects that exist from the first frame. The programs,
// textures, meshes, particles and text renderer made here live until exit.
#pragma once

#include "Mesh.h"
#include "Object.h"
#include "ParticleSystem.h"
#include "ShaderProgram.h"
#include "TextRenderer.h"

extern ShaderProgram pbrShader;
extern ShaderProgram blurShader;
extern ShaderProgram bloomShader;
extern ParticleSystem particleSystem;
extern TextRenderer textRenderer;
extern unsigned int shipTextures[materialSlotCount];
extern unsigned int rockTextures[materialSlotCount];
extern unsigned int goldTextures[materialSlotCount];
extern Mesh shipMesh;
extern Mesh sphereMesh;
extern Mesh rockMesh;
extern Mesh starMesh;

// Loads every program, texture and model, hands the rules the asteroid look, creates ship,
// Earth and star, resets the clock and prints "Initialization DONE.". Needs a current GL context.
void setupScene();
// Points the rules' hooks at the particle system, the HUD and the console.
void connectGameHooks();
