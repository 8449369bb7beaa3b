#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CommandLine.h"

namespace {

struct Parsed {
    Settings settings;
    std::string output;
    int monitorQueries = 0;
};

Parsed parse(std::vector<const char*> args)
{
    args.insert(args.begin(), "orbelune");
    Parsed parsed;
    std::ostringstream out;
    parsed.settings = parseArguments(static_cast<int>(args.size()), args.data(), out, [&parsed] {
        ++parsed.monitorQueries;
        return 60;
    });
    parsed.output = out.str();
    return parsed;
}

const char* const allDefaults = "Setting DEFAULT width 1280\n"
                                "Setting DEFAULT height 720\n"
                                "Setting DEFAULT refresh rate 60\n"
                                "Setting DEFAULT brightness 1\n"
                                "Setting DEFAULT fullscreen mode off\n";

} // namespace

TEST(CommandLine, NoArgumentsPrintsEveryDefaultInOrder)
{
    const Parsed parsed = parse({});
    EXPECT_EQ(parsed.output, allDefaults);
    EXPECT_EQ(parsed.settings.width, 1280);
    EXPECT_EQ(parsed.settings.height, 720);
    EXPECT_EQ(parsed.settings.refreshRate, 60);
    EXPECT_FLOAT_EQ(parsed.settings.brightness, 1.0f);
    EXPECT_FALSE(parsed.settings.fullscreen);
}

