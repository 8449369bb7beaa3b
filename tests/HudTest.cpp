#include "HudDrawing.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "AppState.h"
#include "HighScoreTable.h"
#include "Object.h"
#include "Scene.h"
#include "Settings.h"
#include "TestSupport.h"

namespace {

HudState defaultState()
{
    HudState state;
    state.width = 1280;
    state.height = 720;
    state.frameTime = 1.0f / 60.0f;
    state.fuel = 87.4f;
    state.lives = 9;
    state.drawnAsteroids = 42;
    return state;
}

std::vector<std::string> texts(const std::vector<TextLine>& lines)
{
    std::vector<std::string> result;
    for (const TextLine& line : lines)
        result.push_back(line.text);
    return result;
}

const TextLine* findLine(const std::vector<TextLine>& lines, const std::string& prefix)
{
    for (const TextLine& line : lines)
        if (line.text.rfind(prefix, 0) == 0)
            return &line;
    return nullptr;
}

} // namespace

TEST(HudLines, AllTenLinesWithTextsPositionsScalesAndColours)
{
    HudState state = defaultState();
    state.invulnerableTime = 1.45f;
    state.bloomEnabled = false;
    const std::vector<TextLine> lines = composeHud(state);
    const std::vector<std::string> expected = {
        "59 fps", "0.016667 s", "Fuel: 87", "Lives: 9", "Invulnerable!! 14", "HDR: ON",
        "Bloom: OFF", "Frustum-culling: OFF", "Rendering 42 asteroids", "Collision: ON"};
    EXPECT_EQ(texts(lines), expected);

    const float xy[10][2] = {{100, 100}, {100, 50},  {1080, 670}, {200, 670}, {200, 620},
                             {880, 100}, {880, 150}, {880, 200},  {880, 250}, {880, 300}};
    ASSERT_EQ(lines.size(), 10u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i].text);
        EXPECT_EQ(lines[i].x, xy[i][0]);
        EXPECT_EQ(lines[i].y, xy[i][1]);
        EXPECT_EQ(lines[i].scale, 0.5f);
        const glm::vec3 colour = i == 4 ? glm::vec3(1, 0, 0) : glm::vec3(1, 1, 1);
        EXPECT_EQ(lines[i].color, colour);
    }
}

TEST(HudLines, NumbersAreTruncatedAndNeverShowInfinityOrOverflow)
{
    const struct {
        float frameTime, fuel;
        int lives;
        const char *fps, *seconds, *fuelText, *livesText;
    } cases[] = {
        {0.016f, 87.4f, 9, "62 fps", nullptr, nullptr, nullptr}, // 62.5
        {0.25f, 9.9f, 9, "4 fps", "0.250000 s", "Fuel: 9", nullptr},
        {0.0f, -0.5f, 9, "0 fps", "0.000000 s", "Fuel: 0", nullptr},
        {std::numeric_limits<float>::denorm_min(), -3.7f, 9, "0 fps", nullptr, "Fuel: -3", nullptr}, // 1/t is inf
        {1e-30f, 1e20f, -1, "2147483647 fps", nullptr, "Fuel: 2147483647", "Lives: -1"},
        {std::numeric_limits<float>::quiet_NaN(), 1.0f, 9, "0 fps", nullptr, nullptr, nullptr},
        {-0.5f, 1.0f, 9, "0 fps", nullptr, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        HudState state = defaultState();
        state.frameTime = c.frameTime;
        state.fuel = c.fuel;
        state.lives = c.lives;
        const std::vector<TextLine> lines = composeHud(state);
        EXPECT_EQ(lines[0].text, c.fps) << c.frameTime;
        if (c.seconds) {
            EXPECT_EQ(lines[1].text, c.seconds);
        }
        if (c.fuelText) {
            EXPECT_EQ(findLine(lines, "Fuel:")->text, c.fuelText);
        }
        if (c.livesText) {
            EXPECT_EQ(findLine(lines, "Lives:")->text, c.livesText);
        }
    }
}

TEST(HudLines, InvulnerabilityCountdownInTenthsAndHiddenAtZero)
{
    HudState state = defaultState();
    for (const auto& [time, text] : {std::pair{2.0f, "Invulnerable!! 20"}, std::pair{0.05f, "Invulnerable!! 0"}}) {
        state.invulnerableTime = time;
        ASSERT_NE(findLine(composeHud(state), "Invulnerable!!"), nullptr);
        EXPECT_EQ(findLine(composeHud(state), "Invulnerable!!")->text, text);
    }
    for (float time : {0.0f, -0.01f}) { // the timer may end slightly below zero
        state.invulnerableTime = time;
        EXPECT_EQ(findLine(composeHud(state), "Invulnerable!!"), nullptr);
        EXPECT_EQ(composeHud(state).size(), 9u);
    }
}

TEST(HudLines, FrameStatsOffRemovesOnlyTheFirstTwoLines)
{
    HudState state = defaultState();
    const std::vector<std::string> all = texts(composeHud(state));
    state.showFrameStats = false;
    const std::vector<std::string> without = texts(composeHud(state));
    EXPECT_EQ(without, std::vector<std::string>(all.begin() + 2, all.end()));
}

TEST(HudLines, SwitchesAndLayoutFollowTheState)
{
    HudState state = defaultState();
    state.width = 801;
    state.height = 599;
    state.hdrEnabled = false;
    state.frustumCulling = true;
    state.collisionsEnabled = false;
    state.drawnAsteroids = 0;
    const std::vector<TextLine> lines = composeHud(state);
    EXPECT_EQ(findLine(lines, "HDR:")->text, "HDR: OFF");
    EXPECT_EQ(findLine(lines, "Frustum-culling:")->text, "Frustum-culling: ON");
    EXPECT_EQ(findLine(lines, "Collision:")->text, "Collision: OFF");
    EXPECT_EQ(findLine(lines, "Rendering")->text, "Rendering 0 asteroids");
    EXPECT_EQ(findLine(lines, "Fuel:")->x, 601.0f);
    EXPECT_EQ(findLine(lines, "Fuel:")->y, 549.0f);
    EXPECT_EQ(findLine(lines, "HDR:")->x, 401.0f);
}

TEST(HudLines, ReusedBufferShrinksAndGrowsWithTheLineCount)
{
    std::vector<TextLine> lines;
    HudState state = defaultState();
    state.invulnerableTime = 1.0f;
    composeHud(state, lines);
    EXPECT_EQ(lines.size(), 10u);
    state.invulnerableTime = 0.0f;
    state.showFrameStats = false;
    composeHud(state, lines);
    EXPECT_EQ(texts(lines), texts(composeHud(state)));
    state.showFrameStats = true;
    composeHud(state, lines);
    EXPECT_EQ(texts(lines), texts(composeHud(state)));
}

TEST(EndMessages, TextsPositionsAndColours)
{
    const glm::vec3 white(1, 1, 1), red(1, 0, 0);
    const struct {
        EndMessage message;
        int width, height;
        const char* text;
        float x, y;
        glm::vec3 color;
    } cases[] = {
        {EndMessage::won, 1285, 721, "You Won! Please enter your name on the console", 128, 360, white},
        {EndMessage::notEnoughFuel, 1280, 720, "NOT ENOUGH FUEL", 200, 670, red},
        {EndMessage::gameOver, 1280, 720, "NO LIVES LEFT - GAME OVER", 128, 360, red},
    };
    for (const auto& c : cases) {
        const TextLine line = composeMessage(c.message, c.width, c.height);
        EXPECT_EQ(line.text, c.text);
        EXPECT_EQ(line.x, c.x) << c.text;
        EXPECT_EQ(line.y, c.y) << c.text;
        EXPECT_EQ(line.scale, 1.0f) << c.text;
        EXPECT_EQ(line.color, c.color) << c.text;
    }
}

TEST(ScoreTable, BestTenOfTwelveSortedInPlaceAndLaidOutDownwards)
{
    HighScoreTable table;
    for (int i = 0; i < 12; ++i)
        table.entries.emplace_back("p" + std::to_string(i), static_cast<float>((i * 7) % 12));
    const std::vector<TextLine> lines = composeScoreTable(table, 1281, 720);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0].text, "p5 11.000000");
    EXPECT_EQ(lines[9].text, "p2 2.000000"); // scores 0 to 11, each once: no ties
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].x, 640.0f);
        EXPECT_EQ(lines[i].y, static_cast<float>(720 - 40 - 40 * static_cast<int>(i)));
        EXPECT_EQ(lines[i].scale, 0.75f);
        EXPECT_EQ(lines[i].color, glm::vec3(1, 1, 1));
    }
    ASSERT_EQ(table.entries.size(), 12u);
    EXPECT_TRUE(std::is_sorted(table.entries.begin(), table.entries.end(),
                               [](const auto& a, const auto& b) { return a.second > b.second; }));
}

