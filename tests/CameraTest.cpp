#include <cmath>

#include <glm/gtc/quaternion.hpp>
#include <gtest/gtest.h>

#include "Camera.h"
#include "Object.h"

namespace {

void expectNear(glm::vec3 actual, glm::vec3 expected)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-5f);
    EXPECT_NEAR(actual.y, expected.y, 1e-5f);
    EXPECT_NEAR(actual.z, expected.z, 1e-5f);
}

// The camera as the game's start-up leaves it for the default window.
Camera startupCamera()
{
    setCameraDefaults(1280, 720);
    return camera;
}

} // namespace

TEST(Camera, ProjectionReadsFovAsRadians)
{
    const glm::mat4 projection = startupCamera().getProjectionMatrix();
    EXPECT_NEAR(projection[0][0], 1.0083f, 1e-4f);
    EXPECT_NEAR(projection[1][1], 1.7926f, 1e-4f);
    EXPECT_NEAR(projection[2][2], -(1000.0f + 0.1f) / (1000.0f - 0.1f), 1e-6f);
    EXPECT_FLOAT_EQ(projection[2][3], -1.0f);
    EXPECT_NEAR(projection[3][2], -200.0f / 999.9f, 1e-5f);
    EXPECT_FLOAT_EQ(projection[3][3], 0.0f);
}

TEST(Camera, ZeroSizeKeepsTheLastValidProjection)
{
    Camera minimised = startupCamera();
    minimised.setProjection(0, 0, 45.0f);
    minimised.setProjection(800, 0, 45.0f);
    const glm::mat4 projection = minimised.getProjectionMatrix();
    EXPECT_EQ(minimised.width, 1280);
    EXPECT_EQ(minimised.height, 720);
    EXPECT_FALSE(std::isnan(projection[0][0]) || std::isinf(projection[0][0]));
    minimised.setProjection(640, 480, 45.0f);
    EXPECT_NEAR(minimised.getProjectionMatrix()[0][0], 1.7926f * 480.0f / 640.0f, 1e-4f);
}

TEST(Camera, ViewBeforeTheFirstFrameLooksAlongZFromStartPosition)
{
    const glm::mat4 view = startupCamera().getViewMatrix();
    // Looking along +Z, so eye-space x is world -x; the start position maps to the eye origin; a point ahead lands on -Z in eye space.
    expectNear(glm::vec3(view * glm::vec4(0, 1, -3, 1)), glm::vec3(0.0f));
    expectNear(glm::vec3(view * glm::vec4(0, 1, 7, 1)), glm::vec3(0, 0, -10));
    expectNear(glm::vec3(view * glm::vec4(2, 4, -3, 1)), glm::vec3(-2, 3, 0));
}

TEST(Camera, FollowShipWithIdentityOrientation)
{
    Object ship;
    ship.setRotation(glm::quat(1.0f, 0.0f, 0.0f, 0.0f));
    Camera chase = startupCamera();
    chase.followShip(ship);
    expectNear(chase.getPosition(), glm::vec3(0, 5, -20));
    expectNear(chase.getFront(), glm::vec3(0, 0, 1));
    expectNear(chase.getUp(), glm::vec3(0, 1, 0));
    expectNear(chase.getRight(), glm::vec3(-1, 0, 0));
}

TEST(Camera, FollowShipRolledHalfATurnAboutItsForwardAxis)
{
    Object ship; // the default rotation is the half turn about Z
    ship.setPosition(glm::vec3(3, 4, 5));
    Camera chase = startupCamera();
    chase.followShip(ship);
    expectNear(chase.getPosition(), glm::vec3(3, 4 - 5, 5 - 20));
    expectNear(chase.getUp(), glm::vec3(0, -1, 0));
    expectNear(chase.getFront(), glm::vec3(0, 0, 1));
    expectNear(chase.getRight(), glm::vec3(1, 0, 0));
    EXPECT_EQ(chase.width, 1280) << "following never touches the projection";
}
