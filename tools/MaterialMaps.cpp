// Tileable material maps: the ship's worn hull atlas, cratered rock and scuffed gold.
#include <algorithm>
#include <cmath>

#include <glm/common.hpp>
#include <glm/geometric.hpp>
#include <glm/vec3.hpp>
#include <stb_image_write.h>

#include "Images.h"
#include "Models.h"
#include "ProceduralNoise.h"

void Image::set(int x, int y, int channel, float value)
{
    float clamped = std::min(1.0f, std::max(0.0f, value));
    pixels[(size_t(y) * width + x) * channels + channel] = static_cast<uint8_t>(clamped * 255.0f + 0.5f);
}

float HeightField::wrapped(int x, int y) const
{
    x = (x % width + width) % width;
    y = (y % height + height) % height;
    return values[size_t(y) * width + x];
}

Image normalMapFrom(const HeightField& heights, float strength)
{
    Image image(heights.width, heights.height, 3);
    for (int y = 0; y < heights.height; ++y)
        for (int x = 0; x < heights.width; ++x) {
            float du = 0.5f * (heights.wrapped(x + 1, y) - heights.wrapped(x - 1, y));
            float dt = 0.5f * (heights.wrapped(x, y + 1) - heights.wrapped(x, y - 1));
            glm::vec3 n = glm::normalize(glm::vec3(-du * strength, -dt * strength, 1.0f));
            for (int c = 0; c < 3; ++c)
                image.set(x, y, c, n[c] * 0.5f + 0.5f);
        }
    return image;
}

bool writePng(const std::string& path, const Image& image)
{
    return stbi_write_png(path.c_str(), image.width, image.height, image.channels,
                          image.pixels.data(), image.width * image.channels) != 0;
}

bool writeJpg(const std::string& path, const Image& image, int quality)
{
    return stbi_write_jpg(path.c_str(), image.width, image.height, image.channels,
                          image.pixels.data(), quality) != 0;
}

namespace {

void setRgb(Image& image, int x, int y, glm::vec3 colour)
{
    for (int c = 0; c < 3; ++c)
        image.set(x, y, c, colour[c]);
}

float smoothstep(float edge0, float edge1, float x)
{
    float t = std::min(1.0f, std::max(0.0f, (x - edge0) / (edge1 - edge0)));
    return t * t * (3.0f - 2.0f * t);
}

// Panel layout of the hull: rows of plates with staggered seams. Returns the distance to
// the nearest seam in pixels and a per-plate random number.
struct Plate {
    float seamDistance;
    float tint; // -1 .. 1
};
Plate hullPlate(int x, int y, int size)
{
    const int rowHeight = size / 12;
    int row = y / rowHeight;
    float shift = static_cast<float>(hash32(static_cast<uint32_t>(row) * 7919U) % 97U) / 97.0f;
    float plateWidth = static_cast<float>(size) / 7.0f;
    float column = static_cast<float>(x) / plateWidth + shift;
    int columnIndex = static_cast<int>(std::floor(column));
    float across = (column - static_cast<float>(columnIndex)) * plateWidth;
    float down = static_cast<float>(y - row * rowHeight);
    float seam = std::min({across, plateWidth - across, down, static_cast<float>(rowHeight) - down});
    uint32_t h = hashLattice(columnIndex, row, 0, 77U);
    return {seam, static_cast<float>(h % 1000U) / 500.0f - 1.0f};
}

} // namespace

bool writeHullMaps(const std::string& directory)
{
    using namespace ShipAtlas;
    const int size = 512; // the ship never covers more than a few hundred pixels
    Image albedo(size, size, 3), metal(size, size, 1), roughness(size, size, 1);
    HeightField height(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float u = (x + 0.5f) / size, t = (y + 0.5f) / size;
            glm::vec3 p(u * 8.0f, t * 8.0f, 0.0f);
            float grime = 0.5f + 0.5f * fractalNoise(p, 3U, 5);
            // Grease runs along the length of the ship: stretched noise.
            float streak = 0.5f + 0.5f * fractalNoise(glm::vec3(u * 48.0f, t * 3.0f, 0.0f), 4U, 3);
            float dirt = smoothstep(0.45f, 0.85f, grime * 0.6f + streak * 0.5f);
            glm::vec3 colour;
            float metallic, rough, h = 0.5f;
            if (u < kPatchLeft - 0.02f) {
                Plate plate = hullPlate(x, y, size);
                float groove = 1.0f - smoothstep(0.5f, 2.5f, plate.seamDistance);
                bool rivet = plate.seamDistance > 4.0f && plate.seamDistance < 7.0f &&
                             (x + y) % 18 < 3 && (x % 18 < 3 || y % 18 < 3);
                glm::vec3 steel = glm::vec3(0.70f, 0.70f, 0.72f) + 0.05f * plate.tint;
                glm::vec3 greaseBrown(0.30f, 0.26f, 0.21f);
                colour = glm::mix(steel, greaseBrown, dirt * 0.8f) * (1.0f - 0.6f * groove);
                metallic = 0.92f - 0.35f * dirt - 0.45f * groove;
                rough = 0.32f + 0.35f * dirt + 0.1f * plate.tint * 0.5f;
                h = 0.5f - 0.45f * groove + (rivet ? 0.25f : 0.0f) + 0.03f * grime;
            } else if (t < kGlowTop - 0.02f) {
                colour = glm::vec3(0.04f, 0.06f, 0.10f) + 0.03f * grime; // canopy glass
                metallic = 0.25f;
                rough = 0.06f;
            } else if (t < kPaintTop - 0.02f) {
                colour = glm::vec3(1.0f, 0.66f, 0.32f); // engine glow
                metallic = 1.0f;
                rough = 0.55f;
            } else {
                colour = glm::mix(glm::vec3(0.62f, 0.07f, 0.05f), glm::vec3(0.35f, 0.12f, 0.08f),
                                  dirt * 0.6f); // squadron red, worn
                metallic = 0.55f - 0.2f * dirt;
                rough = 0.45f + 0.2f * dirt;
                h = 0.5f + 0.02f * grime;
            }
            setRgb(albedo, x, y, colour);
            // NOTE: the game also uses this map as the ship's ambient occlusion, so it stays
            // bright on open plates and dark only in the seams.
            metal.set(x, y, 0, metallic);
            roughness.set(x, y, 0, rough);
            height.at(x, y) = h;
        }
    return writePng(directory + "/greasy-pan-2-albedo.png", albedo) &&
           writePng(directory + "/greasy-pan-2-normal.png", normalMapFrom(height, 3.0f)) &&
           writePng(directory + "/greasy-pan-2-metal.png", metal) &&
           writePng(directory + "/greasy-pan-2-roughness.png", roughness);
}

