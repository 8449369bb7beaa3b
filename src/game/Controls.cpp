#include "Controls.h"

bool keys[keyCount] = {};

bool showFrameStats = true;
bool wireframe = false;
bool collisionsEnabled = true;
bool fuelDrain = false;
bool hdrEnabled = true;
bool bloomEnabled = true;
bool frustumCulling = false;
bool soundEnabled = true;
bool paused = false;
bool newFlightAsked = false;
