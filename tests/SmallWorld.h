// The rules' world without a window, shared by the tests and the CPU benchmark: it needs no
// test framework and no GL, only the logic library.
#pragma once

#include <glm/vec3.hpp>

// The game state reset, no key held, 60 frames a second, collisions on, the camera at its
// start, and the three objects the rules expect in `sceneObjects`: a ship (a 2-unit box with
// a body, pickup distance 1), a planet of radius `planetScale` at `planetAt` and a star at
// (0, 50, 25). Bodies live in one world kept for the whole process, as the game's is.
void buildSmallWorld(const glm::vec3& planetAt, float planetScale);
