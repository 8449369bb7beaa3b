#include "RenderResources.h"

ShaderProgram pbrShader;
ShaderProgram blurShader;
ShaderProgram bloomShader;
ParticleSystem particleSystem;
TextRenderer textRenderer;
unsigned int shipTextures[materialSlotCount] = {};
unsigned int rockTextures[materialSlotCount] = {};
unsigned int goldTextures[materialSlotCount] = {};
Mesh shipMesh;
Mesh sphereMesh;
Mesh rockMesh;
Mesh starMesh;
