#include "Frustum.h"
#include "Camera.h"
#include "Object.h"

#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

namespace {

constexpr float width = 1280.0f;
constexpr float height = 720.0f;

// The projection the game's camera gives the default window.
glm::mat4 gameProjection()
{
    Camera camera;
    camera.setProjection(static_cast<int>(width), static_cast<int>(height), defaultFieldOfView);
    return camera.getProjectionMatrix();
}

struct View {
    glm::vec3 eye;
    glm::vec3 front;
    FrustumPlanes planes;
    CornerRays rays;
};

View viewFrom(glm::vec3 eye, glm::vec3 front, glm::vec3 up = glm::vec3(0.0f, 1.0f, 0.0f))
{
    const glm::mat4 view = glm::lookAt(eye, eye + front, up);
    View result{eye, front, {}, computeCornerRays(width, height, view, gameProjection())};
    result.planes = computeFrustumPlanes(eye, result.rays);
    return result;
}

// What the frame renderer decides, culling on, for an object of mesh radius `radius`
// drawn at `scale`.
bool drawn(const View& v, glm::vec3 centre, float radius, float scale = 1.0f, bool culling = true)
{
    Object object;
    object.setShapes({}, radius, false);
    object.setPosition(centre);
    object.setScale(scale);
    return shouldDraw(object, v.eye, v.front, v.planes, culling);
}

} // namespace

TEST(FrustumRays, CornersComeInScreenOrderAndCentreRayIsTheViewDirection)
{
    const View v = viewFrom(glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, -1.0f));
    // top-left, bottom-left, bottom-right, top-right
    const float xSign[4] = {-1, -1, 1, 1}, ySign[4] = {1, -1, -1, 1};
    for (int corner = 0; corner < 4; ++corner) {
        const glm::vec3& ray = v.rays[corner];
        EXPECT_GT(ray.x * xSign[corner], 0.0f) << corner;
        EXPECT_GT(ray.y * ySign[corner], 0.0f) << corner;
        EXPECT_NEAR(glm::length(ray), 1.0f, 1e-5f);
        EXPECT_LT(ray.z, 0.0f);
    }
    // The pyramid is wider than tall by the aspect ratio, and its edges go through the
    // window's very corners: each ray mirrors the top-right one, to a fraction of a pixel.
    EXPECT_NEAR(v.rays[3].x / v.rays[3].y, width / height, 1e-3f);
    for (int corner = 0; corner < 3; ++corner) {
        const glm::vec3 mirrored(v.rays[3].x * xSign[corner], v.rays[3].y * ySign[corner], v.rays[3].z);
        EXPECT_NEAR(glm::distance(v.rays[corner], mirrored), 0.0f, 1e-5f) << corner;
    }

    const glm::mat4 view = glm::lookAt(glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, -1.0f),
                                       glm::vec3(0.0f, 1.0f, 0.0f));
    const glm::vec3 centre =
        screenRay(width / 2.0f, height / 2.0f, width, height, view, gameProjection());
    EXPECT_NEAR(centre.x, 0.0f, 1e-6f);
    EXPECT_NEAR(centre.y, 0.0f, 1e-6f);
    EXPECT_NEAR(centre.z, -1.0f, 1e-6f);
}

TEST(FrustumPlanes, NormalsPointInwardsAndPassThroughTheCamera)
{
    const glm::vec3 eye(5.0f, -3.0f, 12.0f);
    const View v = viewFrom(eye, glm::vec3(1.0f, 0.0f, 0.0f));
    const glm::vec3 ahead = eye + glm::vec3(50.0f, 0.0f, 0.0f);
    for (const glm::vec4& plane : v.planes) {
        EXPECT_GT(glm::dot(glm::vec3(plane), ahead) + plane.w, 0.0f);
        EXPECT_NEAR(glm::dot(glm::vec3(plane), eye) + plane.w, 0.0f, 1e-4f);
    }
}

TEST(FrustumCulling, AheadDrawnBehindCulledForAMovedAndTurnedCamera)
{
    for (const View& v : {viewFrom(glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, -1.0f)),
                          viewFrom(glm::vec3(20.0f, 4.0f, -7.0f), glm::vec3(1.0f, 0.0f, 0.0f)),
                          // Rolled half a turn, as the chase camera flies.
                          viewFrom(glm::vec3(0.0f, 0.0f, 30.0f), glm::vec3(0.0f, 0.0f, -1.0f),
                                   glm::vec3(0.0f, -1.0f, 0.0f))}) {
        EXPECT_TRUE(drawn(v, v.eye + 10.0f * v.front, 1.0f));
        EXPECT_TRUE(isBehindCamera(v.eye, v.front, v.eye - 10.0f * v.front));
        EXPECT_FALSE(drawn(v, v.eye - 10.0f * v.front, 1.0f));
        EXPECT_TRUE(drawn(v, v.eye - 10.0f * v.front, 1.0f, 1.0f, false)) << "F8 off draws everything";
        // No far plane: 10,000 units ahead is still drawn.
        EXPECT_TRUE(drawn(v, v.eye + 10000.0f * v.front, 1.0f));
    }
}

