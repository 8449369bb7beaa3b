// The composed HUD, messages and score table drawn through the text renderer.
#include "HudDrawing.h"

#include <vector>

#include "GameRules.h"
#include "Object.h"
#include "RenderResources.h"
#include "TextRenderer.h"

namespace {

void drawLine(TextRenderer& renderer, const TextLine& line, int width, int height)
{
    renderer.renderText(line.text, line.x, line.y, line.scale, width, height, line.color);
}

// The frame drawOutcome lays the end screens out over; null outside it.
const FrameView* outcomeFrame = nullptr;

} // namespace

void drawHud(const FrameView& frame, int drawnAsteroids)
{
    HudState state;
    state.width = frame.width;
    state.height = frame.height;
    state.frameTime = frame.frameTime;
    state.fuel = fuel;
    state.lives = lives;
    // Tests and a failed start-up may leave the list empty: then there is no ship to report on.
    state.invulnerableTime = sceneObjects.empty() ? 0.0f : sceneObjects[0]->invulnerableTime;
    state.showFrameStats = frame.showFrameStats;
    state.hdrEnabled = frame.hdrEnabled;
    state.bloomEnabled = frame.bloomEnabled;
    state.frustumCulling = frame.frustumCulling;
    state.collisionsEnabled = frame.collisionsEnabled;
    state.drawnAsteroids = drawnAsteroids;

    static std::vector<TextLine> lines; // kept so the strings reuse their storage every frame
    composeHud(state, lines);
    for (const TextLine& line : lines)
        drawLine(textRenderer, line, frame.width, frame.height);
}

void drawOutcome(const FrameView& frame)
{
    outcomeFrame = &frame;
    checkOutcome();
    outcomeFrame = nullptr;
}

void showEndMessage(EndMessage message)
{
    if (outcomeFrame)
        drawMessage(message, outcomeFrame->width, outcomeFrame->height);
}

void showEndScoreTable(HighScoreTable& table)
{
    if (outcomeFrame)
        drawScoreTable(table, textRenderer, outcomeFrame->width, outcomeFrame->height);
}

void drawPausedLine(const FrameView& frame)
{
    const auto advance = [](const std::string& text) {
        float width = 0.0f;
        for (char c : text)
            width += glyphAdvance(textRenderer.characters[c], 1.0f);
        return width;
    };
    drawLine(textRenderer, composePausedLine(frame.width, frame.height, advance), frame.width, frame.height);
}

void drawMessage(EndMessage message, int width, int height)
{
    drawLine(textRenderer, composeMessage(message, width, height), width, height);
}

void drawScoreTable(HighScoreTable& table, TextRenderer& renderer, int width, int height)
{
    for (const TextLine& line : composeScoreTable(table, width, height))
        drawLine(renderer, line, width, height);
}
