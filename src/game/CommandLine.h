// Command-line parsing: six options, five for the display and one for the sound, each
// followed by its value.
#pragma once

#include <functional>
#include <iosfwd>

#include "Settings.h"

// Parses argv (argv[0] is the program name) and prints one line per setting to `out`: the
// value text as typed for a given option, the default for one that was not given, and a
// note, naming the value it keeps, for a trailing option without a value or for a brightness
// that is not finite or is brighter than `maxBrightness` either way.
// `monitorRefreshRate` is called only when no option set the refresh rate.
// The brightest light a player may ask for. The opening picture's brightest point is at most
// 5.8 per unit of brightness (the ship's lit hull, at 4K and beyond), and the picture is drawn
// into half floats, which end at 65504: past that a GPU may store an infinity, which the blur
// and the exposure spread over the whole frame, black.
constexpr float maxBrightness = 1.0e4f;

Settings parseArguments(int argc, const char* const* argv, std::ostream& out,
                        const std::function<int()>& monitorRefreshRate);

// brightness x 1e7 in each channel, as a single-precision multiply.
glm::vec3 lightColorFor(float brightness);