bool writeRockMaps(const std::string& directory)
{
    const int size = 512;
    const int craterPeriod = 6; // crater cells across the tile
    HeightField height(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            glm::vec3 p((x + 0.5f) / size, (y + 0.5f) / size, 0.0f);
            float h = 0.5f + 0.25f * fractalNoise(p * 8.0f, 21U, 5, 8);
            for (int layer = 0; layer < 2; ++layer) {
                int period = craterPeriod << layer;
                CellHit hit = nearestCell(p * static_cast<float>(period), 30U + layer, period);
                float radius = 0.18f + 0.22f * static_cast<float>(hit.id % 100U) / 100.0f;
                float r = hit.distance / radius;
                float bowl = r < 1.0f ? (r * r - 1.0f) : 0.0f;
                float rim = r >= 1.0f && r < 1.5f ? std::pow((1.5f - r) / 0.5f, 2.0f) * 0.25f : 0.0f;
                h += (bowl * 0.45f + rim) / static_cast<float>(layer + 1);
            }
            height.at(x, y) = h;
        }
    // Keep heights in a narrow middle band: the game reads this map as metallic and
    // roughness too, and rock must stay mostly dielectric and not glossy.
    auto [low, high] = std::minmax_element(height.values.begin(), height.values.end());
    float lowest = *low, span = *high - *low;
    Image heightImage(size, size, 1), albedo(size, size, 3), ao(size, size, 1);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float h = (height.at(x, y) - lowest) / span;
            float neighbourhood = 0.0f;
            for (int d = -6; d <= 6; d += 3)
                neighbourhood += height.wrapped(x + d, y) + height.wrapped(x, y + d);
            neighbourhood = (neighbourhood / 10.0f - lowest) / span;
            float cavity = std::max(0.0f, neighbourhood - h);
            glm::vec3 p((x + 0.5f) / size, (y + 0.5f) / size, 0.0f);
            float tone = 0.5f + 0.5f * fractalNoise(p * 16.0f, 22U, 4, 16);
            glm::vec3 colour = glm::mix(glm::vec3(0.30f, 0.27f, 0.24f), glm::vec3(0.52f, 0.47f, 0.41f), tone);
            colour *= 0.75f + 0.35f * h;
            setRgb(albedo, x, y, colour);
            heightImage.set(x, y, 0, 0.18f + 0.42f * h);
            ao.set(x, y, 0, 1.0f - 2.5f * cavity);
        }
    return writePng(directory + "/cratered-rock-albedo.png", albedo) &&
           writePng(directory + "/cratered-rock-normal.png", normalMapFrom(height, 6.0f)) &&
           writePng(directory + "/cratered-rock-height.png", heightImage) &&
           writePng(directory + "/cratered-rock-ao.png", ao);
}

bool writeGoldMaps(const std::string& directory)
{
    const int size = 512;
    Image albedo(size, size, 3), metallic(size, size, 1), roughness(size, size, 1);
    HeightField height(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            glm::vec3 p((x + 0.5f) / size, (y + 0.5f) / size, 0.0f);
            // Scratches: thin ridges of noise stretched in two crossing directions.
            float scratchA = ridgedNoise(glm::vec3(p.x * 64.0f, p.y * 4.0f, 0.0f), 41U, 3, 0);
            float scratchB = ridgedNoise(glm::vec3((p.x + p.y) * 6.0f, (p.x - p.y) * 48.0f, 0.0f), 42U, 3, 0);
            float scratch = smoothstep(0.82f, 0.97f, std::max(scratchA, scratchB));
            float smudge = 0.5f + 0.5f * fractalNoise(p * 6.0f, 43U, 4, 6);
            glm::vec3 gold(1.0f, 0.77f, 0.34f);
            setRgb(albedo, x, y, glm::mix(gold, glm::vec3(0.80f, 0.62f, 0.32f), 0.5f * smudge + 0.3f * scratch));
            // NOTE: the planet borrows these two maps and the game reads roughness as
            // ambient occlusion: metallic stays below 1 and roughness fairly high so the
            // planet keeps some diffuse colour and a broad highlight.
            metallic.set(x, y, 0, 0.85f - 0.12f * smudge - 0.2f * scratch);
            roughness.set(x, y, 0, 0.55f + 0.2f * smudge + 0.15f * scratch);
            height.at(x, y) = -0.3f * scratch + 0.05f * smudge;
        }
    return writePng(directory + "/gold-scuffed_basecolor.png", albedo) &&
           writePng(directory + "/gold-scuffed_normal.png", normalMapFrom(height, 2.0f)) &&
           writePng(directory + "/gold-scuffed_metallic.png", metallic) &&
           writePng(directory + "/gold-scuffed_roughness.png", roughness);
}
