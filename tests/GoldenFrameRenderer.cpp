// Renders one named moment of the real game into a PNG, for the golden-frame test.
// Each moment runs in a process of its own so that it starts from the game's own random
// sequence and a fresh world, exactly as a player's game does.
//
//   orbelune_golden_render MOMENT OUTPUT.png SCOREFILE
//
// Run from the run directory (it reads ./shaders and ./assets like the game).
#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <stb_image_write.h>

#include "AppState.h"
#include "CommandLine.h"
#include "Controls.h"
#include "FrameRenderer.h"
#include "GameRules.h"
#include "HighScoreTable.h"
#include "Object.h"
#include "Settings.h"
#include "Startup.h"

namespace {

constexpr int frameWidth = 320;
constexpr int frameHeight = 180;
constexpr float fixedFrameTime = 1.0f / 60.0f;
// Far more frames than any moment needs; reaching it means the moment never came.
constexpr int frameLimit = 3000;

[[noreturn]] void fail(const std::string& reason)
{
    std::cerr << "golden render: " << reason << std::endl;
    std::exit(EXIT_FAILURE);
}

// The game's own start-up steps, in a hidden window: the picture is read back, and a
// mapped window could take the keys that end-to-end tests send on the same display.
void startGame()
{
    settings.width = frameWidth;
    settings.height = frameHeight;
    lightColor = lightColorFor(settings.brightness);
    if (!glfwInit())
        fail("glfwInit failed: run under Xvfb");
    window = openGameWindow(settings, false);
    if (!window)
        fail("no 3.3 core window");
    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK)
        fail("glewInit failed");
    prepareGame();
}

// One pass of the game's frame loop with the clock held at 1/60 s.
void runFrame()
{
    deltaTime = fixedFrameTime;
    glfwPollEvents();
    updateGame();
    if (!renderFrozen)
        renderFrame();
}

void runFramesUntil(const std::function<bool()>& reached)
{
    for (int frame = 0; !reached(); ++frame) {
        if (frame == frameLimit)
            fail("the moment never came");
        runFrame();
    }
}

void runFrames(int count)
{
    for (int i = 0; i < count; ++i)
        runFrame();
}

bool burstSeen = false;

// Flies at the star until it is picked up, then lets the burst spread for a few frames.
void flyThroughStar()
{
    auto emit = gameHooks.emitBurst;
    gameHooks.emitBurst = [emit](const glm::vec3& position) {
        burstSeen = true;
        emit(position);
    };
    keys['W'] = true;
    runFramesUntil([] { return burstSeen; });
    keys['W'] = false;
    runFrames(12);
}

// The last frame of a moment is drawn after `toggle`, so the world is the same as without it.
void lastFrameWith(const std::function<void()>& toggle)
{
    toggle();
    runFrame();
}

struct Moment {
    const char* name;
    std::function<void()> play;
};

const std::vector<Moment>& moments()
{
    static const std::vector<Moment> list = {
        {"first-frame", [] { runFrame(); }},
        {"asteroids", [] { runFrames(300); }},
        {"star-burst", [] { flyThroughStar(); }},
        {"star-burst-wireframe", [] { flyThroughStar(); lastFrameWith([] { wireframe = true; }); }},
        {"star-burst-hdr-off", [] { flyThroughStar(); lastFrameWith([] { hdrEnabled = false; }); }},
        {"star-burst-bloom-off", [] { flyThroughStar(); lastFrameWith([] { bloomEnabled = false; }); }},
        // F4 and F5 off, as a player may, so that the long flight reaches the planet.
        {"win-message",
         [] {
             collisionsEnabled = false;
             fuelDrain = false;
             keys['W'] = true;
             runFramesUntil([] { return gameWon; });
         }},
        // The tenth hit, charged by the rules at the end of the frame.
        {"game-over",
         [] {
             runFrames(30);
             lives = 0;
             sceneObjects[0]->hit = true;
             runFrame();
         }},
    };
    return list;
}

void writePicture(const std::string& path)
{
    std::vector<unsigned char> rgb(static_cast<std::size_t>(frameWidth) * frameHeight * 3);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, frameWidth, frameHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    stbi_flip_vertically_on_write(1); // GL rows run bottom to top
    if (!stbi_write_png(path.c_str(), frameWidth, frameHeight, 3, rgb.data(), frameWidth * 3))
        fail("cannot write " + path);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        fail("usage: orbelune_golden_render MOMENT OUTPUT.png SCOREFILE");
    const std::string name = argv[1];
    const Moment* moment = nullptr;
    for (const Moment& candidate : moments()) {
        if (name == candidate.name)
            moment = &candidate;
    }
    if (!moment)
        fail("no moment called " + name);

    // A known table, so the end screens show the same lines on every machine.
    gameHooks.scoreFile = argv[3];
    HighScoreTable table;
    table.add("Vega", 840.0f);
    table.add("Altair", 615.0f);
    table.add("Deneb", 230.0f);
    table.save(gameHooks.scoreFile);

    startGame();
    moment->play();
    writePicture(argv[2]);
    deleteAllObjects();
    return 0;
}
