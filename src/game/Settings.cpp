#include "Settings.h"

Settings settings;
glm::vec3 lightColor(1.0e7f);
