// View-pyramid culling from four corner rays; no near or far plane.
#pragma once

#include <array>

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

class Object;

using CornerRays = std::array<glm::vec3, 4>;     // top-left, bottom-left, bottom-right, top-right
using FrustumPlanes = std::array<glm::vec4, 4>;  // top, left, bottom, right; normals point inwards

// Unit world-space ray through window point (x, y), y counted down from the top edge.
glm::vec3 screenRay(float x, float y, float width, float height, const glm::mat4& view,
                    const glm::mat4& projection);
CornerRays computeCornerRays(float width, float height, const glm::mat4& view,
                             const glm::mat4& projection);
FrustumPlanes computeFrustumPlanes(glm::vec3 cameraPosition, const CornerRays& rays);
// True when `point` does not lie in front of the camera; the camera position itself is not behind.
bool isBehindCamera(glm::vec3 cameraPosition, glm::vec3 viewDirection, glm::vec3 point);
// True when the object is to be drawn.
bool sphereInFrustum(glm::vec3 centre, float radius, const FrustumPlanes& planes);
// True when the object is to be drawn: always with culling off; otherwise when it is not
// behind the camera (asked first) and its sphere of scale x radius meets the view.
bool shouldDraw(const Object& object, glm::vec3 cameraPosition, glm::vec3 viewDirection,
                const FrustumPlanes& planes, bool culling);
