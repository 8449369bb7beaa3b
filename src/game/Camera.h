// The single chase camera: eye, orientation and projection parameters.
#pragma once

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

class Object;

// Taken as radians like every field of view here: 45 gives the game its wide look.
constexpr float defaultFieldOfView = 45.0f;
// Where the chase camera rides, in the ship's frame: this far behind it and above it.
constexpr float chaseDistanceBehind = 20.0f;
constexpr float chaseHeight = 5.0f;

class Camera {
public:
    glm::vec3 position{0.0f};
    glm::vec3 up{0.0f};
    glm::vec3 front{0.0f};  // viewing direction; not normalised here, the look-at does it
    glm::vec3 right{0.0f};  // cross(front, up) once followShip has run
    int width = 0;          // viewport size in pixels
    int height = 0;
    float fov = 0.0f;       // NOTE: taken as radians; 45 gives the game's wide ~58 degree look on purpose

    glm::vec3 getPosition() const { return position; }
    void setPosition(glm::vec3 value) { position = value; }
    glm::vec3 getUp() const { return up; }
    void setUp(glm::vec3 value) { up = value; }
    glm::vec3 getFront() const { return front; }
    void setFront(glm::vec3 value) { front = value; }
    glm::vec3 getRight() const { return right; }
    void setRight(glm::vec3 value) { right = value; }

    // Stores the projection parameters; a zero or negative size keeps the last valid one,
    // since a minimised window reports 0 x 0 and the aspect would be infinite.
    void setProjection(int newWidth, int newHeight, float newFov);
    glm::mat4 getProjectionMatrix() const;
    glm::mat4 getViewMatrix() const;
    // Behind and above the ship (chaseDistanceBehind, chaseHeight), oriented like it, roll included.
    void followShip(const Object& ship);
};

extern Camera camera;

// The camera before the first frame: at (0, 1, -3) looking along +Z, 45 (radians) wide.
void setCameraDefaults(int width, int height);
