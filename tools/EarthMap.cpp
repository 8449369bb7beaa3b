// The planet: an equirectangular picture of the Earth from hand-drawn coarse coastlines,
// roughened by noise, coloured by latitude and distance from the sea.
#include <algorithm>
#include <cmath>
#include <vector>

#include <glm/common.hpp>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include "Images.h"
#include "ProceduralNoise.h"

namespace {

constexpr float kPi = 3.14159265358979f;

struct Landmass {
    bool icy;                       // covered by an ice sheet whatever the latitude
    bool water;                     // an inland sea cut out of the land
    std::vector<glm::vec2> outline; // (longitude, latitude) in degrees
    glm::vec2 low{1e9f}, high{-1e9f};
};

// Coarse outlines, traced by eye at a few degrees' precision; noise adds the detail.
std::vector<Landmass> landmasses()
{
    std::vector<Landmass> list = {
        {false, false, {{-166, 68}, {-156, 71}, {-140, 70}, {-128, 70}, {-115, 68}, {-95, 68}, {-85, 70},
                        {-82, 63}, {-92, 58}, {-84, 54}, {-79, 52}, {-78, 58}, {-78, 62}, {-65, 60},
                        {-60, 55}, {-56, 51}, {-60, 46}, {-66, 44}, {-70, 42}, {-74, 40}, {-76, 35},
                        {-81, 31}, {-80, 26}, {-81, 25}, {-83, 29}, {-89, 30}, {-94, 29}, {-97, 26},
                        {-97, 21}, {-94, 18}, {-90, 21}, {-87, 21}, {-88, 16}, {-84, 15}, {-83, 10},
                        {-79, 9}, {-77, 8}, {-80, 7}, {-83, 8}, {-86, 12}, {-92, 14}, {-96, 16},
                        {-105, 20}, {-110, 26}, {-115, 30}, {-117, 32}, {-121, 35}, {-124, 40},
                        {-124, 46}, {-123, 48}, {-127, 51}, {-133, 56}, {-140, 60}, {-148, 60},
                        {-152, 58}, {-158, 57}, {-164, 55}, {-160, 59}, {-165, 62}}},
        {false, false, {{-120, 72}, {-100, 78}, {-85, 80}, {-70, 80}, {-62, 67}, {-66, 62}, {-78, 65},
                        {-86, 69}, {-100, 72}, {-115, 70}}},
        {true, false, {{-73, 78}, {-60, 82}, {-30, 83}, {-20, 80}, {-20, 75}, {-22, 70}, {-32, 67},
                       {-42, 60}, {-48, 61}, {-52, 65}, {-55, 70}, {-60, 76}}},
        {false, false, {{-77, 8}, {-72, 12}, {-63, 11}, {-60, 8}, {-52, 5}, {-50, 0}, {-44, -2},
                        {-35, -5}, {-35, -9}, {-39, -13}, {-39, -18}, {-41, -22}, {-48, -26},
                        {-49, -29}, {-53, -34}, {-58, -35}, {-57, -38}, {-62, -39}, {-65, -42},
                        {-65, -46}, {-68, -50}, {-69, -53}, {-68, -55}, {-73, -53}, {-75, -47},
                        {-73, -40}, {-72, -30}, {-71, -18}, {-76, -14}, {-80, -6}, {-81, -3},
                        {-80, 1}, {-78, 3}}},
        {false, false, {{-17, 21}, {-13, 28}, {-9, 32}, {-6, 36}, {0, 36}, {10, 37}, {11, 33}, {20, 31},
                        {25, 32}, {32, 31}, {35, 28}, {38, 20}, {43, 12}, {51, 12}, {49, 8}, {41, -2},
                        {40, -10}, {40, -16}, {35, -24}, {32, -29}, {27, -34}, {20, -35}, {18, -30},
                        {15, -27}, {12, -18}, {13, -12}, {12, -5}, {9, -1}, {9, 4}, {4, 6}, {-4, 5},
                        {-8, 4}, {-12, 7}, {-15, 11}, {-17, 15}}},
        {false, false, {{44, -25}, {47, -25}, {50, -15}, {49, -12}, {44, -16}, {43, -22}}},
        {false, false, {{-9, 37}, {-9, 43}, {-1, 46}, {-4, 48}, {2, 51}, {5, 53}, {8, 54}, {10, 57},
                        {6, 58}, {5, 62}, {14, 68}, {25, 71}, {41, 67}, {44, 68}, {60, 70}, {70, 73},
                        {80, 73}, {100, 77}, {113, 74}, {130, 72}, {140, 72}, {160, 70}, {180, 69},
                        {180, 65}, {165, 60}, {162, 56}, {156, 51}, {157, 57}, {160, 61}, {150, 59},
                        {140, 54}, {137, 54}, {141, 48}, {135, 43}, {129, 41}, {129, 35}, {126, 35},
                        {126, 38}, {122, 40}, {121, 37}, {119, 35}, {122, 30}, {120, 25}, {113, 22},
                        {108, 21}, {106, 18}, {109, 12}, {105, 9}, {103, 10}, {100, 13}, {100, 7},
                        {103, 1}, {101, 3}, {98, 8}, {98, 16}, {94, 17}, {91, 22}, {87, 21},
                        {80, 15}, {80, 9}, {77, 8}, {73, 16}, {73, 21}, {67, 24}, {61, 25}, {57, 25},
                        {56, 27}, {51, 28}, {48, 30}, {50, 26}, {56, 24}, {59, 22}, {55, 17},
                        {52, 16}, {45, 13}, {43, 16}, {39, 22}, {35, 28}, {34, 31}, {36, 36},
                        {29, 36}, {26, 40}, {22, 37}, {19, 42}, {13, 45}, {14, 42}, {17, 41},
                        {16, 38}, {15, 40}, {11, 42}, {8, 44}, {3, 43}, {0, 39}, {-2, 37}, {-6, 36}}},
        {false, false, {{-5, 50}, {1, 51}, {2, 53}, {-2, 56}, {-3, 58}, {-6, 58}, {-5, 55}, {-3, 54}, {-5, 52}}},
        {false, false, {{-10, 52}, {-6, 52}, {-6, 55}, {-8, 55}}},
        {false, false, {{-24, 64}, {-14, 64}, {-14, 66}, {-22, 66}}},
        {false, false, {{130, 31}, {132, 34}, {140, 36}, {141, 41}, {142, 45}, {145, 44}, {141, 38}, {140, 35}, {135, 33}}},
        {false, false, {{109, 1}, {117, 7}, {119, 5}, {118, 1}, {116, -4}, {110, -3}}},
        {false, false, {{95, 5}, {98, 4}, {106, -6}, {102, -4}}},
        {false, false, {{105, -6}, {114, -7}, {114, -8.5f}, {106, -7.5f}}},
        {false, false, {{131, -1}, {141, -3}, {150, -10}, {141, -9}, {138, -8}}},
        {false, false, {{114, -22}, {114, -26}, {115, -34}, {118, -35}, {124, -34}, {131, -31}, {135, -35},
                        {138, -35}, {140, -38}, {146, -39}, {150, -37}, {153, -32}, {153, -25},
                        {149, -20}, {146, -19}, {142, -11}, {141, -17}, {136, -12}, {130, -12},
                        {126, -14}, {122, -17}}},
        {false, false, {{172, -34}, {178, -38}, {175, -41}, {171, -45}, {167, -46}, {173, -40}}},
        {false, true, {{47, 45}, {52, 47}, {54, 42}, {53, 37}, {49, 38}, {47, 41}}},
        {false, true, {{28, 41}, {28, 46}, {34, 46}, {41, 42}, {36, 41.5f}}},
    };
    for (Landmass& land : list)
        for (const glm::vec2& p : land.outline) {
            land.low = glm::min(land.low, p);
            land.high = glm::max(land.high, p);
        }
    return list;
}

bool inside(const Landmass& land, glm::vec2 p)
{
    if (p.x < land.low.x || p.x > land.high.x || p.y < land.low.y || p.y > land.high.y)
        return false;
    bool in = false;
    const std::vector<glm::vec2>& poly = land.outline;
    for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++)
        if ((poly[i].y > p.y) != (poly[j].y > p.y) &&
            p.x < (poly[j].x - poly[i].x) * (p.y - poly[i].y) / (poly[j].y - poly[i].y) + poly[i].x)
            in = !in;
    return in;
}

