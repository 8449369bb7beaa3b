// The real game, played through its window, keyboard, console and files, as a player would.
// Pictures are judged by pixel statistics, never by exact bytes: a driver update may move a
// pixel, but it will not turn the Earth black.
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "GlTestSupport.h"

namespace {

constexpr int windowWidth = 640;
constexpr int windowHeight = 360;

// Everything below waits for what it needs to see, up to this long; a loaded machine only
// makes the wait longer, never the test wrong.
constexpr double patience = 60.0;

void sleepSeconds(double seconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<long>(seconds * 1000)));
}

bool isLit(int r, int g, int b) { return r + g + b > 60; }
bool isOcean(int r, int /*g*/, int b) { return b > 90 && b > r + 30; }
bool isLand(int r, int g, int /*b*/) { return g > 60 && g > r; }
bool isWhite(int r, int g, int b) { return r > 200 && g > 200 && b > 200; }
bool isPureWhite(int r, int g, int b) { return r == 255 && g == 255 && b == 255; }
bool isRed(int r, int g, int b) { return r > 180 && g < 70 && b < 70; }

// One game in a private copy of the run directory, so scores never leak between tests.
class GameSession {
public:
    explicit GameSession(std::vector<std::string> extraArgs = {})
    {
        usePrivateDisplay();
        run_.populateRunData();
        std::vector<std::string> args = {orbeluneBinary(), "-w", std::to_string(windowWidth), "-h",
                                         std::to_string(windowHeight)};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        process_ = std::make_unique<ChildProcess>(args, run_.path());
    }

    const TempDir& run() const { return run_; }
    ChildProcess& process() { return *process_; }

    // Waits for start-up and a first frame with its HUD; false when the game never got there.
    bool start()
    {
        if (!process_->waitForOutput("Initialization DONE.\n", patience))
            return false;
        window_ = findGameWindow(patience);
        return !window_.empty() && !waitForShot(showsFrameTime).empty();
    }

    Screenshot shot() const { return captureWindow(window_); }

    // The first picture that `accept` takes, polling the window; empty on timeout.
    Screenshot waitForShot(const std::function<bool(const Screenshot&)>& accept,
                           double timeoutSeconds = patience) const
    {
        Screenshot found;
        waitUntil([&] {
            found = shot();
            return !found.empty() && accept(found);
        }, timeoutSeconds, 0.05);
        return !found.empty() && accept(found) ? found : Screenshot();
    }

    // A picture of a frame that began after this call, so it shows every key sent before.
    // The picture changes every frame (the planet turns); the first change may still come
    // from a frame under way, the second cannot.
    Screenshot freshShot() const
    {
        Screenshot last = shot();
        for (int change = 0; change < 2; ++change) {
            const Screenshot before = last;
            last = waitForShot([&before](const Screenshot& now) { return !(now == before); });
        }
        return last;
    }
    // A picture of a frame that saw `keys`. F2 follows them in the same burst, and a frame
    // without the frame-time line began after F2 was polled, so after every key before it;
    // counting picture changes instead can be fooled by a capture of a half-presented frame.
    // F2 again brings the line back before the next step. Empty on timeout.
    Screenshot shotAfterKeys(const std::string& keys) const
    {
        if (!pressKeys(keys.empty() ? "F2" : keys + " F2"))
            return Screenshot();
        const Screenshot seen = waitForShot([](const Screenshot& shot) { return !showsFrameTime(shot); });
        if (!pressKeys("F2") || waitForShot(showsFrameTime).empty())
            return Screenshot();
        return seen;
    }
    const std::string& window() const { return window_; }

    // Esc must end the game with status 0 whatever state it is in.
    int quit()
    {
        pressKeys("Escape");
        return process_->wait(30);
    }

private:
    // The frame-time line at (100, 50 from the bottom), over black space left of the planet.
    static bool showsFrameTime(const Screenshot& shot)
    {
        return shot.share(98, windowHeight - 72, 60, 28, isWhite) > 0.03;
    }

    TempDir run_;
    std::unique_ptr<ChildProcess> process_;
    std::string window_;
};

// Rectangle of the HUD line whose baseline starts at (x, y from the bottom), at scale 0.5.
struct HudBox {
    int x, y, w, h;
};
HudBox hudLine(int x, int yFromBottom, int width = 120)
{
    return {x - 2, windowHeight - yFromBottom - 22, width, 28};
}

double shareIn(const Screenshot& shot, HudBox box, bool (*test)(int, int, int))
{
    return shot.share(box.x, box.y, box.w, box.h, test);
}

