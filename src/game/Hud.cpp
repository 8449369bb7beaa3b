// Heads-up lines, end-of-game messages and the high-score table, composed apart from GL.
#include "Hud.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>

#include "HighScoreTable.h"

namespace {

const glm::vec3 white(1.0f, 1.0f, 1.0f);
const glm::vec3 red(1.0f, 0.0f, 0.0f);
constexpr float hudScale = 0.5f;
constexpr float messageScale = 1.0f;
constexpr float scoreScale = 0.75f;
constexpr std::size_t maxScoreLines = 10;
constexpr int scoreLineSpacing = 40; // pixels between high-score lines
// HUD layout in window pixels from the bottom-left: a left column for the frame statistics,
// a top row for fuel and lives, and a column of switches 400 pixels in from the right edge.
constexpr int statsX = 100;
constexpr int lineStep = 50;               // between HUD lines
constexpr int topRowDrop = 50;             // the top row's baseline below the top edge
constexpr int livesX = 200;
constexpr int fuelFromRight = 200;
constexpr int switchesFromRight = 400;

// Truncates towards zero like a plain cast, but NaN gives 0 and values beyond int saturate,
// where the plain cast would be undefined.
int truncateToInt(float value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483648.0f)
        return INT_MAX;
    if (value <= -2147483648.0f)
        return INT_MIN;
    return static_cast<int>(value);
}

const char* onOff(bool value) { return value ? "ON" : "OFF"; }

// Rewrites `line` in place so its string reuses the capacity of earlier frames.
void setLine(TextLine& line, const char* text, int x, int y, const glm::vec3& color)
{
    line.text.assign(text);
    line.x = static_cast<float>(x);
    line.y = static_cast<float>(y);
    line.scale = hudScale;
    line.color = color;
}

} // namespace

void composeHud(const HudState& state, std::vector<TextLine>& lines)
{
    const int w = state.width;
    const int h = state.height;
    std::size_t used = 0;
    // Grows only in the first frames; afterwards every line overwrites an existing slot.
    auto next = [&lines, &used]() -> TextLine& {
        if (used == lines.size())
            lines.emplace_back();
        return lines[used++];
    };
    char text[96];

    if (state.showFrameStats) {
        // NOTE: a frame time of 0 (or below, or NaN, or so small that the rate overflows to
        // infinity) has no meaningful rate; it shows "0 fps" rather than "inf" so the line
        // stays in place and no infinite value is converted to an integer.
        const float rate = 1.0f / state.frameTime;
        const int fps = state.frameTime > 0.0f && std::isfinite(rate) ? truncateToInt(rate) : 0;
        std::snprintf(text, sizeof text, "%d fps", fps);
        setLine(next(), text, statsX, 2 * lineStep, white);
        std::snprintf(text, sizeof text, "%f s", static_cast<double>(state.frameTime));
        setLine(next(), text, statsX, lineStep, white);
    }
    std::snprintf(text, sizeof text, "Fuel: %d", truncateToInt(state.fuel));
    setLine(next(), text, w - fuelFromRight, h - topRowDrop, white);
    std::snprintf(text, sizeof text, "Lives: %d", state.lives);
    setLine(next(), text, livesX, h - topRowDrop, white);
    if (state.invulnerableTime > 0.0f) {
        std::snprintf(text, sizeof text, "Invulnerable!! %d",
                      truncateToInt(state.invulnerableTime * 10.0f));
        setLine(next(), text, livesX, h - topRowDrop - lineStep, red);
    }
    std::snprintf(text, sizeof text, "HDR: %s", onOff(state.hdrEnabled));
    setLine(next(), text, w - switchesFromRight, 2 * lineStep, white);
    std::snprintf(text, sizeof text, "Bloom: %s", onOff(state.bloomEnabled));
    setLine(next(), text, w - switchesFromRight, 3 * lineStep, white);
    std::snprintf(text, sizeof text, "Frustum-culling: %s", onOff(state.frustumCulling));
    setLine(next(), text, w - switchesFromRight, 4 * lineStep, white);
    std::snprintf(text, sizeof text, "Rendering %d asteroids", state.drawnAsteroids);
    setLine(next(), text, w - switchesFromRight, 5 * lineStep, white);
    std::snprintf(text, sizeof text, "Collision: %s", onOff(state.collisionsEnabled));
    setLine(next(), text, w - switchesFromRight, 6 * lineStep, white);

    lines.resize(used);
}

std::vector<TextLine> composeHud(const HudState& state)
{
    std::vector<TextLine> lines;
    composeHud(state, lines);
    return lines;
}

TextLine composePausedLine(int width, int height, float (*advance)(const std::string& text))
{
    TextLine line;
    line.text = "Paused";
    line.scale = messageScale;
    line.x = std::floor((static_cast<float>(width) - advance(line.text) * messageScale) / 2.0f);
    line.y = static_cast<float>(height / 2);
    line.color = white;
    return line;
}

TextLine composeMessage(EndMessage message, int width, int height)
{
    TextLine line;
    line.scale = messageScale;
    switch (message) {
    case EndMessage::won:
        line.text = "You Won! Please enter your name on the console";
        line.x = static_cast<float>(width / 10);
        line.y = static_cast<float>(height / 2);
        line.color = white;
        break;
    case EndMessage::notEnoughFuel:
        line.text = "NOT ENOUGH FUEL";
        line.x = static_cast<float>(livesX);
        line.y = static_cast<float>(height - topRowDrop);
        line.color = red;
        break;
    case EndMessage::gameOver:
        line.text = "NO LIVES LEFT - GAME OVER";
        line.x = static_cast<float>(width / 10);
        line.y = static_cast<float>(height / 2);
        line.color = red;
        break;
    }
    return line;
}

std::vector<TextLine> composeScoreTable(HighScoreTable& table, int width, int height)
{
    // NOTE: a score that is not a number sorts last; compared as it is, it would break the
    // strict ordering std::sort needs.
    auto rank = [](float score) {
        return std::isnan(score) ? -std::numeric_limits<float>::infinity() : score;
    };
    std::sort(table.entries.begin(), table.entries.end(),
              [&rank](const auto& a, const auto& b) { return rank(a.second) > rank(b.second); });

    std::vector<TextLine> lines;
    const std::size_t shown = std::min(table.entries.size(), maxScoreLines);
    lines.reserve(shown);
    char score[64];
    for (std::size_t i = 0; i < shown; ++i) {
        const auto& entry = table.entries[i];
        std::snprintf(score, sizeof score, "%f", static_cast<double>(entry.second));
        TextLine line;
        line.text = entry.first + " " + score;
        line.x = static_cast<float>(width / 2);
        line.y = static_cast<float>(height - scoreLineSpacing - scoreLineSpacing * static_cast<int>(i));
        line.scale = scoreScale;
        line.color = white;
        lines.push_back(std::move(line));
    }
    return lines;
}