TEST(CommandLine, GivenOptionsReplaceOnlyTheirDefaultLines)
{
    const struct {
        std::vector<const char*> args;
        const char* output;
    } cases[] = {
        {{"-w", "800", "-h", "600"},
         "Setting width to 800\nSetting height to 600\nSetting DEFAULT refresh rate 60\n"
         "Setting DEFAULT brightness 1\nSetting DEFAULT fullscreen mode off\n"},
        {{"--width", "1024", "--height", "768", "--refresh-rate", "144", "--brightness", "0.5", "--fullscreen", "on"},
         "Setting width to 1024\nSetting height to 768\nSetting refresh rate to 144\n"
         "Setting brightness to 0.5\nSetting fullscreen mode on\n"},
        // A trailing option without a value says so and keeps its default.
        {{"-w", "800", "--fullscreen"},
         "Setting width to 800\nMissing value after --fullscreen, keeping its default\n"
         "Setting DEFAULT height 720\nSetting DEFAULT refresh rate 60\nSetting DEFAULT brightness 1\n"
         "Setting DEFAULT fullscreen mode off\n"},
        // ... and one given before keeps that value, and says so.
        {{"-w", "800", "-w"},
         "Setting width to 800\nMissing value after -w, keeping 800\n"
         "Setting DEFAULT height 720\nSetting DEFAULT refresh rate 60\nSetting DEFAULT brightness 1\n"
         "Setting DEFAULT fullscreen mode off\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parse(c.args).output, c.output);

    const Parsed parsed = parse(cases[1].args);
    EXPECT_EQ(parsed.monitorQueries, 0) << "the monitor is asked only for a missing rate";
    EXPECT_EQ(parsed.settings.width, 1024);
    EXPECT_EQ(parsed.settings.height, 768);
    EXPECT_EQ(parsed.settings.refreshRate, 144);
    EXPECT_TRUE(parsed.settings.fullscreen);
    EXPECT_FALSE(parse(cases[2].args).settings.fullscreen);
}

TEST(CommandLine, FullscreenIsOnOnlyForExactlyOn)
{
    for (const char* value : {"yes", "ON", "1", "on "}) {
        const Parsed parsed = parse({"--fullscreen", value});
        EXPECT_FALSE(parsed.settings.fullscreen) << value;
        EXPECT_EQ(parsed.output.find("DEFAULT fullscreen"), std::string::npos) << value;
        EXPECT_NE(parsed.output.find(std::string("Setting fullscreen mode ") + value + "\n"),
                  std::string::npos);
    }
}

TEST(CommandLine, UnknownNameSwallowsTheArgumentAfterIt)
{
    // -x takes -w as its value; 800 is then read as a name and matches nothing.
    EXPECT_EQ(parse({"-x", "-w", "800"}).output, allDefaults);
    EXPECT_EQ(parse({"--width=800", "-w", "640"}).output, allDefaults);
    EXPECT_EQ(parse({"-W", "800"}).settings.width, 1280) << "names are case-sensitive";
}

TEST(CommandLine, RepeatedOptionKeepsTheLastValueAndPrintsEach)
{
    const Parsed parsed = parse({"-w", "1024", "-w", "640"});
    EXPECT_EQ(parsed.settings.width, 640);
    EXPECT_EQ(parsed.output.rfind("Setting width to 1024\nSetting width to 640\n", 0), 0u);
}

TEST(CommandLine, ValuesConvertLikeAtoiAndAtofAndPrintAsTyped)
{
    const Parsed parsed = parse({"-w", "abc", "-h", "-5", "-b", "2.5x", "-rr", "75Hz"});
    EXPECT_EQ(parsed.settings.width, 0);
    EXPECT_EQ(parsed.settings.height, -5);
    EXPECT_FLOAT_EQ(parsed.settings.brightness, 2.5f);
    EXPECT_EQ(parsed.settings.refreshRate, 75);
    EXPECT_NE(parsed.output.find("Setting width to abc\n"), std::string::npos);
    EXPECT_NE(parsed.output.find("Setting brightness to 2.5x\n"), std::string::npos);
}

TEST(CommandLine, BrightnessThatCannotLightTheSceneKeepsTheValueBefore)
{
    // Each would draw a black picture: not a number, or past the brightest usable light.
    for (const char* value : {"nan", "NaN", "inf", "-inf", "1e40", "1e32", "-1e32", "1e999", "1e8",
                              "3000.01", "-1e8"}) {
        const Parsed parsed = parse({"-b", value});
        EXPECT_FLOAT_EQ(parsed.settings.brightness, 1.0f) << value;
        EXPECT_EQ(parsed.output, std::string("Unusable brightness ") + value +
                                     ", keeping its default\n"
                                     "Setting DEFAULT width 1280\nSetting DEFAULT height 720\n"
                                     "Setting DEFAULT refresh rate 60\nSetting DEFAULT brightness 1\n"
                                     "Setting DEFAULT fullscreen mode off\n");
    }
    const Parsed kept = parse({"-b", "0.5", "--brightness", "NaN"});
    EXPECT_FLOAT_EQ(kept.settings.brightness, 0.5f);
    EXPECT_EQ(kept.output.rfind("Setting brightness to 0.5\nUnusable brightness NaN, keeping 0.5\n", 0), 0u);
    EXPECT_EQ(kept.output.find("DEFAULT brightness"), std::string::npos);

    // The brightest usable light, either way, is used as typed.
    for (const char* value : {"3e3", "-3000"}) {
        const Parsed large = parse({"-b", value});
        EXPECT_FLOAT_EQ(std::fabs(large.settings.brightness), maxBrightness) << value;
        EXPECT_NE(large.output.find(std::string("Setting brightness to ") + value + "\n"), std::string::npos);
    }
}

TEST(CommandLine, BrightnessScalesTheLightColour)
{
    EXPECT_EQ(lightColorFor(0.5f), glm::vec3(5000000.0f));
    EXPECT_EQ(lightColorFor(1.0f), glm::vec3(10000000.0f));
}

TEST(CommandLine, SoundIsOnOrOffInAnyCaseAndSaysNothingByDefault)
{
    const Parsed plain = parse({});
    EXPECT_TRUE(plain.settings.sound);
    EXPECT_EQ(plain.output, allDefaults) << "a plain start prints what it always did";

    const Parsed off = parse({"-w", "800", "-snd", "off"});
    EXPECT_FALSE(off.settings.sound);
    EXPECT_EQ(off.output.rfind("Setting width to 800\nSetting sound off\nSetting DEFAULT height 720\n", 0), 0u)
        << off.output;
    // What the player typed, what the game took and what it said; the last usable value wins.
    const struct {
        std::vector<const char*> arguments;
        bool sound;
        const char* said;
    } cases[] = {
        {{"--sound", "OFF"}, false, "Setting sound off\n"},
        {{"-snd", "Off"}, false, "Setting sound off\n"},
        {{"-snd", "ON"}, true, "Setting sound on\n"},
        {{"-snd", "no"}, true, "Unusable sound no (on or off), keeping its default\n"},
        {{"-snd", ""}, true, "Unusable sound  (on or off), keeping its default\n"},
        {{"-snd", "off", "-snd", "offf"}, false, "Setting sound off\nUnusable sound offf (on or off), keeping off\n"},
        {{"-snd", "off", "-snd", "on"}, true, "Setting sound off\nSetting sound on\n"},
    };
    for (const auto& example : cases) {
        const Parsed parsed = parse(example.arguments);
        EXPECT_EQ(parsed.settings.sound, example.sound) << example.arguments.back();
        EXPECT_EQ(parsed.output.rfind(example.said, 0), 0u) << parsed.output;
    }
    // An older build skips -snd with its value; this one must not take the value for a name.
    EXPECT_EQ(parse({"-snd", "-w", "-w", "640"}).settings.width, 640);
}
