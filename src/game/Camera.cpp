#include "Camera.h"

#include <cmath>

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>

#include "Object.h"

namespace {
constexpr float nearPlane = 0.1f;
constexpr float farPlane = 1000.0f;
}

Camera camera;

void Camera::setProjection(int newWidth, int newHeight, float newFov)
{
    // A minimised window reports 0 x 0; building the aspect from it would poison every
    // later frame with NaN, so the last valid size stays until a real one arrives.
    if (newWidth <= 0 || newHeight <= 0)
        return;
    width = newWidth;
    height = newHeight;
    fov = newFov;
}

glm::mat4 Camera::getProjectionMatrix() const
{
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    const float t = std::tan(fov / 2.0f);
    glm::mat4 projection(0.0f);
    projection[0][0] = 1.0f / (t * aspect);
    projection[1][1] = 1.0f / t;
    projection[2][2] = -(farPlane + nearPlane) / (farPlane - nearPlane);
    projection[2][3] = -1.0f;
    projection[3][2] = -(2.0f * farPlane * nearPlane) / (farPlane - nearPlane);
    return projection;
}

glm::mat4 Camera::getViewMatrix() const
{
    return glm::lookAt(position, position + front, up);
}

void Camera::followShip(const Object& ship)
{
    const glm::mat4 rotation = glm::mat4_cast(ship.rotation);
    const glm::vec3 shipUp = glm::vec3(rotation * glm::vec4(0.0f, 1.0f, 0.0f, 1.0f));
    const glm::vec3 shipFront = glm::vec3(rotation * glm::vec4(0.0f, 0.0f, 1.0f, 1.0f));
    const glm::vec3 shipRight = glm::cross(shipFront, shipUp);
    const glm::mat4 placement = glm::translate(glm::mat4(1.0f), ship.position) * rotation;
    const glm::vec3 eye = glm::vec3(placement * glm::vec4(0.0f, chaseHeight, -chaseDistanceBehind, 1.0f));

    setPosition(eye);
    setFront(shipFront);
    setUp(shipUp);
    setRight(shipRight);
}

void setCameraDefaults(int width, int height)
{
    camera.setProjection(width, height, defaultFieldOfView);
    camera.setFront(glm::vec3(0.0f, 0.0f, 1.0f));
    camera.setUp(glm::vec3(0.0f, 1.0f, 0.0f));
    camera.setPosition(glm::vec3(0.0f, 1.0f, -3.0f));
}
