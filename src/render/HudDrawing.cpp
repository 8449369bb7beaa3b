// The composed HUD, messages and score table drawn through the text renderer.
#include "HudDrawing.h"

#include <vector>

#include "Controls.h"
#include "GameRules.h"
#include "Object.h"
#include "RenderResources.h"
#include "Settings.h"
#include "TextRenderer.h"

namespace {

void drawLine(TextRenderer& renderer, const TextLine& line, int width, int height)
{
    renderer.renderText(line.text, line.x, line.y, line.scale, width, height, line.color);
}

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
    state.showFrameStats = showFrameStats;
    state.hdrEnabled = frame.hdrEnabled;
    state.bloomEnabled = frame.bloomEnabled;
    state.frustumCulling = frame.frustumCulling;
    state.collisionsEnabled = collisionsEnabled;
    state.drawnAsteroids = drawnAsteroids;

    static std::vector<TextLine> lines; // kept so the strings reuse their storage every frame
    composeHud(state, lines);
    for (const TextLine& line : lines)
        drawLine(textRenderer, line, frame.width, frame.height);
}

void drawMessage(EndMessage message)
{
    drawLine(textRenderer, composeMessage(message, settings.width, settings.height),
             settings.width, settings.height);
}

void drawScoreTable(HighScoreTable& table, TextRenderer& renderer, int width, int height)
{
    for (const TextLine& line : composeScoreTable(table, width, height))
        drawLine(renderer, line, width, height);
}
