// The world the game opens on, built without GL from stand-in looks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include <glm/geometric.hpp>

#include "Camera.h"
#include "GameRandom.h"
#include "GameRules.h"
#include "Object.h"
#include "ScreenPoint.h"
#include "PhysicsWorld.h"
#include "TestSupport.h"
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

// The player opens on the Earth straight ahead, filling part of the view but not all of it,
// and the first star on screen much nearer.
TEST(World, ShipEarthAndStarInOrderTheEarthAheadAndTheStarNearerInView)
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
    const glm::vec3 earthSeen = onScreen(camera, earth.position);
    const glm::vec3 earthTop = onScreen(camera, earth.position + glm::vec3(0.0f, earth.scale, 0.0f));
    const glm::vec3 starSeen = onScreen(camera, star.position);
    EXPECT_NEAR(glm::length(glm::vec2(earthSeen)), 0.0f, 1e-4f);
    EXPECT_TRUE(earthTop.y > 0.5f && earthTop.y < 1.0f) << earthTop.y;
    EXPECT_TRUE(std::fabs(starSeen.x) < 0.5f && std::fabs(starSeen.y) < 0.5f && starSeen.z > -1.0f &&
                starSeen.z < earthSeen.z)
        << starSeen.x << ", " << starSeen.y;
    // The rocks the rules spawn look like the loaded rock and sphere.
    EXPECT_EQ(asteroidLook.rock.shapes.size(), 2u);
    EXPECT_FLOAT_EQ(asteroidLook.rock.radius, 3.0f);
    EXPECT_FLOAT_EQ(asteroidLook.sphere.radius, 1.0f);
    EXPECT_EQ(asteroidLook.textures[4], 24u);
    deleteAllObjects();
}

// The seed alone decides the star's place and the spins, and the rules' draws that follow
// start where they would have: the world takes exactly five.
TEST(World, TheSeedDecidesTheStarAndTheSpinsInFiveDraws)
{
    static PhysicsWorld physics;
    setCameraDefaults(1280, 720);
    std::srand(77);
    for (int draw = 0; draw < 5; ++draw)
        gameRandomFraction();
    const float next = gameRandomFraction();
    const auto build = [](unsigned int seed) {
        deleteAllObjects();
        std::srand(seed);
        buildWorld(standInLooks(), physics.dynamicsWorld);
        return std::vector<glm::vec3>{sceneObjects[2]->position, sceneObjects[1]->angularVelocity,
                                      sceneObjects[2]->angularVelocity};
    };
    const std::vector<glm::vec3> first = build(77);
    EXPECT_EQ(gameRandomFraction(), next) << "exactly five draws";
    EXPECT_EQ(build(77), first);
    const std::vector<glm::vec3> other = build(78);
    EXPECT_TRUE(other[0] != first[0] && other[1] != first[1] && other[2] != first[2]);
    deleteAllObjects();
}
