// The real game started in a copy of its run directory with data files missing or spoiled:
// shaders, models and the font stop it with their message and status 255; images are
// reported and the game plays on.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> smallGame() { return {orbeluneBinary(), "-w", "320", "-h", "240"}; }

size_t occurrences(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// A directory where a file should be: opening succeeds, reading does not.
void replaceWithDirectory(const std::string& path)
{
    fs::remove(path);
    fs::create_directory(path);
}

// Starts the game with `file` removed, or replaced by a directory, from a fresh run directory.
ProcessResult runWithout(const std::string& file, bool asDirectory)
{
    TempDir run;
    run.populateRunData();
    if (asDirectory)
        replaceWithDirectory(run.file(file));
    else
        fs::remove(run.file(file));
    return runProcess(smallGame(), run.path());
}

TEST(MissingData, EachShaderMissingOrUnreadableStopsWithItsPath)
{
    // One directory in the place of a file is enough: every stage is read the same way.
    for (const auto& [shader, asDirectory] :
         std::vector<std::pair<std::string, bool>>{{"pbr.vert", false}, {"pbr.frag", false}, {"pbr.frag", true},
                                                   {"passthrough.vert", false}, {"blur.frag", false},
                                                   {"bloom.frag", false}, {"particles.vert", false},
                                                   {"particles.frag", false}, {"text.vert", false},
                                                   {"text.frag", false}}) {
        const ProcessResult result = runWithout("shaders/" + shader, asDirectory);
        EXPECT_EQ(255, result.exitStatus) << shader << (asDirectory ? " as a directory\n" : "\n") << result.output;
        EXPECT_NE(result.output.find("Cannot load shader at ./shaders/" + shader + "\n"), std::string::npos)
            << result.output;
    }
}

TEST(MissingData, EachModelMissingOrUnreadableStopsWithTwoLines)
{
    // Every model is read the same way: one as a directory is enough.
    for (const auto& [model, asDirectory] :
         std::vector<std::pair<std::string, bool>>{{"star-wars-arc-170-pbr.obj", false}, {"sphere.obj", false},
                                                   {"Rock.obj", false}, {"star.obj", false}, {"star.obj", true}}) {
        const ProcessResult result = runWithout("assets/" + model, asDirectory);
        EXPECT_EQ(255, result.exitStatus) << model << "\n" << result.output;
        EXPECT_NE(result.output.find("Cannot load ./assets/" + model + "\n\t"), std::string::npos) << result.output;
        EXPECT_EQ(result.output.find("Initialization DONE."), std::string::npos) << model;
    }
}

TEST(MissingData, EveryImageSpoiledIsReportedAndTheGameStillPlays)
{
    TempDir run;
    run.populateRunData();
    // Each image spoiled a different way; the number is how often the scene loads it.
    const struct {
        const char* name;
        int loads;
    } images[] = {
        {"greasy-pan-2-albedo.png", 1},   {"greasy-pan-2-normal.png", 1},   {"greasy-pan-2-metal.png", 2},
        {"greasy-pan-2-roughness.png", 1}, {"cratered-rock-albedo.png", 1}, {"cratered-rock-normal.png", 1},
        {"cratered-rock-height.png", 2},  {"cratered-rock-ao.png", 1},      {"gold-scuffed_basecolor.png", 1},
        {"gold-scuffed_normal.png", 1},   {"gold-scuffed_metallic.png", 1}, {"gold-scuffed_roughness.png", 2},
        {"Earth.jpg", 1},
    };
    int spoiling = 0;
    for (const auto& image : images) {
        const std::string path = run.file(std::string("assets/") + image.name);
        switch (spoiling++ % 5) {
        case 0: fs::remove(path); break;
        case 1: run.write(std::string("assets/") + image.name, ""); break;
        case 2: {
            const std::string bytes = readFile(path);
            run.write(std::string("assets/") + image.name, bytes.substr(0, bytes.size() / 3));
            break;
        }
        case 3: run.write(std::string("assets/") + image.name, std::string(4096, '\x5a')); break;
        default: replaceWithDirectory(path); break;
        }
    }

    ChildProcess game(smallGame(), run.path());
    ASSERT_TRUE(game.waitForOutput("Initialization DONE.\n", 120)) << game.output();
    for (const auto& image : images) {
        const std::string message = std::string("Texture failed to load at path: ./assets/") + image.name + "\n";
        EXPECT_EQ(image.loads, static_cast<int>(occurrences(game.output(), message))) << game.output();
    }
    EXPECT_EQ(4u, occurrences(game.output(), " loaded.\n")) << "only the four models load";
    ASSERT_TRUE(pressKeys("Escape"));
    EXPECT_EQ(0, game.wait(60)) << game.output();
}

TEST(MissingData, NoArialMetricFontStopsWithItsMessage)
{
    TempDir run;
    run.populateRunData();
    // No font folder at all, and a folder whose only sans face has other metrics.
    for (const std::string folders : {"", "<dir>/usr/share/fonts/truetype/dejavu</dir>"}) {
        SCOPED_TRACE(folders);
        run.write("fonts.conf", "<?xml version=\"1.0\"?>\n<fontconfig>" + folders + "<cachedir>" +
                                    run.file("cache") + "</cachedir></fontconfig>\n");
        std::vector<std::string> command = {"/usr/bin/env", "FONTCONFIG_FILE=" + run.file("fonts.conf")};
        for (const std::string& arg : smallGame())
            command.push_back(arg);
        const ProcessResult result = runProcess(command, run.path(), "", 120);
        EXPECT_EQ(255, result.exitStatus) << result.output;
        EXPECT_NE(result.output.find("Can't load arial font!\n"), std::string::npos) << result.output;
        EXPECT_EQ(result.output.find("Initialization DONE."), std::string::npos);
    }
}

} // namespace
