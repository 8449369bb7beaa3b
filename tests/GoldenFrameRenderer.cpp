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

#include <glm/geometric.hpp>
#include <stb_image_write.h>

#include "AppState.h"
#include "CommandLine.h"
#include "Controls.h"
#include "FrameClock.h"
#include "FrameLoop.h"
#include "FrameRenderer.h"
#include "GameRules.h"
#include "HighScoreTable.h"
#include "Object.h"
#include "Input.h"
#include "Settings.h"
#include "Startup.h"

namespace {

// The default window, where the HUD is laid out as players see it.
constexpr int frameWidth = 1280;
constexpr int frameHeight = 720;
// The frames that only lead up to a moment are drawn this small, through the game's own
// resize, then the window is given its full size for the last few. Same aspect ratio, so the
// projection and the culling are the same; drawing the lead-up at full size would take minutes.
constexpr int leadUpWidth = 320;
constexpr int leadUpHeight = 180;
constexpr float fixedFrameTime = 1.0f / 60.0f;
// Far more frames than any moment needs; reaching it means the moment never came.
constexpr int frameLimit = 3000;

[[noreturn]] void fail(const std::string& reason)
{
    std::cerr << "golden render: " << reason << std::endl;
    std::exit(EXIT_FAILURE);
}

// The game's own start-up, in a hidden window: the picture is read back, and a mapped window
// could take the keys that end-to-end tests send on the same display.
void startGoldenGame()
{
    Settings wanted = settings;
    wanted.width = frameWidth;
    wanted.height = frameHeight;
    if (startGame(wanted, false) != StartupFailure::none)
        fail("no 3.3 core window with GL loaded: run under Xvfb");
    onWindowSize(window, leadUpWidth, leadUpHeight);
}

// The last picture drawn at full size, taken at the end of the HUD pass: the frame pass
// presents it right after, and what a swap leaves in the back buffer is undefined.
std::vector<unsigned char> picture;
bool fullSize = false;

void keepPicture(FramePass pass, bool begin)
{
    if (pass != FramePass::hud || begin || !fullSize)
        return;
    picture.resize(static_cast<std::size_t>(frameWidth) * frameHeight * 3);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, frameWidth, frameHeight, GL_RGB, GL_UNSIGNED_BYTE, picture.data());
}

// One pass of the game's frame loop that counts exactly 1/60 s: each starts from a reset
// clock, as the first frame after start-up does, so the world is the same on every machine.
void runFrame()
{
    resetFrameClock();
    runFramePass(fixedFrameTime);
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

// Gives the window its full size; every frame from here on is drawn as the picture will be.
void growToFullSize()
{
    onWindowSize(window, frameWidth, frameHeight);
    fullSize = true;
}

// The last `count` frames of a moment at full size; the first of them lets the exposure
// adapt to the full-sized image.
void fullSizeFrames(int count)
{
    growToFullSize();
    runFrames(count);
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
    runFrames(10);
    fullSizeFrames(2);
}

// Five seconds of asteroids with the ship climbing (E held), so that the oldest rocks, aimed
// where the camera was, pass below the view. Leaves one frame to draw.
void climbAmongAsteroids()
{
    keys['E'] = true;
    runFrames(298);
    keys['E'] = false;
    fullSizeFrames(1);
}

// True a few frames before the ship reaches the planet (it flies a sixth of a unit a frame).
bool nearlyAtThePlanet()
{
    const Object& ship = *sceneObjects[0];
    const Object& planet = *sceneObjects[1];
    return glm::distance(ship.position, planet.position) < planet.radius * planet.scale + 0.5f;
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
        {"first-frame", [] { fullSizeFrames(1); }},
        {"asteroids", [] { climbAmongAsteroids(); runFrame(); }},
        // The same world with F8 pressed for its last frame: the rocks out of view are
        // skipped and the HUD counts fewer.
        {"asteroids-culled", [] { climbAmongAsteroids(); lastFrameWith([] { frustumCulling = true; }); }},
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
             runFramesUntil(nearlyAtThePlanet);
             growToFullSize();
             runFramesUntil([] { return gameWon; });
         }},
        // The tenth hit, charged by the rules at the end of the frame.
        {"game-over",
         [] {
             runFrames(28);
             fullSizeFrames(2);
             lives = 0;
             sceneObjects[0]->hit = true;
             runFrame();
         }},
    };
    return list;
}

void writePicture(const std::string& path)
{
    if (picture.empty())
        fail("no frame was drawn at full size");
    stbi_flip_vertically_on_write(1); // GL rows run bottom to top
    if (!stbi_write_png(path.c_str(), frameWidth, frameHeight, 3, picture.data(), frameWidth * 3))
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

    framePassObserver = keepPicture;
    startGoldenGame();
    moment->play();
    writePicture(argv[2]);
    deleteAllObjects();
    return 0;
}