// Frozen means the window keeps one picture over three captures in a row, each of which
// takes longer than a frame of the running game.
bool waitUntilFrozen(const GameSession& game)
{
    return waitUntil([&game] {
        const Screenshot first = game.shot();
        return !first.empty() && game.shot() == first && game.shot() == first;
    }, patience, 0.05);
}

// Share of one core the process used over `seconds` of wall-clock time, from /proc.
double cpuShare(int pid, double seconds)
{
    const auto cpuSeconds = [pid] {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string field;
        long ticks = 0;
        // utime and stime are fields 14 and 15; the text after the name starts at field 3.
        for (int index = 3; index <= 15 && fields >> field; ++index) {
            if (index >= 14)
                ticks += std::stol(field);
        }
        return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
    };
    const auto start = std::chrono::steady_clock::now();
    const double before = cpuSeconds();
    sleepSeconds(seconds);
    const double used = cpuSeconds() - before;
    return used / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The end screen is still: the frozen game must not spin a core while the table stays up.
void expectIdleWhileFrozen(GameSession& game)
{
    const double share = cpuShare(game.process().pid(), 2.0);
    std::cout << "CPU while frozen: " << share * 100.0 << " % of a core\n";
    EXPECT_LT(share, 0.5) << "a frozen game waits for events";
}

// Waits until a drawn frame shows red text in the middle band (the game-over line).
bool waitForRedMiddle(const GameSession& game, double timeoutSeconds)
{
    return waitUntil([&game] {
        return game.shot().share(windowWidth / 10, windowHeight / 2 - 45, 400, 55, isRed) > 0.02;
    }, timeoutSeconds, 0.1);
}

// Height in pixels of the text inside `box` (first to last row holding pure white). Only
// text is pure white: a bright cloud behind the box, white enough while the exposure
// settles, must not add rows.
int textHeight(const Screenshot& shot, HudBox box)
{
    int first = -1;
    int last = -1;
    for (int row = box.y; row < box.y + box.h; ++row) {
        if (shot.share(box.x, row, box.w, 1, isPureWhite) > 0.0) {
            if (first < 0)
                first = row;
            last = row;
        }
    }
    return first < 0 ? 0 : last - first + 1;
}

// Mean row of the lit pixels, text left out; the planet is most of them, so this follows it
// up and down the picture (rows count from the top).
double litRow(const Screenshot& shot)
{
    double rows = 0.0;
    long count = 0;
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            const unsigned char* p = &shot.rgb[3 * (static_cast<size_t>(y) * shot.width + x)];
            if (isLit(p[0], p[1], p[2]) && !isPureWhite(p[0], p[1], p[2])) {
                rows += y;
                ++count;
            }
        }
    }
    return count > 0 ? rows / count : -1.0;
}

// Holds `key` until the planet has moved well up or down the picture; returns the rows it
// moved, down positive, or 0 when it stayed put.
double planetMoveWhileHeld(const GameSession& game, const std::string& key)
{
    const double from = litRow(game.shotAfterKeys(""));
    if (!holdKey(key, true))
        return 0.0;
    const Screenshot moved = game.waitForShot([from](const Screenshot& s) { return std::fabs(litRow(s) - from) > 12.0; });
    holdKey(key, false);
    return moved.empty() ? 0.0 : litRow(moved) - from;
}

bool resizeWindow(const GameSession& game, int width, int height)
{
    const std::string command = "xdotool windowsize --sync " + game.window() + " " + std::to_string(width) +
                                " " + std::to_string(height) + " 2>/dev/null";
    const auto resized = [=](const Screenshot& shot) { return shot.width == width && shot.height == height; };
    return std::system(command.c_str()) == 0 && !game.waitForShot(resized).empty();
}

} // namespace

