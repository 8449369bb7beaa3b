// The real game binary, started the way a player starts it.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "GlTestSupport.h"

namespace {

// The command that starts the game; its window opens on this test process's own display.
std::vector<std::string> gameCommand(std::vector<std::string> args)
{
    usePrivateDisplay();
    args.insert(args.begin(), orbeluneBinary());
    return args;
}

// Lines of `text` that end in " loaded.".
size_t countLoadedLines(const std::string& text)
{
    size_t count = 0;
    for (size_t at = text.find(" loaded.\n"); at != std::string::npos; at = text.find(" loaded.\n", at + 1))
        ++count;
    return count;
}

} // namespace

TEST(StartupProcess, StartsPrintsItsSettingsAndQuitsOnEscape)
{
    TempDir run;
    run.populateRunData();
    ChildProcess game(gameCommand({"-w", "320", "-h", "240"}), run.path());
    ASSERT_TRUE(game.waitForOutput("Initialization DONE.\n", 60)) << game.output();

    const std::string& output = game.output();
    // Xvfb's monitor reports no refresh rate, hence the 0.
    EXPECT_EQ(output.rfind("Setting width to 320\n"
                           "Setting height to 240\n"
                           "Setting DEFAULT refresh rate 0\n"
                           "Setting DEFAULT brightness 1\n"
                           "Setting DEFAULT fullscreen mode off\n", 0), 0u)
        << output;
    // 16 textures and 4 models, all before the last line of start-up.
    EXPECT_EQ(countLoadedLines(output), 20u) << output;
    EXPECT_GT(output.find("Initialization DONE.\n"), output.rfind(" loaded.\n"));
    EXPECT_EQ(output.find("FAILED"), std::string::npos) << output;
    EXPECT_EQ(output.find("not complete"), std::string::npos) << output;

    ASSERT_TRUE(pressKeys("Escape"));
    EXPECT_EQ(game.wait(30), 0) << game.output();
}

TEST(StartupProcess, UnusableWindowSizeNamesTheFailedCondition)
{
    // The huge sizes once ended in a crash or an X error inside the window system.
    for (const std::vector<std::string>& size : std::vector<std::vector<std::string>>{
             {"-w", "abc"}, {"-w", "-5"}, {"-w", "99999999999", "-h", "99999999999"},
             {"-w", "2147483647", "-h", "100"}, {"-w", "40000", "-h", "40000"}}) {
        const ProcessResult result = runProcess(gameCommand(size), runDirectory());
        EXPECT_NE(result.exitStatus, 0) << size[1];
        EXPECT_LT(result.exitStatus, 128) << "a crash, not a clean failure: " << result.output;
        EXPECT_NE(result.output.find("src/main.cpp:"), std::string::npos) << result.output;
        EXPECT_NE(result.output.find("window != nullptr"), std::string::npos) << result.output;
    }
}

TEST(StartupProcess, MissingTextureIsReportedAndTheGameStillStarts)
{
    TempDir run;
    run.populateRunData();
    std::remove(run.file("assets/Earth.jpg").c_str());
    ChildProcess game(gameCommand({"-w", "320", "-h", "240", "--fullscreen"}), run.path());
    ASSERT_TRUE(game.waitForOutput("Initialization DONE.\n", 60)) << game.output();
    EXPECT_NE(game.output().find("Missing value after --fullscreen, keeping its default\n"),
              std::string::npos);
    EXPECT_NE(game.output().find("Texture failed to load at path: ./assets/Earth.jpg\n"),
              std::string::npos);
    ASSERT_TRUE(pressKeys("Escape"));
    EXPECT_EQ(game.wait(30), 0) << game.output();
}