// Box blur with wrap-around in x and clamping in y, radius in pixels, in place.
void blur(HeightField& field, int radius)
{
    std::vector<float> line;
    for (int pass = 0; pass < 2; ++pass) {
        bool horizontal = pass == 0;
        int length = horizontal ? field.width : field.height;
        int lines = horizontal ? field.height : field.width;
        line.resize(length);
        for (int l = 0; l < lines; ++l) {
            auto at = [&](int i) -> float& { return horizontal ? field.at(i, l) : field.at(l, i); };
            auto source = [&](int i) {
                if (horizontal)
                    return line[(i % length + length) % length];
                return line[std::min(length - 1, std::max(0, i))];
            };
            for (int i = 0; i < length; ++i)
                line[i] = at(i);
            float sum = 0.0f;
            for (int i = -radius; i <= radius; ++i)
                sum += source(i);
            for (int i = 0; i < length; ++i) {
                at(i) = sum / static_cast<float>(2 * radius + 1);
                sum += source(i + radius + 1) - source(i - radius);
            }
        }
    }
}

float smoothstep(float edge0, float edge1, float x)
{
    float t = std::min(1.0f, std::max(0.0f, (x - edge0) / (edge1 - edge0)));
    return t * t * (3.0f - 2.0f * t);
}

} // namespace

