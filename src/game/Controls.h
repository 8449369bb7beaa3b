// What the player's keys have set: the keys held now, the seven function-key toggles and M.
#pragma once

constexpr int keyCount = 1024;
extern bool keys[keyCount];  // held state per GLFW key code

extern bool showFrameStats;    // F2
extern bool wireframe;         // F3
extern bool collisionsEnabled; // F4
extern bool fuelDrain;         // F5
extern bool hdrEnabled;        // F6
extern bool bloomEnabled;      // F7
extern bool frustumCulling;    // F8
extern bool soundEnabled;      // M; starts as the command line says
// P, or the window losing the player (focus taken, minimised): nothing moves until P again.
// Never set on the end screen, which stands still by itself.
extern bool paused;
// R on the end screen: the next pass starts a new flight.
extern bool newFlightAsked;
