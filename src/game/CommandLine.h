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
// The brightest light a player may ask for. The picture is drawn into half floats, which end at
// 65504: past that a GPU may store an infinity, which the blur and the exposure spread over the
// whole frame, black. The ship's lit hull is the brightest thing in it: per unit of brightness
// 3.9 in the opening picture at 1280 x 720 and 5.8 at 4K, up to 13 once it flies and turns, and
// 19 at 4K seen from close behind. (The light keys can still move the light closer than that.)
constexpr float maxBrightness = 3.0e3f;

Settings parseArguments(int argc, const char* const* argv, std::ostream& out,
                        const std::function<int()>& monitorRefreshRate);

// brightness x 1e7 in each channel, as a single-precision multiply.
glm::vec3 lightColorFor(float brightness);