TEST(ScoreTable, ShortEmptyAndOddTables)
{
    HighScoreTable empty;
    EXPECT_TRUE(composeScoreTable(empty, 1280, 720).empty());

    HighScoreTable table;
    table.entries = {{"Pilot", 87.0f}, {"Ace", 99.5f}, {"Nobody", std::nanf("")}, {"Low", -1.0f}};
    const std::vector<TextLine> lines = composeScoreTable(table, 1280, 720);
    EXPECT_EQ(texts(lines), (std::vector<std::string>{"Ace 99.500000", "Pilot 87.000000",
                                                      "Low -1.000000", "Nobody nan"}));
    EXPECT_EQ(lines[2].y, 600.0f);
}

// Characters drawn while `action` runs: every byte with a glyph is one two-triangle quad.
unsigned int glyphsDrawn(const std::function<void()>& action)
{
    return countPrimitives(GL_PRIMITIVES_GENERATED, action) / 2;
}

TEST(HudDrawing, DrawsTheComposedLinesFromTheGameGlobals)
{
    ensureGlContext();
    TempDir files;
    files.write("text.vert", testTextVertexShader);
    files.write("text.frag", testTextFragmentShader);
    textRenderer.init(files.file("text.vert"), files.file("text.frag"));
    settings.width = 1280;
    settings.height = 720;
    deltaTime = 0.0f;

    // No ship yet: no invulnerability line, and no crash.
    deleteAllObjects();
    const unsigned int withoutShip = glyphsDrawn([] { drawHud(3); });
    EXPECT_GT(withoutShip, 100u);

    Object* ship = new Object;
    ship->invulnerableTime = 2.0f;
    sceneObjects.push_back(ship);
    const unsigned int invulnerable = glyphsDrawn([] { drawHud(3); });
    EXPECT_EQ(invulnerable - withoutShip, std::string("Invulnerable!! 20").size());
    deleteAllObjects();

    EXPECT_EQ(glyphsDrawn([] { drawMessage(EndMessage::notEnoughFuel); }),
              std::string("NOT ENOUGH FUEL").size());
    HighScoreTable table;
    table.entries = {{"Ace", 1.0f}, {"Pilot", 2.0f}};
    EXPECT_EQ(glyphsDrawn([&table] { drawScoreTable(table, textRenderer, 1280, 720); }),
              std::string("Pilot 2.000000Ace 1.000000").size());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
