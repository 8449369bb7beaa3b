// Where a point of the world lands in a camera's picture. Inline, so that the logic tests of
// every platform (Linux, Windows, the browser) use it without linking the POSIX test support.
#pragma once

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include "Camera.h"

// x and y run -1..1 across the window, z -1..1 from the near to the far plane; a point behind
// the eye comes out with its signs turned.
inline glm::vec3 onScreen(const Camera& viewer, const glm::vec3& world)
{
    const glm::vec4 clip = viewer.getProjectionMatrix() * viewer.getViewMatrix() * glm::vec4(world, 1.0f);
    return glm::vec3(clip) / clip.w;
}
