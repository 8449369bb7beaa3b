#include "AppState.h"

float deltaTime = 0.0f;
float lastFrameTime = 0.0f;
bool renderFrozen = false;
