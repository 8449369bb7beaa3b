#include "Hud.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <GL/glew.h>

#include <functional>

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

TEST(HudLines, FrameRateIsTheTruncatedSinglePrecisionReciprocal)
{
    HudState state = defaultState();
    state.frameTime = 0.016f; // 62.5
    EXPECT_EQ(composeHud(state)[0].text, "62 fps");
    state.frameTime = 0.25f;
    EXPECT_EQ(composeHud(state)[0].text, "4 fps");
    EXPECT_EQ(composeHud(state)[1].text, "0.250000 s");
}

TEST(HudLines, DegenerateFrameTimesNeverShowInfinityOrOverflow)
{
    HudState state = defaultState();
    state.frameTime = 0.0f;
    std::vector<TextLine> lines = composeHud(state);
    EXPECT_EQ(lines[0].text, "0 fps");
    EXPECT_EQ(lines[1].text, "0.000000 s");

    state.frameTime = std::numeric_limits<float>::denorm_min(); // 1 / t is infinite
    EXPECT_EQ(composeHud(state)[0].text, "0 fps");
    state.frameTime = 1e-30f; // finite, far beyond int
    EXPECT_EQ(composeHud(state)[0].text, "2147483647 fps");
    state.frameTime = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(composeHud(state)[0].text, "0 fps");
    state.frameTime = -0.5f;
    EXPECT_EQ(composeHud(state)[0].text, "0 fps");
}

TEST(HudLines, InvulnerabilityCountdownInTenthsAndHiddenAtZero)
{
    HudState state = defaultState();
    state.invulnerableTime = 2.0f;
    ASSERT_NE(findLine(composeHud(state), "Invulnerable!!"), nullptr);
    EXPECT_EQ(findLine(composeHud(state), "Invulnerable!!")->text, "Invulnerable!! 20");
    state.invulnerableTime = 0.05f;
    EXPECT_EQ(findLine(composeHud(state), "Invulnerable!!")->text, "Invulnerable!! 0");
    state.invulnerableTime = 0.0f;
    EXPECT_EQ(findLine(composeHud(state), "Invulnerable!!"), nullptr);
    // The timer may end slightly below zero.
    state.invulnerableTime = -0.01f;
    EXPECT_EQ(findLine(composeHud(state), "Invulnerable!!"), nullptr);
    EXPECT_EQ(composeHud(state).size(), 9u);
}

TEST(HudLines, FuelIsTruncatedTowardsZero)
{
    HudState state = defaultState();
    state.fuel = 9.9f;
    EXPECT_EQ(findLine(composeHud(state), "Fuel:")->text, "Fuel: 9");
    state.fuel = -0.5f;
    EXPECT_EQ(findLine(composeHud(state), "Fuel:")->text, "Fuel: 0");
    state.fuel = -3.7f;
    EXPECT_EQ(findLine(composeHud(state), "Fuel:")->text, "Fuel: -3");
    state.fuel = 1e20f;
    EXPECT_EQ(findLine(composeHud(state), "Fuel:")->text, "Fuel: 2147483647");
    state.lives = -1;
    EXPECT_EQ(findLine(composeHud(state), "Lives:")->text, "Lives: -1");
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
    const TextLine won = composeMessage(EndMessage::won, 1285, 721);
    EXPECT_EQ(won.text, "You Won! Please enter your name on the console");
    EXPECT_EQ(won.x, 128.0f);
    EXPECT_EQ(won.y, 360.0f);
    EXPECT_EQ(won.scale, 1.0f);
    EXPECT_EQ(won.color, glm::vec3(1, 1, 1));

    const TextLine fuel = composeMessage(EndMessage::notEnoughFuel, 1280, 720);
    EXPECT_EQ(fuel.text, "NOT ENOUGH FUEL");
    EXPECT_EQ(fuel.x, 200.0f);
    EXPECT_EQ(fuel.y, 670.0f);
    EXPECT_EQ(fuel.color, glm::vec3(1, 0, 0));

    const TextLine over = composeMessage(EndMessage::gameOver, 1280, 720);
    EXPECT_EQ(over.text, "NO LIVES LEFT - GAME OVER");
    EXPECT_EQ(over.x, 128.0f);
    EXPECT_EQ(over.y, 360.0f);
    EXPECT_EQ(over.scale, 1.0f);
    EXPECT_EQ(over.color, glm::vec3(1, 0, 0));
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

namespace {

// Characters drawn while `action` runs: every byte with a glyph is one two-triangle quad.
unsigned int glyphsDrawn(const std::function<void()>& action)
{
    unsigned int query = 0;
    glGenQueries(1, &query);
    glBeginQuery(GL_PRIMITIVES_GENERATED, query);
    action();
    glEndQuery(GL_PRIMITIVES_GENERATED);
    unsigned int triangles = 0;
    glGetQueryObjectuiv(query, GL_QUERY_RESULT, &triangles);
    glDeleteQueries(1, &query);
    return triangles / 2;
}

} // namespace

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
