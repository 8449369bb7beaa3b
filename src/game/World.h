// The world the game opens on: ship, Earth and star, placed in front of the camera, and the
// look the rules give each asteroid. No GL: the models and textures come in as data.
#pragma once

#include "GameRules.h"
#include "Object.h"

class btDiscreteDynamicsWorld;

// What start-up loaded for the world: model shapes with their radii, and texture names in
// material-slot order.
struct WorldLooks {
    AsteroidLook::Shape ship;
    AsteroidLook::Shape sphere;
    AsteroidLook::Shape rock;
    AsteroidLook::Shape star;
    unsigned int shipTextures[materialSlotCount] = {};
    unsigned int rockTextures[materialSlotCount] = {};
    unsigned int goldTextures[materialSlotCount] = {};
    unsigned int earthAlbedo = 0;
};

// Fills asteroidLook and appends ship, Earth and star to sceneObjects, in that order, placed
// from the camera; the ship gets its rigid body in `world`. Draws five rand() values: the
// Earth's spin, then the star's place and spin.
void buildWorld(const WorldLooks& looks, btDiscreteDynamicsWorld* world);
