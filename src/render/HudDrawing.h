// Drawing the HUD, the end-of-game messages and the score table into the bound framebuffer.
#pragma once

#include "Hud.h"

class HighScoreTable;
class TextRenderer;

void drawHud(int drawnAsteroids);
void drawMessage(EndMessage message);
void drawScoreTable(HighScoreTable& table, TextRenderer& renderer, int width, int height);