TEST(EndToEnd, OpensOnTheEarthWithTheHudInPlace)
{
    // On a driver that offers OpenGL 3.3 and nothing newer, as the oldest the game supports
    // would (Mesa's llvmpipe otherwise offers 4.5 and hides a request for too new a version).
    setenv("MESA_GL_VERSION_OVERRIDE", "3.3", 1);
    GameSession game;
    ASSERT_TRUE(game.start()) << game.process().output();
    // The exposure needs a few frames to settle on the lit Earth.
    Screenshot shot =
        game.waitForShot([](const Screenshot& s) { return s.share(isLit) > 0.25 && s.share(isOcean) > 0.03; });
    if (shot.empty())
        shot = game.shot();
    ASSERT_EQ(shot.width, windowWidth);
    ASSERT_EQ(shot.height, windowHeight);

    EXPECT_GT(shot.share(isLit), 0.25) << "the Earth fills much of the view";
    EXPECT_GT(shot.share(isOcean), 0.03) << "oceans";
    EXPECT_GT(shot.share(isLand), 0.01) << "continents";
    // Lives at (200, H-50) and Fuel at (W-200, H-50): white text where the layout puts it.
    EXPECT_GT(shareIn(shot, hudLine(200, windowHeight - 50, 90), isWhite), 0.04);
    EXPECT_GT(shareIn(shot, hudLine(windowWidth - 200, windowHeight - 50, 100), isWhite), 0.04);
    // Frame statistics at (100, 100) and (100, 50), off the planet on the left.
    EXPECT_GT(shareIn(shot, hudLine(100, 50, 60), isWhite), 0.03);
    EXPECT_EQ(game.quit(), 0);
}

TEST(EndToEnd, ToggleKeysChangeThePictureTheWayTheyShould)
{
    GameSession game;
    ASSERT_TRUE(game.start()) << game.process().output();
    const HudBox frameTime = hudLine(100, 50, 60);
    const HudBox earth{windowWidth / 2 - 80, windowHeight / 2 - 80, 160, 120};

    const Screenshot normal = game.shot();
    ASSERT_GT(shareIn(normal, frameTime, isWhite), 0.03);

    pressKeys("F2");
    Screenshot noStats =
        game.waitForShot([&](const Screenshot& s) { return shareIn(s, frameTime, isWhite) == 0.0; });
    if (noStats.empty())
        noStats = game.shot();
    EXPECT_EQ(shareIn(noStats, frameTime, isWhite), 0.0) << "F2 removes the frame-time lines";
    EXPECT_GT(shareIn(noStats, hudLine(200, windowHeight - 50, 90), isWhite), 0.04) << "and only those";
    pressKeys("F2");

    // Waited for rather than taken two frames on: a loaded machine (the sanitizer pass) may
    // deliver the key a frame later than the picture changes.
    const double filled = normal.share(earth.x, earth.y, earth.w, earth.h, isLit);
    ASSERT_TRUE(pressKeys("F3"));
    Screenshot wire = game.waitForShot(
        [&](const Screenshot& s) { return s.share(earth.x, earth.y, earth.w, earth.h, isLit) < filled * 0.8; });
    if (wire.empty())
        wire = game.shot();
    ASSERT_TRUE(pressKeys("F3"));
    const double lines = wire.share(earth.x, earth.y, earth.w, earth.h, isLit);
    EXPECT_LT(lines, filled * 0.8) << "F3 draws the planet as lines: " << filled << " -> " << lines;
    EXPECT_GT(shareIn(wire, frameTime, isWhite), 0.03) << "text is never drawn as wireframe";

    // Bloom's glow is under 1 % of the picture, less than the exposure moves while the planet
    // turns, so its look is judged where the clock and the exposure are pinned (the golden
    // frames and PostProcessingTest). Here F7 must reach the frame: the HUD line grows from
    // "Bloom: ON" to "Bloom: OFF", and text is drawn over the composite in pure white, which
    // no exposure gives the picture below it.
    const HudBox bloomLineEnd{360, windowHeight - 150 - 22, 20, 28};
    const Screenshot bloomOn = game.shotAfterKeys("");
    const Screenshot bloomOff = game.shotAfterKeys("F7");
    ASSERT_TRUE(pressKeys("F7"));
    ASSERT_FALSE(bloomOn.empty() || bloomOff.empty());
    EXPECT_GT(shareIn(bloomOff, bloomLineEnd, isPureWhite), shareIn(bloomOn, bloomLineEnd, isPureWhite) + 0.01)
        << "F7 switches bloom off for the frame";

    // F6 the same way: "HDR: ON" becomes "HDR: OFF", and the scene, tone-mapped by its own
    // shader now, still reaches the window (the picture itself is pinned by the golden
    // frames, where the planet does not turn between two shots).
    const HudBox hdrLineEnd{343, windowHeight - 100 - 22, 10, 28};
    const Screenshot direct = game.shotAfterKeys("F6");
    ASSERT_FALSE(direct.empty());
    EXPECT_GT(shareIn(direct, hdrLineEnd, isPureWhite), shareIn(bloomOn, hdrLineEnd, isPureWhite) + 0.01)
        << "F6 switches HDR off for the frame";
    EXPECT_GT(direct.share(isOcean), 0.03) << "without HDR the scene still reaches the window";
    ASSERT_TRUE(pressKeys("F6"));

    // E is up as the player sees it: the ship rises, so the planet goes down the picture, and
    // Q brings it back up. Signs flipped anywhere from the key to the camera's up show here.
    const double up = planetMoveWhileHeld(game, "e");
    EXPECT_GT(up, 0.0) << "E moved the planet " << -up << " rows up the picture";
    const double down = planetMoveWhileHeld(game, "q");
    EXPECT_LT(down, 0.0) << "Q moved the planet " << down << " rows down the picture";
    std::cout << "planet's mean row: E moved it " << up << ", Q " << down << '\n';

    EXPECT_EQ(game.quit(), 0);
}

