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
    const Parsed parsed = parse({"-w", "800", "-h", "600"});
    EXPECT_EQ(parsed.output, "Setting width to 800\n"
                             "Setting height to 600\n"
                             "Setting DEFAULT refresh rate 60\n"
                             "Setting DEFAULT brightness 1\n"
                             "Setting DEFAULT fullscreen mode off\n");
    EXPECT_EQ(parsed.settings.width, 800);
    EXPECT_EQ(parsed.settings.height, 600);
}

TEST(CommandLine, LongFormsAndEveryOption)
{
    const Parsed parsed = parse({"--width", "1024", "--height", "768", "--refresh-rate", "144",
                                 "--brightness", "0.5", "--fullscreen", "on"});
    EXPECT_EQ(parsed.output, "Setting width to 1024\n"
                             "Setting height to 768\n"
                             "Setting refresh rate to 144\n"
                             "Setting brightness to 0.5\n"
                             "Setting fullscreen mode on\n");
    EXPECT_EQ(parsed.monitorQueries, 0) << "the monitor is asked only for a missing rate";
    EXPECT_EQ(parsed.settings.refreshRate, 144);
    EXPECT_TRUE(parsed.settings.fullscreen);
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

TEST(CommandLine, TrailingOptionWithoutValueSaysSoAndKeepsTheDefault)
{
    const Parsed parsed = parse({"-w", "800", "--fullscreen"});
    EXPECT_EQ(parsed.output, "Setting width to 800\n"
                             "Missing value after --fullscreen, keeping its default\n"
                             "Setting DEFAULT height 720\n"
                             "Setting DEFAULT refresh rate 60\n"
                             "Setting DEFAULT brightness 1\n"
                             "Setting DEFAULT fullscreen mode off\n");
    EXPECT_FALSE(parsed.settings.fullscreen);
}

TEST(CommandLine, BrightnessScalesTheLightColour)
{
    EXPECT_EQ(lightColorFor(0.5f), glm::vec3(5000000.0f));
    EXPECT_EQ(lightColorFor(1.0f), glm::vec3(10000000.0f));
}
