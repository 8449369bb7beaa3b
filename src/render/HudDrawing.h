// Drawing the HUD, the end-of-game messages and the score table into the bound framebuffer.
#pragma once

#include "FrameView.h"
#include "Hud.h"

class HighScoreTable;
class TextRenderer;

// The HUD lines of `frame` (size, frame time, toggles) over the game state of now.
void drawHud(const FrameView& frame, int drawnAsteroids);
void drawMessage(EndMessage message);
void drawScoreTable(HighScoreTable& table, TextRenderer& renderer, int width, int height);