TEST(EndToEnd, FlyingIntoThePlanetWinsAndStoresTheNameAndRFliesAgain)
{
    GameSession game;
    ASSERT_TRUE(game.start()) << game.process().output();
    ASSERT_TRUE(holdKey("w", true));
    const bool asked = game.process().waitForOutput("Your Name: ", patience);
    holdKey("w", false);
    ASSERT_TRUE(asked) << "ten seconds of W reach the planet";

    // R while the name is asked is not yet the end screen's R: the table must still stand.
    ASSERT_TRUE(pressKeys("r"));
    // Two words: only the first is the name.
    game.process().writeInput("Ace of Spades\n");
    const std::string scoreFile = game.run().file("assets/scores.txt");
    EXPECT_TRUE(waitUntil([&] { return readFile(scoreFile).find('\n') != std::string::npos; }, patience, 0.05));
    const std::string scores = readFile(scoreFile);
    ASSERT_EQ(scores.rfind("Ace ", 0), 0u) << scores;
    EXPECT_EQ(scores.find('\n'), scores.size() - 1) << "exactly one line: " << scores;
    EXPECT_EQ(scores.find('.'), std::string::npos) << "whole scores print without a point: " << scores;
    const int score = std::atoi(scores.c_str() + 4);
    EXPECT_GE(score, 90) << "no fuel drain: the start fuel and any stars picked up";

    EXPECT_TRUE(waitUntilFrozen(game)) << "the window stays on the score table";
    expectIdleWhileFrozen(game);
    // The table's first line at (W/2, H-40).
    EXPECT_GT(game.shot().share(windowWidth / 2 - 2, 8, 200, 40, isWhite), 0.02);
    EXPECT_EQ(game.process().output().find("Your Name: "), game.process().output().rfind("Your Name: "));

    // R: a second flight in the same window, won and stored as the first.
    const Screenshot endScreen = game.shot();
    ASSERT_TRUE(pressKeys("r"));
    ASSERT_FALSE(game.waitForShot([&endScreen](const Screenshot& now) { return !(now == endScreen); }).empty())
        << "R left the end screen standing";
    ASSERT_TRUE(holdKey("w", true));
    const bool askedAgain = waitUntil([&] {
        const std::string said = game.process().output();
        return said.find("Your Name: ") != said.rfind("Your Name: ");
    }, patience, 0.05);
    holdKey("w", false);
    ASSERT_TRUE(askedAgain) << game.process().output();
    game.process().writeInput("Bea\n");
    EXPECT_TRUE(waitUntil([&] { return readFile(scoreFile).rfind("Bea ", std::string::npos) != std::string::npos; },
                          patience, 0.05));
    EXPECT_EQ(readFile(scoreFile).rfind("Ace ", 0), 0u) << readFile(scoreFile);
    const std::string said = game.process().output();
    EXPECT_EQ(said.find("Initialization DONE."), said.rfind("Initialization DONE.")) << said;
    EXPECT_EQ(game.quit(), 0);
}

