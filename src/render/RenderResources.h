// What the passes draw with: the programs, particles, text, material maps and models that
// start-up loads once. The scene setup fills them; they live until exit.
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
