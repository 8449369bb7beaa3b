// Heads-up text, the end-of-game messages and the high-score table.
#pragma once

#include <string>
#include <vector>

#include <glm/vec3.hpp>

#include "GameRules.h"

class HighScoreTable;

struct TextLine {
    std::string text;
    float x = 0.0f;     // window pixels, origin bottom-left, start of the baseline
    float y = 0.0f;
    float scale = 1.0f;
    glm::vec3 color{1.0f};
};

// Everything the HUD shows, gathered so the composition needs no globals.
struct HudState {
    int width = 0;
    int height = 0;
    float frameTime = 0.0f;  // seconds
    float fuel = 0.0f;
    int lives = 0;
    float invulnerableTime = 0.0f;
    bool showFrameStats = true;
    bool hdrEnabled = true;
    bool bloomEnabled = true;
    bool frustumCulling = false;
    bool collisionsEnabled = true;
    int drawnAsteroids = 0;
};

std::vector<TextLine> composeHud(const HudState& state);
// The same lines written into `lines`, whose strings keep their capacity from frame to frame.
void composeHud(const HudState& state, std::vector<TextLine>& lines);
TextLine composeMessage(EndMessage message, int width, int height);
// "Paused", centred on the window; `advance` says how wide a text is at scale 1, in pixels.
TextLine composePausedLine(int width, int height, float (*advance)(const std::string& text));
// Sorts the table in place, best first, and lays out at most ten lines.
std::vector<TextLine> composeScoreTable(HighScoreTable& table, int width, int height);
