// Drawing an object: the logic keeps its transform and maps, this unit hands them to GL.
#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

#include "Object.h"

class ShaderProgram;

// The single light as the frame sees it; the renderer takes it from the rules once a frame.
struct Light {
    glm::vec3 position{0.0f};
    glm::vec3 color{0.0f};
};

// One draw per shape with the full PBR uniform set and the maps on units 0-4.
void drawObject(const Object& object, const ShaderProgram& program, const glm::mat4& view,
                const glm::mat4& projection, glm::vec3 cameraPosition, const Light& light);
