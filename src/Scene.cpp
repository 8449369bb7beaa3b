#include "Scene.h"

#include <cstdlib>
#include <iostream>

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <glm/gtc/quaternion.hpp>

#include "Camera.h"
#include "GameRandom.h"
#include "GameRules.h"
#include "HighScoreTable.h"
#include "HudDrawing.h"
#include "Input.h"
#include "Object.h"
#include "PhysicsWorld.h"
#include "Settings.h"
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

void setMaterial(Object& object, const unsigned int (&set)[materialSlotCount])
{
    for (unsigned int slot = 0; slot < materialSlotCount; ++slot)
        object.setTexture(slot, set[slot]);
}

Object* createShip(btDiscreteDynamicsWorld* world)
{
    Object* ship = new Object();
    ship->setShapes(shipMesh.shapes, shipMesh.radius, true);
    ship->setScale(1.0f);
    ship->createRigidBody(world, true);
    setMaterial(*ship, shipTextures);
    return ship;
}

Object* createEarth()
{
    Object* earth = new Object();
    earth->setShapes(sphereMesh.shapes, sphereMesh.radius, false);
    earth->setScale(100.0f);
    earth->setPosition(camera.getFront() * 200.0f + camera.getPosition());
    earth->setRotation(glm::quat(glm::vec3(0.0f, 0.0f, 0.0f)));
    earth->setAngularVelocity(glm::vec3(0.0f, 0.0f, gameRandomFraction()));
    earth->setTexture(0, loadTexture(platform::dataPath("assets/Earth.jpg"), false)); // lives until exit
    for (unsigned int slot = 1; slot < materialSlotCount; ++slot)
        earth->setTexture(slot, goldTextures[slot]);
    return earth;
}

Object* createStar()
{
    Object* star = new Object();
    star->setShapes(starMesh.shapes, starMesh.radius, false);
    star->setScale(0.33f);
    // Three draws in this order: the star's place is part of the fixed rand() sequence.
    const float r1 = gameRandomFraction();
    const float r2 = gameRandomFraction();
    const float r3 = gameRandomFraction();
    star->setPosition(camera.getFront() * 25.0f + camera.getPosition() + glm::vec3(r1, r2, r3));
    star->setRotation(glm::quat(glm::vec3(0.1f, 0.1f, 0.1f)));
    const float r4 = gameRandomFraction();
    star->setAngularVelocity(glm::vec3(r4, 0.0f, 0.0f));
    setMaterial(*star, goldTextures);
    return star;
}

void fillAsteroidLook()
{
    asteroidLook.sphere = {sphereMesh.shapes, sphereMesh.radius};
    asteroidLook.rock = {rockMesh.shapes, rockMesh.radius};
    for (unsigned int slot = 0; slot < materialSlotCount; ++slot)
        asteroidLook.textures[slot] = rockTextures[slot];
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

    fillAsteroidLook();

    sceneObjects.push_back(createShip(physicsWorld->dynamicsWorld));
    sceneObjects.push_back(createEarth());
    sceneObjects.push_back(createStar());

    glfwSetTime(0.0);
    std::cout << "Initialization DONE.\n" << std::flush;
}

void connectGameHooks()
{
    gameHooks.emitBurst = [](const glm::vec3& position) { particleSystem.emit(position); };
    gameHooks.updateParticles = [](float dt) { particleSystem.update(dt); };
    gameHooks.showScoreTable = [](HighScoreTable& table) {
        drawScoreTable(table, textRenderer, settings.width, settings.height);
    };
    gameHooks.showMessage = [](EndMessage message) { drawMessage(message); };
    gameHooks.readGamepad = readGamepad;
    connectSound(gameHooks);
}
