#include "ProceduralNoise.h"

#include <cmath>

#include <glm/geometric.hpp>

uint32_t hash32(uint32_t value)
{
    value ^= value >> 16;
    value *= 0x7feb352dU;
    value ^= value >> 15;
    value *= 0x846ca68bU;
    value ^= value >> 16;
    return value;
}

uint32_t hashLattice(int x, int y, int z, uint32_t seed)
{
    uint32_t h = hash32(seed ^ 0x9e3779b9U);
    h = hash32(h ^ static_cast<uint32_t>(x));
    h = hash32(h ^ static_cast<uint32_t>(y) * 0x85ebca6bU);
    return hash32(h ^ static_cast<uint32_t>(z) * 0xc2b2ae35U);
}

float Random::next01()
{
    state += 0x9e3779b9U;
    return static_cast<float>(hash32(state) >> 8) * (1.0f / 16777216.0f);
}

glm::vec3 Random::unitVector()
{
    float z = range(-1.0f, 1.0f);
    float angle = range(0.0f, 6.2831853f);
    float ring = std::sqrt(std::max(0.0f, 1.0f - z * z));
    return {ring * std::cos(angle), ring * std::sin(angle), z};
}

namespace {

int wrapIndex(int value, int period)
{
    if (period <= 0)
        return value;
    int wrapped = value % period;
    return wrapped < 0 ? wrapped + period : wrapped;
}

float latticeValue(int x, int y, int z, uint32_t seed, int period)
{
    uint32_t h = hashLattice(wrapIndex(x, period), wrapIndex(y, period), z, seed);
    return static_cast<float>(h >> 8) * (2.0f / 16777216.0f) - 1.0f;
}

// Quintic fade: zero first and second derivative at the cell borders, so no grid creases.
float fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

float lerp(float a, float b, float t) { return a + (b - a) * t; }

} // namespace

float valueNoise(glm::vec3 p, uint32_t seed, int period)
{
    int x0 = static_cast<int>(std::floor(p.x));
    int y0 = static_cast<int>(std::floor(p.y));
    int z0 = static_cast<int>(std::floor(p.z));
    float fx = fade(p.x - x0), fy = fade(p.y - y0), fz = fade(p.z - z0);
    float corners[2][2][2];
    for (int dz = 0; dz < 2; ++dz)
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
                corners[dz][dy][dx] = latticeValue(x0 + dx, y0 + dy, z0 + dz, seed, period);
    float nearPlane = lerp(lerp(corners[0][0][0], corners[0][0][1], fx),
                           lerp(corners[0][1][0], corners[0][1][1], fx), fy);
    float farPlane = lerp(lerp(corners[1][0][0], corners[1][0][1], fx),
                          lerp(corners[1][1][0], corners[1][1][1], fx), fy);
    return lerp(nearPlane, farPlane, fz);
}

float fractalNoise(glm::vec3 p, uint32_t seed, int octaves, int period, float gain)
{
    float sum = 0.0f, amplitude = 1.0f, total = 0.0f;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += amplitude * valueNoise(p, seed + static_cast<uint32_t>(octave) * 101U, period);
        total += amplitude;
        amplitude *= gain;
        p *= 2.0f;
        period *= 2;
    }
    return sum / total;
}

float ridgedNoise(glm::vec3 p, uint32_t seed, int octaves, int period)
{
    float sum = 0.0f, amplitude = 1.0f, total = 0.0f;
    for (int octave = 0; octave < octaves; ++octave) {
        float n = 1.0f - std::fabs(valueNoise(p, seed + static_cast<uint32_t>(octave) * 131U, period));
        sum += amplitude * n * n;
        total += amplitude;
        amplitude *= 0.5f;
        p *= 2.0f;
        period *= 2;
    }
    return sum / total;
}

CellHit nearestCell(glm::vec3 p, uint32_t seed, int period)
{
    int cx = static_cast<int>(std::floor(p.x));
    int cy = static_cast<int>(std::floor(p.y));
    int cz = static_cast<int>(std::floor(p.z));
    CellHit best{1e9f, 0};
    for (int dz = -1; dz <= 1; ++dz)
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                int x = cx + dx, y = cy + dy, z = cz + dz;
                uint32_t h = hashLattice(wrapIndex(x, period), wrapIndex(y, period), z, seed);
                glm::vec3 jitter(static_cast<float>(h & 0x3ff) / 1023.0f,
                                 static_cast<float>((h >> 10) & 0x3ff) / 1023.0f,
                                 static_cast<float>((h >> 20) & 0x3ff) / 1023.0f);
                float d = glm::length(glm::vec3(x, y, z) + jitter - p);
                if (d < best.distance)
                    best = {d, h};
            }
    return best;
}