// Something other than a file where the scores go: the win is refused with one line on
// standard error, and the game neither blocks on the pipe nor stops answering.
TEST(EndToEnd, ANamedPipeForTheScoreFileNeitherHangsNorStopsTheGame)
{
    GameSession game;
    const std::string scoreFile = game.run().file("assets/scores.txt");
    ASSERT_EQ(mkfifo(scoreFile.c_str(), 0666), 0);
    ASSERT_TRUE(game.start()) << game.process().output();
    ASSERT_TRUE(holdKey("w", true));
    const bool asked = game.process().waitForOutput("Your Name: ", patience);
    holdKey("w", false);
    ASSERT_TRUE(asked) << "ten seconds of W reach the planet";

    game.process().writeInput("Ace\n");
    EXPECT_TRUE(game.process().waitForOutput("named pipe", patience)) << game.process().output();
    EXPECT_TRUE(waitUntilFrozen(game)) << "the window stays on the (empty) score table";
    struct stat info;
    ASSERT_EQ(stat(scoreFile.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_EQ(game.quit(), 0);
}

TEST(EndToEnd, RunningOutOfFuelEndsWithoutANameEntry)
{
    GameSession game;
    game.run().write("assets/scores.txt", "Pilot 87\nNova 150\n");
    ASSERT_TRUE(game.start()) << game.process().output();
    pressKeys("F5");

    // NOTE: the low-fuel warning is not looked for here: it shows for one second of wall
    // time, which screenshots of a busy machine can miss. The rules and the HUD tests check
    // it frame by frame.
    EXPECT_TRUE(waitUntilFrozen(game));
    expectIdleWhileFrozen(game);
    const Screenshot table = game.shot();
    EXPECT_GT(table.share(windowWidth / 2 - 2, 8, 200, 40, isWhite), 0.02) << "best score first";
    EXPECT_GT(table.share(windowWidth / 2 - 2, 48, 200, 40, isWhite), 0.02) << "second best below";
    EXPECT_EQ(game.process().output().find("Your Name: "), std::string::npos);
    EXPECT_EQ(readFile(game.run().file("assets/scores.txt")), "Pilot 87\nNova 150\n");
    EXPECT_EQ(game.quit(), 0);
}

TEST(EndToEnd, LosingTheLastLifeShowsGameOverAndFreezes)
{
    // A ship whose collision box (60 % of its bounds) reaches over the whole spawn area:
    // every asteroid is born touching it, so the hits come as fast as invulnerability allows.
    GameSession game;
    game.run().write("assets/star-wars-arc-170-pbr.obj",
                     "v -20 -20 -300\nv 20 20 300\nv 20 -20 -300\nv -20 20 300\n"
                     "vn 1 0 0\nvt 0 0\nf 1/1/1 2/1/1 3/1/1\nf 1/1/1 4/1/1 2/1/1\n");
    ASSERT_TRUE(game.start()) << game.process().output();
    EXPECT_TRUE(waitForRedMiddle(game, 90)) << "NO LIVES LEFT - GAME OVER after ten hits";
    EXPECT_TRUE(waitUntilFrozen(game));
    EXPECT_EQ(game.process().output().find("Your Name: "), std::string::npos);
    EXPECT_EQ(game.quit(), 0);
}

TEST(EndToEnd, ResizingAndHidingTheWindowKeepsThePictureWhole)
{
    GameSession game;
    ASSERT_TRUE(game.start()) << game.process().output();
    // "Li" of the Lives line alone: at 640 wide the right-hand column starts at x 240.
    const HudBox lives = hudLine(200, windowHeight - 50, 36);
    const int textAtStart = textHeight(game.shot(), lives);
    ASSERT_GT(textAtStart, 8);

    ASSERT_TRUE(resizeWindow(game, 900, 500));
    Screenshot large = game.freshShot();
    ASSERT_EQ(large.width, 900);
    ASSERT_EQ(large.height, 500);
    EXPECT_GT(large.share(isOcean), 0.03) << "the scene fills the larger window";
    EXPECT_GT(large.share(900 - 200 - 2, 28, 100, 28, isWhite), 0.04) << "Fuel moved with the edge";
    EXPECT_EQ(textHeight(large, lives), textAtStart) << "text keeps its pixel size";

    for (const auto& size : {std::make_pair(1, 1), std::make_pair(320, 180), std::make_pair(2, 600)})
        resizeWindow(game, size.first, size.second);
    std::system(("xdotool windowunmap --sync " + game.window() + " 2>/dev/null").c_str());
    std::system(("xdotool windowmap --sync " + game.window() + " 2>/dev/null").c_str());
    ASSERT_TRUE(resizeWindow(game, windowWidth, windowHeight));
    ASSERT_TRUE(game.process().running()) << game.process().output();

    // Unmapped, the window may count as minimised and the flight wait paused: its picture is
    // drawn whole at the new size either way, so wait for that, not for the planet to turn.
    const Screenshot back = game.waitForShot(
        [&lives, textAtStart](const Screenshot& s) { return s.share(isOcean) > 0.02 && textHeight(s, lives) == textAtStart; });
    EXPECT_GT(back.share(isOcean), 0.02);
    EXPECT_EQ(textHeight(back, lives), textAtStart);
    EXPECT_EQ(game.process().output().find("not complete"), std::string::npos) << game.process().output();
    EXPECT_EQ(game.quit(), 0);
}
