#include "World.h"

#include <glm/gtc/quaternion.hpp>

#include "Camera.h"
#include "GameRandom.h"

namespace {

void setMaterial(Object& object, const unsigned int (&set)[materialSlotCount])
{
    for (unsigned int slot = 0; slot < materialSlotCount; ++slot)
        object.setTexture(slot, set[slot]);
}

Object* createShip(const WorldLooks& looks, btDiscreteDynamicsWorld* world)
{
    Object* ship = new Object();
    ship->setShapes(looks.ship.shapes, looks.ship.radius, true);
    ship->setScale(1.0f);
    ship->createRigidBody(world, true);
    setMaterial(*ship, looks.shipTextures);
    return ship;
}

Object* createEarth(const WorldLooks& looks)
{
    Object* earth = new Object();
    earth->setShapes(looks.sphere.shapes, looks.sphere.radius, false);
    earth->setScale(100.0f);
    earth->setPosition(camera.getFront() * 200.0f + camera.getPosition());
    earth->setRotation(glm::quat(glm::vec3(0.0f, 0.0f, 0.0f)));
    earth->setAngularVelocity(glm::vec3(0.0f, 0.0f, gameRandomFraction()));
    earth->setTexture(0, looks.earthAlbedo);
    for (unsigned int slot = 1; slot < materialSlotCount; ++slot)
        earth->setTexture(slot, looks.goldTextures[slot]);
    return earth;
}

Object* createStar(const WorldLooks& looks)
{
    Object* star = new Object();
    star->setShapes(looks.star.shapes, looks.star.radius, false);
    star->setScale(0.33f);
    // Three draws in this order: the star's place is part of the fixed rand() sequence.
    const float r1 = gameRandomFraction();
    const float r2 = gameRandomFraction();
    const float r3 = gameRandomFraction();
    star->setPosition(camera.getFront() * 25.0f + camera.getPosition() + glm::vec3(r1, r2, r3));
    star->setRotation(glm::quat(glm::vec3(0.1f, 0.1f, 0.1f)));
    const float r4 = gameRandomFraction();
    star->setAngularVelocity(glm::vec3(r4, 0.0f, 0.0f));
    setMaterial(*star, looks.goldTextures);
    return star;
}

} // namespace

void buildWorld(const WorldLooks& looks, btDiscreteDynamicsWorld* world)
{
    asteroidLook.sphere = looks.sphere;
    asteroidLook.rock = looks.rock;
    for (unsigned int slot = 0; slot < materialSlotCount; ++slot)
        asteroidLook.textures[slot] = looks.rockTextures[slot];
    sceneObjects.push_back(createShip(looks, world));
    sceneObjects.push_back(createEarth(looks));
    sceneObjects.push_back(createStar(looks));
}
