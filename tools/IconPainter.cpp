// The application icon: the planet picture shaded as a lit globe, by a small ray caster.
#include "IconPainter.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <glm/geometric.hpp>
#include <glm/vec3.hpp>

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr int kSamplesPerAxis = 4;          // 16 samples per pixel smooth the globe's edge
constexpr float kGlobeRadius = 0.46f;       // of the icon's side; the rest is margin
constexpr float kAmbient = 0.06f;           // keeps the night side from going fully black
const glm::vec3 kAtmosphere(0.35f, 0.6f, 1.0f);

// Shading is done on linear light; the picture and the PNG hold sRGB.
const std::array<float, 256>& linearFromSrgb()
{
    static const std::array<float, 256> table = [] {
        std::array<float, 256> values{};
        for (int i = 0; i < 256; ++i) {
            float c = i / 255.0f;
            values[i] = c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
        }
        return values;
    }();
    return table;
}

uint8_t srgbFromLinear(float c)
{
    c = std::clamp(c, 0.0f, 1.0f);
    float s = c <= 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f;
    return static_cast<uint8_t>(std::lround(s * 255.0f));
}

glm::vec3 texel(const PlanetMap& map, int x, int y)
{
    x = ((x % map.width) + map.width) % map.width; // longitude wraps around
    y = std::clamp(y, 0, map.height - 1);          // latitude stops at the poles
    const uint8_t* p = map.pixels + (static_cast<size_t>(y) * map.width + x) * map.channels;
    const auto& linear = linearFromSrgb();
    if (map.channels < 3)
        return glm::vec3(linear[p[0]]);
    return {linear[p[0]], linear[p[1]], linear[p[2]]};
}

// Bilinear lookup of the map in the direction `d` (unit length, +Y north).
glm::vec3 sampleMap(const PlanetMap& map, glm::vec3 d)
{
    float theta = std::acos(std::clamp(d.y, -1.0f, 1.0f));
    float phi = std::atan2(d.x, d.z);
    if (phi < 0.0f)
        phi += 2.0f * kPi;
    float u = phi / (2.0f * kPi) * map.width - 0.5f;
    float v = theta / kPi * map.height - 0.5f;
    int x0 = static_cast<int>(std::floor(u));
    int y0 = static_cast<int>(std::floor(v));
    float fx = u - x0, fy = v - y0;
    glm::vec3 top = texel(map, x0, y0) * (1.0f - fx) + texel(map, x0 + 1, y0) * fx;
    glm::vec3 bottom = texel(map, x0, y0 + 1) * (1.0f - fx) + texel(map, x0 + 1, y0 + 1) * fx;
    return top * (1.0f - fy) + bottom * fy;
}

// The globe's surface direction seen at `n` (view space, +Z towards the viewer): tilt by the
// latitude, then turn by the longitude, so the view's centre lands on the chosen point.
glm::vec3 surfaceDirection(glm::vec3 n, const GlobeView& view)
{
    float lat = view.latitude * kPi / 180.0f;
    float lon = (view.longitude + 180.0f) * kPi / 180.0f; // the map's left edge is -180
    glm::vec3 tilted(n.x, n.y * std::cos(lat) + n.z * std::sin(lat), -n.y * std::sin(lat) + n.z * std::cos(lat));
    return {tilted.x * std::cos(lon) + tilted.z * std::sin(lon), tilted.y,
            -tilted.x * std::sin(lon) + tilted.z * std::cos(lon)};
}

glm::vec3 shade(const PlanetMap& map, glm::vec3 n, const GlobeView& view)
{
    static const glm::vec3 light = glm::normalize(glm::vec3(-0.45f, 0.55f, 0.7f));
    float lit = std::max(glm::dot(n, light), 0.0f);
    glm::vec3 albedo = sampleMap(map, surfaceDirection(n, view));
    float rim = std::pow(1.0f - n.z, 4.0f);
    return albedo * (kAmbient + (1.0f - kAmbient) * lit) + kAtmosphere * rim * (0.2f + 0.8f * lit);
}

} // namespace

std::vector<uint8_t> paintPlanetIcon(const PlanetMap& map, int size, GlobeView view)
{
    if (size < 1 || map.width < 1 || map.height < 1 || map.channels < 1 || !map.pixels)
        return {};
    std::vector<uint8_t> rgba(static_cast<size_t>(size) * size * 4, 0);
    const float radius = kGlobeRadius * size;
    const float centre = 0.5f * size;
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            glm::vec3 sum(0.0f);
            int covered = 0;
            for (int sy = 0; sy < kSamplesPerAxis; ++sy) {
                for (int sx = 0; sx < kSamplesPerAxis; ++sx) {
                    float x = (px + (sx + 0.5f) / kSamplesPerAxis - centre) / radius;
                    float y = (centre - py - (sy + 0.5f) / kSamplesPerAxis) / radius;
                    float r2 = x * x + y * y;
                    if (r2 > 1.0f)
                        continue;
                    sum += shade(map, glm::vec3(x, y, std::sqrt(1.0f - r2)), view);
                    ++covered;
                }
            }
            if (covered == 0)
                continue;
            uint8_t* out = &rgba[(static_cast<size_t>(py) * size + px) * 4];
            glm::vec3 colour = sum / static_cast<float>(covered);
            out[0] = srgbFromLinear(colour.r);
            out[1] = srgbFromLinear(colour.g);
            out[2] = srgbFromLinear(colour.b);
            out[3] = static_cast<uint8_t>(std::lround(255.0f * covered / (kSamplesPerAxis * kSamplesPerAxis)));
        }
    }
    return rgba;
}
