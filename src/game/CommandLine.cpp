#include "CommandLine.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cctype>
#include <cstring>
#include <ostream>
#include <string>

namespace {

enum class Option { width, height, refreshRate, brightness, fullscreen, sound, none };

Option optionNamed(const char* name)
{
    struct Spelling {
        const char* longForm;
        const char* shortForm;
        Option option;
    };
    // Tested in this order; the first match wins.
    static const Spelling spellings[] = {
        {"--width", "-w", Option::width},
        {"--height", "-h", Option::height},
        {"--refresh-rate", "-rr", Option::refreshRate},
        {"--brightness", "-b", Option::brightness},
        {"--fullscreen", "-fs", Option::fullscreen},
        {"--sound", "-snd", Option::sound},
    };
    for (const Spelling& spelling : spellings) {
        if (std::strcmp(name, spelling.longForm) == 0 || std::strcmp(name, spelling.shortForm) == 0)
            return spelling.option;
    }
    return Option::none;
}

// atoi's reading of `text`, but clamped where atoi's result is undefined (out of int range),
// so a mistyped "-w 99999999999" asks for an impossible window instead of a wrapped size.
int toInt(const char* text)
{
    const long value = std::strtol(text, nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

// atof's reading of `text` as a brightness, or false where it cannot light the scene: "nan",
// "inf" and values past the brightest usable light would draw a black picture.
bool toBrightness(const char* text, float& brightness)
{
    // strtod reads as atof does, but Windows' C runtime atof takes "inf" and "nan" for 0, so
    // only strtod makes the same brightness of the same text on every platform.
    const double value = std::strtod(text, nullptr);
    if (!std::isfinite(value) || std::fabs(value) > maxBrightness)
        return false;
    brightness = static_cast<float>(value);
    return true;
}

// "on" or "off" in any case, or false for anything else: a typo must neither mute nor pass
// unnoticed.
bool toSound(const char* text, bool& sound)
{
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower != "on" && lower != "off")
        return false;
    sound = lower == "on";
    return true;
}

} // namespace

glm::vec3 lightColorFor(float brightness)
{
    const float channel = brightness * 1.0e7f;
    return glm::vec3(channel);
}

Settings parseArguments(int argc, const char* const* argv, std::ostream& out,
                        const std::function<int()>& monitorRefreshRate)
{
    Settings result;
    // The value text each option last set, indexed by Option; null while it keeps its default.
    const char* givenText[static_cast<int>(Option::none)] = {};
    const auto given = [&givenText](Option option) { return givenText[static_cast<int>(option)] != nullptr; };

    // Names sit at odd positions and the scan always moves by two, matched or not, so an
    // unknown name swallows the argument after it.
    for (int i = 1; i < argc; i += 2) {
        const Option option = optionNamed(argv[i]);
        if (option == Option::none)
            continue;
        if (i + 1 >= argc) {
            // A trailing option has nothing to convert; whatever it had before stays.
            const char* kept = givenText[static_cast<int>(option)];
            out << "Missing value after " << argv[i] << ", keeping " << (kept ? kept : "its default") << "\n";
            continue;
        }
        const char* value = argv[i + 1];
        if (option == Option::brightness && !toBrightness(value, result.brightness)) {
            const char* kept = givenText[static_cast<int>(option)];
            out << "Unusable brightness " << value << ", keeping " << (kept ? kept : "its default") << "\n";
            continue;
        }
        if (option == Option::sound && !toSound(value, result.sound)) {
            const char* kept = givenText[static_cast<int>(option)];
            out << "Unusable sound " << value << " (on or off), keeping " << (kept ? kept : "its default")
                << "\n";
            continue;
        }
        givenText[static_cast<int>(option)] = value;
        switch (option) {
        case Option::width:
            out << "Setting width to " << value << "\n";
            result.width = toInt(value);
            break;
        case Option::height:
            out << "Setting height to " << value << "\n";
            result.height = toInt(value);
            break;
        case Option::refreshRate:
            out << "Setting refresh rate to " << value << "\n";
            result.refreshRate = toInt(value);
            break;
        case Option::brightness:
            out << "Setting brightness to " << value << "\n"; // converted above
            break;
        case Option::fullscreen:
            out << "Setting fullscreen mode " << value << "\n";
            result.fullscreen = std::strcmp(value, "on") == 0;
            break;
        case Option::sound:
            out << "Setting sound " << (result.sound ? "on" : "off") << "\n"; // converted above
            break;
        case Option::none:
            break;
        }
    }

    const Settings defaults;
    if (!given(Option::width)) {
        result.width = defaults.width;
        out << "Setting DEFAULT width " << defaults.width << "\n";
    }
    if (!given(Option::height)) {
        result.height = defaults.height;
        out << "Setting DEFAULT height " << defaults.height << "\n";
    }
    if (!given(Option::refreshRate)) {
        result.refreshRate = monitorRefreshRate ? monitorRefreshRate() : 0;
        out << "Setting DEFAULT refresh rate " << result.refreshRate << "\n";
    }
    if (!given(Option::brightness)) {
        result.brightness = defaults.brightness;
        out << "Setting DEFAULT brightness " << defaults.brightness << "\n";
    }
    if (!given(Option::fullscreen)) {
        result.fullscreen = false;
        out << "Setting DEFAULT fullscreen mode off\n";
    }
    // Sound on by default says nothing, so a plain start prints what it always printed.
    return result;
}