TEST(FrustumCulling, BehindMeansNinetyDegreesOrMoreWhateverTheLengthOfTheViewDirection)
{
    const glm::vec3 eye(1.0f, 2.0f, 3.0f);
    const glm::vec3 front(0.0f, 0.0f, -5.0f); // deliberately not unit length
    EXPECT_TRUE(isBehindCamera(eye, front, eye + glm::vec3(10.0f, 0.0f, 0.0f)));
    EXPECT_FALSE(isBehindCamera(eye, front, eye + glm::vec3(10.0f, 0.0f, -0.1f)));
    EXPECT_TRUE(isBehindCamera(eye, front, eye + glm::vec3(0.0f, 3.0f, 1.0f)));
}

TEST(FrustumCulling, ObjectAtTheCameraIsJudgedByThePlanesAlone)
{
    // At the origin every plane value of the camera position is exactly 0.
    const View v = viewFrom(glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, -1.0f));
    EXPECT_FALSE(isBehindCamera(v.eye, v.front, v.eye));
    EXPECT_TRUE(sphereInFrustum(v.eye, 1.0f, v.planes));
    EXPECT_FALSE(sphereInFrustum(v.eye, 0.0f, v.planes));
    EXPECT_TRUE(drawn(v, v.eye, 1.0f));
    // The sphere is scale x radius: either one at 0 leaves nothing to reach into the view.
    EXPECT_FALSE(drawn(v, v.eye, 1.0f, 0.0f));
    EXPECT_FALSE(drawn(v, v.eye, 0.0f, 5.0f));
    EXPECT_TRUE(drawn(v, v.eye, 0.5f, 2.0f));

    const View moved = viewFrom(glm::vec3(3.0f, 1.0f, 2.0f), glm::vec3(0.0f, 0.0f, -1.0f));
    EXPECT_TRUE(drawn(moved, moved.eye, 1.0f));
}

TEST(FrustumCulling, OutsideTheSidesIsCulledEvenWhenTheBodyReachesIn)
{
    const View v = viewFrom(glm::vec3(0.0f), glm::vec3(0.0f, 0.0f, -1.0f));
    EXPECT_FALSE(drawn(v, glm::vec3(1000.0f, 0.0f, -10.0f), 1.0f));
    EXPECT_FALSE(drawn(v, glm::vec3(0.0f, -1000.0f, -10.0f), 1.0f));

    // The middle of the left edge, ten units along the view direction.
    const glm::vec3 leftEdge = 0.5f * (v.rays[0] + v.rays[1]) * (10.0f / -v.rays[0].z);
    const glm::vec3 justOutside = leftEdge - glm::vec3(0.1f, 0.0f, 0.0f);
    const glm::vec3 justInside = leftEdge + glm::vec3(0.1f, 0.0f, 0.0f);
    EXPECT_TRUE(drawn(v, justInside, 0.01f));
    EXPECT_FALSE(drawn(v, justOutside, 50.0f));
}

TEST(FrustumCulling, RadiusDecidesOnlyWithinTheThinBandOnAPlane)
{
    // Plane 0 is x = 0 (inside towards +x); the others never cull.
    const FrustumPlanes planes = {glm::vec4(1.0f, 0.0f, 0.0f, 0.0f),
                                  glm::vec4(0.0f, 0.0f, 0.0f, 1.0f),
                                  glm::vec4(0.0f, 0.0f, 0.0f, 1.0f),
                                  glm::vec4(0.0f, 0.0f, 0.0f, 1.0f)};
    const glm::vec3 onPlane(0.0f, 5.0f, -5.0f);
    EXPECT_TRUE(sphereInFrustum(onPlane, 0.5f, planes));
    EXPECT_FALSE(sphereInFrustum(onPlane, 0.0f, planes));

    const glm::vec3 inBand(-0.00005f, 5.0f, -5.0f);
    EXPECT_TRUE(sphereInFrustum(inBand, 0.001f, planes));
    EXPECT_FALSE(sphereInFrustum(inBand, 0.00001f, planes));

    EXPECT_FALSE(sphereInFrustum(glm::vec3(-0.0002f, 5.0f, -5.0f), 100.0f, planes));
    EXPECT_TRUE(sphereInFrustum(glm::vec3(0.0002f, 5.0f, -5.0f), 0.0f, planes));
}
