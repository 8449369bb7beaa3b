// The world the game opens on, built without GL from stand-in looks.
#include <gtest/gtest.h>

#include <cstdlib>

#include <glm/geometric.hpp>

#include "Camera.h"
#include "GameRandom.h"
#include "GameRules.h"
#include "Object.h"
#include "PhysicsWorld.h"
#include "World.h"

namespace {

WorldLooks standInLooks()
{
    WorldLooks looks;
    MeshShape hull;
    hull.positions = {-1, -1, -1, 1, 1, 1};
    looks.ship = {{hull}, 2.0f};
    looks.sphere = {{}, 1.0f};
    looks.rock = {{MeshShape{}, MeshShape{}}, 3.0f};
    looks.star = {{}, 0.5f};
    for (unsigned int slot = 0; slot < materialSlotCount; ++slot) {
        looks.shipTextures[slot] = 10 + slot;
        looks.rockTextures[slot] = 20 + slot;
        looks.goldTextures[slot] = 30 + slot;
    }
    looks.earthAlbedo = 40;
    return looks;
}

} // namespace

TEST(World, ShipEarthAndStarInOrderPlacedFromTheCameraWithTheirLooks)
{
    static PhysicsWorld physics; // like the game's: never torn down
    setCameraDefaults(1280, 720);
    deleteAllObjects();
    buildWorld(standInLooks(), physics.dynamicsWorld);

    ASSERT_EQ(sceneObjects.size(), 3u);
    const Object& ship = *sceneObjects[0];
    const Object& earth = *sceneObjects[1];
    const Object& star = *sceneObjects[2];
    EXPECT_TRUE(ship.isPlayer);
    EXPECT_NE(ship.body, nullptr);
    EXPECT_EQ(earth.body, nullptr);
    EXPECT_EQ(star.body, nullptr);
    EXPECT_EQ(ship.textures[2], 12u);
    EXPECT_EQ(earth.textures[0], 40u);
    EXPECT_EQ(earth.textures[1], 31u);
    EXPECT_EQ(star.textures[0], 30u);
    EXPECT_FLOAT_EQ(earth.scale, 100.0f);
    EXPECT_NEAR(glm::distance(earth.position, glm::vec3(0.0f, 1.0f, 197.0f)), 0.0f, 1e-4f);
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_GE(star.position[axis], glm::vec3(0.0f, 1.0f, 22.0f)[axis]);
        EXPECT_LE(star.position[axis], glm::vec3(1.0f, 2.0f, 23.0f)[axis]);
    }
    // The rocks the rules spawn look like the loaded rock and sphere.
    EXPECT_EQ(asteroidLook.rock.shapes.size(), 2u);
    EXPECT_FLOAT_EQ(asteroidLook.rock.radius, 3.0f);
    EXPECT_FLOAT_EQ(asteroidLook.sphere.radius, 1.0f);
    EXPECT_EQ(asteroidLook.textures[4], 24u);
    deleteAllObjects();
}

TEST(World, FiveDrawsInTheirOrderEarthSpinThenStarPlaceThenStarSpin)
{
    static PhysicsWorld physics;
    setCameraDefaults(1280, 720);
    deleteAllObjects();
    std::srand(77);
    float draws[5];
    for (float& draw : draws)
        draw = gameRandomFraction();
    const float next = gameRandomFraction();

    std::srand(77);
    buildWorld(standInLooks(), physics.dynamicsWorld);
    EXPECT_FLOAT_EQ(sceneObjects[1]->angularVelocity.z, draws[0]);
    const glm::vec3 starOffset = sceneObjects[2]->position - (camera.getFront() * 25.0f + camera.getPosition());
    EXPECT_NEAR(starOffset.x, draws[1], 1e-5f);
    EXPECT_NEAR(starOffset.y, draws[2], 1e-5f);
    EXPECT_NEAR(starOffset.z, draws[3], 1e-5f);
    EXPECT_FLOAT_EQ(sceneObjects[2]->angularVelocity.x, draws[4]);
    EXPECT_EQ(gameRandomFraction(), next) << "exactly five draws";
    deleteAllObjects();
}
