// Display options from the command line and the light colour derived from them.
#pragma once

#include <glm/vec3.hpp>

struct Settings {
    int width = 1280;        // window width in pixels; the resize callback keeps it current
    int height = 720;        // window height in pixels
    int refreshRate = 0;     // requested refresh rate in Hz
    float brightness = 1.0f; // light brightness factor
    bool fullscreen = false;
    bool sound = true;       // -snd; the M key switches it while playing
};

// No GL we run on draws a side beyond this many pixels; a browser page names it to the player.
constexpr int largestWindowSide = 16384;

extern Settings settings;
// brightness x 1e7 in every channel: deliberately not normalised, the light sits 100+ units away.
extern glm::vec3 lightColor;
