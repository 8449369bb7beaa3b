#include "Hud.h"

#include <glm/vec4.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <cmath>
#include <functional>
#include <limits>

#include "AppState.h"
#include "HighScoreTable.h"
#include "Object.h"
#include "Settings.h"

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

// Where a line's glyphs lie as (left, bottom, right, top), roughly: the 48-pixel font's
// letters average under two thirds of an em across and reach a quarter of one below the line.
glm::vec4 boxOf(const TextLine& line)
{
    const float em = 48.0f * line.scale;
    return {line.x, line.y - em / 4, line.x + static_cast<float>(line.text.size()) * em * 2 / 3, line.y + em};
}

// Frame statistics bottom-left, lives top-left with the warning under them, fuel top-right,
// and the switches a column bottom-right, read downwards from Collision; none overlap.
TEST(HudLines, AllTenLinesStayOnScreenApartAndInTheirCornersAtEveryWindowSize)
{
    HudState state = defaultState();
    state.invulnerableTime = 1.45f;
    state.bloomEnabled = false;
    for (const auto& [width, height] : {std::pair{800, 600}, {801, 599}, {1280, 720}, {3840, 2160}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        state.width = width;
        state.height = height;
        const std::vector<TextLine> lines = composeHud(state);
        ASSERT_EQ(texts(lines), (std::vector<std::string>{"59 fps", "0.016667 s", "Fuel: 87", "Lives: 9",
                                                          "Invulnerable!! 14", "HDR: ON", "Bloom: OFF",
                                                          "Frustum-culling: OFF", "Rendering 42 asteroids",
                                                          "Collision: ON"}));
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const glm::vec4 box = boxOf(lines[i]);
            EXPECT_TRUE(box.x >= 0 && box.y >= 0 && box.z <= width && box.w <= height) << lines[i].text;
            for (std::size_t j = 0; j < i; ++j) {
                const glm::vec4 other = boxOf(lines[j]);
                EXPECT_FALSE(box.x < other.z && other.x < box.z && box.y < other.w && other.y < box.w)
                    << lines[i].text << " overlaps " << lines[j].text;
            }
            EXPECT_EQ(lines[i].scale, lines[0].scale) << "one size for all";
            EXPECT_EQ(lines[i].color, i == 4 ? glm::vec3(1, 0, 0) : glm::vec3(1, 1, 1));
        }
        const float w = static_cast<float>(width), h = static_cast<float>(height);
        EXPECT_TRUE(lines[0].x == lines[1].x && lines[0].y > lines[1].y && lines[0].y < h / 4);
        EXPECT_TRUE(lines[2].y == lines[3].y && lines[2].y > h * 3 / 4 && boxOf(lines[2]).z > w - 200);
        EXPECT_TRUE(lines[3].x < w / 3 && lines[4].x == lines[3].x && lines[4].y < lines[3].y);
        for (std::size_t i = 6; i < lines.size(); ++i)
            EXPECT_TRUE(lines[i].x == lines[5].x && lines[i].x >= w / 2 && lines[i].y > lines[i - 1].y) << i;
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

TEST(HudLines, SwitchesFollowTheState)
{
    HudState state = defaultState();
    state.hdrEnabled = false;
    state.frustumCulling = true;
    state.collisionsEnabled = false;
    state.drawnAsteroids = 0;
    const std::vector<TextLine> lines = composeHud(state);
    EXPECT_EQ(findLine(lines, "HDR:")->text, "HDR: OFF");
    EXPECT_EQ(findLine(lines, "Frustum-culling:")->text, "Frustum-culling: ON");
    EXPECT_EQ(findLine(lines, "Collision:")->text, "Collision: OFF");
    EXPECT_EQ(findLine(lines, "Rendering")->text, "Rendering 0 asteroids");
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
