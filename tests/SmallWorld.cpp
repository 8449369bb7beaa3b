#include "SmallWorld.h"

#include "AppState.h"
#include "Camera.h"
#include "Controls.h"
#include "GameRules.h"
#include "Object.h"
#include "PhysicsWorld.h"

void buildSmallWorld(const glm::vec3& planetAt, float planetScale)
{
    static PhysicsWorld world; // like the game's: never torn down
    physicsWorld = &world;
    resetGameState();
    for (bool& key : keys)
        key = false;
    collisionsEnabled = true;
    deltaTime = 1.0f / 60.0f;
    setCameraDefaults(1280, 720);
    auto* ship = new Object();
    MeshShape hull;
    hull.positions = {-1, -1, -1, 1, 1, 1};
    ship->setShapes({hull}, 2.0f, true);
    ship->createRigidBody(physicsWorld->dynamicsWorld, true);
    auto* planet = new Object();
    planet->setShapes({}, 1.0f, false);
    planet->setScale(planetScale);
    planet->setPosition(planetAt);
    auto* star = new Object();
    star->setShapes({}, 1.0f, false);
    star->setPosition({0.0f, 50.0f, 25.0f});
    sceneObjects = {ship, planet, star};
}
