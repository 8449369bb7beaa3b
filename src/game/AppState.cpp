#include "AppState.h"
#include "Settings.h"

Settings settings;
glm::vec3 lightColor(1.0e7f);

GLFWwindow* window = nullptr;
float deltaTime = 0.0f;
float lastFrameTime = 0.0f;
bool renderFrozen = false;
