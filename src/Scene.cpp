#include "Scene.h"

#include <cstdlib>
#include <iostream>

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include "Camera.h"
#include "FrameClock.h"
#include "GameRules.h"
#include "HudDrawing.h"
#include "Input.h"
#include "Object.h"
#include "PhysicsWorld.h"
#include "PostProcessing.h"
#include "Settings.h"
#include "World.h"
#include "Texture.h"
#include "audio/SoundPlayer.h"
#include "platform/Platform.h"

namespace {

void buildProgram(ShaderProgram& program, const char* vertexPath, const char* fragmentPath)
{
    program.addStage(GL_VERTEX_SHADER, platform::dataPath(vertexPath));
    program.addStage(GL_FRAGMENT_SHADER, platform::dataPath(fragmentPath));
    program.link();
}

void setSampler(const ShaderProgram& program, const char* name, int unit)
{
    glUniform1i(glGetUniformLocation(program.getId(), name), unit);
}

// Five maps in slot order: albedo, normal, metallic, roughness, ambient occlusion.
// The textures live until exit: every object and asteroid of the game shares them.
void loadMaterial(unsigned int (&set)[materialSlotCount], const char* const (&paths)[materialSlotCount])
{
    for (unsigned int slot = 0; slot < materialSlotCount; ++slot)
        set[slot] = loadTexture(platform::dataPath(paths[slot]), false);
}

// The loaded models and material maps as the world is built from them.
unsigned int earthAlbedo = 0;

WorldLooks loadedLooks()
{
    WorldLooks looks;
    looks.earthAlbedo = earthAlbedo;
    looks.ship = {shipMesh.shapes, shipMesh.radius};
    looks.sphere = {sphereMesh.shapes, sphereMesh.radius};
    looks.rock = {rockMesh.shapes, rockMesh.radius};
    looks.star = {starMesh.shapes, starMesh.radius};
    for (unsigned int slot = 0; slot < materialSlotCount; ++slot) {
        looks.shipTextures[slot] = shipTextures[slot];
        looks.rockTextures[slot] = rockTextures[slot];
        looks.goldTextures[slot] = goldTextures[slot];
    }
    return looks;
}

} // namespace

void buildPostProcessingPrograms()
{
    buildProgram(blurShader, "shaders/passthrough.vert", "shaders/blur.frag");
    buildProgram(bloomShader, "shaders/passthrough.vert", "shaders/bloom.frag");
    blurShader.use();
    setSampler(blurShader, "image", 0);
    bloomShader.use();
    setSampler(bloomShader, "scene", 0);
    setSampler(bloomShader, "bloomBlur", 1);
}

void setupScene()
{
    buildProgram(pbrShader, "shaders/pbr.vert", "shaders/pbr.frag");
    buildPostProcessingPrograms();

    // NOTE: must come before every other rand() call: it draws the first 150,000 values,
    // and the Earth's spin and the star's place follow from what is left.
    particleSystem.init(platform::dataPath("shaders/particles.vert"),
                        platform::dataPath("shaders/particles.frag"));
    particleSystem.emit(glm::vec3(0.0f));

    // Sets the byte unpack alignment that every texture upload below relies on.
    textRenderer.init(platform::dataPath("shaders/text.vert"), platform::dataPath("shaders/text.frag"));

    loadMaterial(shipTextures, {"assets/greasy-pan-2-albedo.png", "assets/greasy-pan-2-normal.png",
                                "assets/greasy-pan-2-metal.png", "assets/greasy-pan-2-roughness.png",
                                "assets/greasy-pan-2-metal.png"});
    loadMaterial(rockTextures, {"assets/cratered-rock-albedo.png", "assets/cratered-rock-normal.png",
                                "assets/cratered-rock-height.png", "assets/cratered-rock-height.png",
                                "assets/cratered-rock-ao.png"});
    loadMaterial(goldTextures, {"assets/gold-scuffed_basecolor.png", "assets/gold-scuffed_normal.png",
                                "assets/gold-scuffed_metallic.png", "assets/gold-scuffed_roughness.png",
                                "assets/gold-scuffed_roughness.png"});

    physicsWorld = new PhysicsWorld();

    shipMesh.load(platform::dataPath("assets/star-wars-arc-170-pbr.obj"));
    sphereMesh.load(platform::dataPath("assets/sphere.obj"));
    rockMesh.load(platform::dataPath("assets/Rock.obj"));
    starMesh.load(platform::dataPath("assets/star.obj"));

    earthAlbedo = loadTexture(platform::dataPath("assets/Earth.jpg"), false); // lives until exit
    buildWorld(loadedLooks(), physicsWorld->dynamicsWorld);

    glfwSetTime(0.0);
    resetFrameClock();
    std::cout << "Initialization DONE.\n" << std::flush;
}

void startNewFlight()
{
    deleteAllObjects();
    resetGameState();
    setCameraDefaults(settings.width, settings.height);
    buildWorld(loadedLooks(), physicsWorld->dynamicsWorld);
    particleSystem.emit(glm::vec3(0.0f));
    particleSystem.timeLeft = firstBurstSeconds;
    exposure = 1.0f;
    restartSound();
    glfwSetTime(0.0);
    resetFrameClock();
}

void connectGameHooks()
{
    gameHooks.emitBurst = [](const glm::vec3& position) { particleSystem.emit(position); };
    gameHooks.updateParticles = [](float dt) { particleSystem.update(dt); };
    gameHooks.showScoreTable = showEndScoreTable;
    gameHooks.showMessage = showEndMessage;
    gameHooks.readGamepad = readGamepad;
    connectSound(gameHooks);
}
