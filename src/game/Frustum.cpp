// View-pyramid culling: four side planes spanned by rays through the screen corners.
#include "Frustum.h"

#include <cmath>

#include <glm/geometric.hpp>
#include <glm/matrix.hpp>

#include "Object.h"

namespace {

// How far (in the unnormalised units of a plane) a centre may sit outside before it is culled.
constexpr float planeTolerance = 0.0001f;
// Keeps the band test finite for a degenerate plane with a zero normal.
constexpr float normalLengthGuard = 0.001f;
// Cosine below which a point no longer counts as in front of the camera.
constexpr float inFrontCosine = 0.0001f;

} // namespace

glm::vec3 screenRay(float x, float y, float width, float height, const glm::mat4& view,
                    const glm::mat4& projection)
{
    const glm::vec4 device(2.0f * x / width - 1.0f, 1.0f - 2.0f * y / height, -1.0f, 1.0f);
    glm::vec4 eye = glm::inverse(projection) * device;
    // A direction, not a point: only the eye-space x and y of the near-plane point matter.
    eye = glm::vec4(eye.x, eye.y, -1.0f, 0.0f);
    const glm::vec4 world = glm::inverse(view) * eye;
    return glm::normalize(glm::vec3(world));
}

CornerRays computeCornerRays(float width, float height, const glm::mat4& view,
                             const glm::mat4& projection)
{
    return {screenRay(0.0f, 0.0f, width, height, view, projection),
            screenRay(0.0f, height, width, height, view, projection),
            screenRay(width, height, width, height, view, projection),
            screenRay(width, 0.0f, width, height, view, projection)};
}

FrustumPlanes computeFrustumPlanes(glm::vec3 cameraPosition, const CornerRays& rays)
{
    FrustumPlanes planes;
    for (std::size_t i = 0; i < 4; ++i) {
        // Crossing each ray with the one before it makes every normal point into the pyramid.
        const glm::vec3& previous = rays[(i + 3) % 4];
        const glm::vec3 normal = glm::cross(rays[i], previous);
        planes[i] = glm::vec4(normal, -glm::dot(normal, cameraPosition));
    }
    return planes;
}

bool isBehindCamera(glm::vec3 cameraPosition, glm::vec3 viewDirection, glm::vec3 point)
{
    const glm::vec3 toPoint = point - cameraPosition;
    const float k = glm::dot(toPoint, viewDirection) / glm::length(viewDirection) /
                    glm::length(toPoint);
    // NOTE: a point at the camera gives NaN, which compares false: it is left to the planes.
    return k < inFrontCosine;
}

bool sphereInFrustum(glm::vec3 centre, float radius, const FrustumPlanes& planes)
{
    for (const glm::vec4& plane : planes) {
        const float s = plane.x * centre.x + plane.y * centre.y + (plane.z * centre.z + plane.w);
        if (s < -planeTolerance)
            return false;
        if (!(s > 0.0f)) {
            // The radius only rescues centres inside the thin band on the plane itself.
            const float t = std::fabs(s) /
                            (std::sqrt(plane.x * plane.x + plane.y * plane.y + plane.z * plane.z) +
                             normalLengthGuard);
            if (!(radius > t))
                return false;
        }
    }
    return true;
}

bool shouldDraw(const Object& object, glm::vec3 cameraPosition, glm::vec3 viewDirection,
                const FrustumPlanes& planes, bool culling)
{
    if (!culling)
        return true;
    if (isBehindCamera(cameraPosition, viewDirection, object.position))
        return false;
    return sphereInFrustum(object.position, object.scale * object.radius, planes);
}
