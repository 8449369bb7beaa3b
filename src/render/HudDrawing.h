// Drawing the HUD, the end-of-game messages and the score table into the bound framebuffer.
#pragma once

#include "FrameView.h"
#include "Hud.h"

class HighScoreTable;
class TextRenderer;

// The HUD lines of `frame` (size, frame time, toggles) over the game state of now.
void drawHud(const FrameView& frame, int drawnAsteroids);
// The rules' verdict on this frame (checkOutcome), with its end message and score table laid
// out over `frame`.
void drawOutcome(const FrameView& frame);
// The hooks checkOutcome shows its end screens through; outside drawOutcome they draw nothing,
// as there is no frame to draw them over.
void showEndMessage(EndMessage message);
// "Paused" over the middle of `frame`.
void drawPausedLine(const FrameView& frame);
void showEndScoreTable(HighScoreTable& table);
void drawMessage(EndMessage message, int width, int height);
void drawScoreTable(HighScoreTable& table, TextRenderer& renderer, int width, int height);