bool writeEarth(const std::string& directory)
{
    const int width = 2048, height = 1024;
    const std::vector<Landmass> lands = landmasses();
    HeightField land(width, height), icy(width, height);
    std::vector<glm::vec3> directions(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Same parameterisation as the sphere model: row 0 is the north pole (+Y),
            // longitude -180 at the left edge, growing eastwards.
            float theta = (y + 0.5f) / height * kPi;
            float phi = (x + 0.5f) / width * 2.0f * kPi;
            glm::vec3 d(std::sin(theta) * std::sin(phi), std::cos(theta), std::sin(theta) * std::cos(phi));
            directions[size_t(y) * width + x] = d;
            glm::vec2 lonLat(phi * 180.0f / kPi - 180.0f, 90.0f - theta * 180.0f / kPi);
            // Noise on the sphere, not on the map, so nothing shows a seam at +-180.
            glm::vec2 wobble(fractalNoise(d * 6.0f, 1U, 4), fractalNoise(d * 6.0f, 2U, 4));
            glm::vec2 p = lonLat + wobble * 3.5f;
            float value = 0.0f, ice = 0.0f;
            for (const Landmass& mass : lands)
                if (inside(mass, p)) {
                    value = mass.water ? 0.0f : 1.0f;
                    ice = mass.icy ? 1.0f : ice;
                }
            if (lonLat.y < -70.0f + 3.0f * fractalNoise(d * 5.0f, 3U, 4))
                value = ice = 1.0f; // Antarctica
            land.at(x, y) = value;
            icy.at(x, y) = ice;
        }
    HeightField coast = land, interior = land;
    blur(coast, 5);
    blur(interior, 28);

    Image image(width, height, 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            glm::vec3 d = directions[size_t(y) * width + x];
            float latitude = std::fabs(90.0f - (y + 0.5f) / height * 180.0f);
            float detail = fractalNoise(d * 14.0f, 5U, 5);
            glm::vec3 colour;
            if (land.at(x, y) > 0.5f) {
                // Deserts sit in the dry belt around 25 degrees, and only well inside the
                // continents; coasts and the tropics stay green.
                float dryBelt = smoothstep(11.0f, 19.0f, latitude) * smoothstep(38.0f, 30.0f, latitude);
                float wet = 1.0f - dryBelt * smoothstep(0.45f, 0.85f, interior.at(x, y)) * 1.2f;
                wet -= 0.35f * smoothstep(15.0f, 5.0f, std::fabs(latitude - 45.0f)) * smoothstep(0.8f, 0.95f, interior.at(x, y));
                wet += 0.3f * detail;
                glm::vec3 forest(0.10f, 0.26f, 0.08f), grass(0.30f, 0.36f, 0.15f);
                glm::vec3 desert(0.78f, 0.64f, 0.42f), tundra(0.42f, 0.40f, 0.33f);
                colour = glm::mix(desert, glm::mix(grass, forest, smoothstep(0.5f, 0.9f, wet)),
                                  smoothstep(0.1f, 0.45f, wet));
                colour = glm::mix(colour, tundra, smoothstep(58.0f, 68.0f, latitude + 4.0f * detail));
                colour *= 0.88f + 0.24f * fractalNoise(d * 40.0f, 6U, 3);
                float snow = std::max(icy.at(x, y), smoothstep(70.0f, 76.0f, latitude + 5.0f * detail));
                colour = glm::mix(colour, glm::vec3(0.93f, 0.95f, 0.97f), snow);
            } else {
                float shallow = smoothstep(0.05f, 0.5f, coast.at(x, y));
                colour = glm::mix(glm::vec3(0.02f, 0.07f, 0.22f), glm::vec3(0.05f, 0.25f, 0.38f), shallow);
                colour *= 0.92f + 0.08f * detail;
                float seaIce = smoothstep(76.0f, 82.0f, latitude + 4.0f * detail);
                colour = glm::mix(colour, glm::vec3(0.88f, 0.92f, 0.96f), seaIce);
            }
            // A light cover of cloud, a little more in the storm belts.
            float cloudBias = 0.08f * smoothstep(35.0f, 55.0f, latitude) - 0.06f * smoothstep(15.0f, 28.0f, latitude) * smoothstep(35.0f, 28.0f, latitude);
            float cloud = smoothstep(0.25f, 0.6f, fractalNoise(d * 4.0f + glm::vec3(0.0f, 7.0f, 0.0f), 9U, 6, 0, 0.55f) + cloudBias);
            colour = glm::mix(colour, glm::vec3(0.95f), cloud * 0.85f);
            for (int c = 0; c < 3; ++c)
                image.set(x, y, c, colour[c]);
        }
    return writeJpg(directory + "/Earth.jpg", image, 90);
}
