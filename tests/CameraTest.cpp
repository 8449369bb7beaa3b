#include <cmath>
#include <string>
#include <utility>

#include <glm/geometric.hpp>
#include <glm/gtc/quaternion.hpp>
#include <gtest/gtest.h>

#include "Camera.h"
#include "Object.h"
#include "ScreenPoint.h"

namespace {

// The camera as the game's start-up leaves it for the default window.
Camera startupCamera()
{
    setCameraDefaults(1280, 720);
    return camera;
}

} // namespace

// 45 read as radians makes the wide look: a point 29 degrees above the line of sight sits on
// the top edge, and the window's width spreads the view sideways, not squeezes it.
TEST(Camera, TheViewIsFiftyEightDegreesTallAndAsWideAsTheWindow)
{
    for (const auto& [width, height] : {std::pair{1280, 720}, {640, 480}, {0, 0}, {800, 0}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        Camera viewer = startupCamera();
        viewer.setProjection(640, 480, defaultFieldOfView);
        viewer.setProjection(width, height, defaultFieldOfView); // a zero size keeps 640 x 480
        const float aspect = width > 0 && height > 0 ? static_cast<float>(width) / static_cast<float>(height)
                                                     : 640.0f / 480.0f;
        const float edge = std::tan(29.12f * 3.14159265f / 180.0f) * 10.0f;
        const glm::vec3 ahead(0, 1, 7); // ten units along the line of sight
        EXPECT_NEAR(glm::length(glm::vec2(onScreen(viewer, ahead))), 0.0f, 1e-5f);
        EXPECT_NEAR(onScreen(viewer, ahead + glm::vec3(0, edge, 0)).y, 1.0f, 0.01f);
        EXPECT_NEAR(onScreen(viewer, ahead - glm::vec3(edge * aspect, 0, 0)).x, 1.0f, 0.01f);
        EXPECT_NEAR(onScreen(viewer, {0, 1, -3 + 0.1f}).z, -1.0f, 1e-3f);
        EXPECT_NEAR(onScreen(viewer, {0, 1, -3 + 1000.0f}).z, 1.0f, 1e-3f);
    }
}

// Behind and above the ship, rolled with it: the ship sits below the centre, what lies ahead
// of it further up the screen, and the camera's up and right are the screen's.
TEST(Camera, TheChasedShipSitsBelowTheCentreLookingAhead)
{
    for (const bool rolled : {false, true}) {
        SCOPED_TRACE(rolled ? "rolled half a turn, the default" : "upright");
        Object ship;
        ship.setPosition(glm::vec3(3, 4, 5));
        if (!rolled)
            ship.setRotation(glm::quat(1.0f, 0.0f, 0.0f, 0.0f));
        Camera chase = startupCamera();
        chase.followShip(ship);
        const glm::vec3 shipFront = ship.rotation * glm::vec3(0, 0, 1);
        const glm::vec3 seen = onScreen(chase, ship.position);
        const glm::vec3 ahead = onScreen(chase, ship.position + shipFront * 50.0f);
        EXPECT_NEAR(seen.x, 0.0f, 1e-5f);
        EXPECT_TRUE(seen.y < -0.2f && seen.y > -1.0f && seen.z > -1.0f && seen.z < 1.0f) << seen.y;
        EXPECT_TRUE(ahead.y > seen.y && ahead.y < 0.0f && ahead.z > seen.z && ahead.z < 1.0f) << ahead.y;
        EXPECT_NEAR(glm::distance(chase.getPosition(), ship.position), std::hypot(5.0f, 20.0f), 1e-4f);
        EXPECT_GT(onScreen(chase, ship.position + chase.getUp()).y, seen.y);
        EXPECT_GT(onScreen(chase, ship.position + chase.getRight()).x, seen.x);
        EXPECT_NEAR(glm::dot(chase.getUp(), ship.rotation * glm::vec3(0, 1, 0)), 1.0f, 1e-5f) << "rolls with it";
        EXPECT_EQ(chase.width, 1280) << "following never touches the projection";
    }
}
