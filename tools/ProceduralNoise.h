// Deterministic hashing, random numbers and lattice noise for the asset generator.
#pragma once

#include <cstdint>

#include <glm/vec3.hpp>

// Mixes the bits of `value` thoroughly; equal inputs always give equal outputs.
uint32_t hash32(uint32_t value);
uint32_t hashLattice(int x, int y, int z, uint32_t seed);

// A tiny counter-based generator: the same seed gives the same sequence on every run.
class Random {
public:
    explicit Random(uint32_t seed) : state(seed) {}
    float next01();                          // in [0, 1)
    float range(float low, float high) { return low + (high - low) * next01(); }
    glm::vec3 unitVector();                  // uniform on the unit sphere

private:
    uint32_t state;
};

// Smooth value noise in [-1, 1]. `period` (in lattice cells, 0 for none) wraps x and y,
// so a texture sampled over exactly one period tiles without a seam.
float valueNoise(glm::vec3 p, uint32_t seed, int period = 0);

// Sum of `octaves` noise layers, each twice the frequency and `gain` the amplitude of the
// one before; normalised back to about [-1, 1].
float fractalNoise(glm::vec3 p, uint32_t seed, int octaves, int period = 0, float gain = 0.5f);

// Like fractalNoise but folded (1 - |n|), which gives sharp ridges: mountain chains, scratches.
float ridgedNoise(glm::vec3 p, uint32_t seed, int octaves, int period = 0);

// Distance from `p` to the nearest of a jittered grid of points, in cell units, with the
// grid wrapped every `period` cells in x and y. Used for crater and scuff placement.
struct CellHit {
    float distance;  // to the nearest feature point, in cells
    uint32_t id;     // stable identifier of that point
};
CellHit nearestCell(glm::vec3 p, uint32_t seed, int period = 0);
