// The application icon: the game's planet picture shaded as a lit globe on a transparent
// square, drawn on the CPU so the build needs no display.
#pragma once

#include <cstdint>
#include <vector>

// An equirectangular picture as the planet's texture lays it out: row 0 is the north pole,
// longitude -180 degrees at the left edge, growing eastwards. 8-bit sRGB, rows top first.
struct PlanetMap {
    int width = 0;
    int height = 0;
    int channels = 0; // 1 grey, 3 RGB, 4 RGBA (alpha ignored)
    const uint8_t* pixels = nullptr;
};

// Where the globe faces the viewer, in degrees.
struct GlobeView {
    float longitude = 15.0f;
    float latitude = 20.0f;
};

// A `size` x `size` RGBA picture (straight alpha, rows top first) of the globe: antialiased
// edge, lit from the upper left, a thin blue rim of atmosphere. Empty when size < 1 or the
// map holds no pixels.
std::vector<uint8_t> paintPlanetIcon(const PlanetMap& map, int size, GlobeView view = {});
