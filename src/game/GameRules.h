// The game itself: fuel, lives, pickups, asteroid spawning, winning and losing.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include <glm/vec3.hpp>

#include "Object.h"
#include "ShipControl.h"
#include "SoundSynth.h"
#include "platform/Platform.h"

class HighScoreTable;

extern float fuel;                          // shown on the HUD; the score comes from it
extern int lives;                           // lost below 0: nine hits survived, the tenth ends it
extern const float invulnerabilityDuration; // seconds after each hit
extern bool gameWon;                        // never cleared
extern bool nameEntered;                    // never cleared
extern float asteroidSpawnTimer;            // seconds until the next spawn
extern glm::vec3 lightPosition;             // the single light, moved with I K J L U O

// What a new asteroid looks like: one of two shapes, drawn with the rock material. The scene
// fills it at start-up once the models and maps are loaded; until then asteroids are empty.
struct AsteroidLook {
    struct Shape {
        std::vector<MeshShape> shapes;
        float radius = 0.0f; // model units
    };
    Shape sphere;
    Shape rock;
    unsigned int textures[materialSlotCount] = {};
};
extern AsteroidLook asteroidLook;

enum class EndMessage { won, notEnoughFuel, gameOver };

// Where the rules touch the screen, the console and the file system. Start-up wires
// these to the particle system, the HUD and the real console; tests put their own in.
struct GameHooks {
    std::function<void(const glm::vec3&)> emitBurst;
    std::function<void(float)> updateParticles;
    std::function<void(HighScoreTable&)> showScoreTable;
    std::function<void(EndMessage)> showMessage;
    std::istream* nameInput;
    // False while a word is not yet there to be read from nameInput; unset: always there.
    std::function<bool()> nameReady;
    std::ostream* console;
    std::string scoreFile = platform::dataPath("assets/scores.txt");
    // Sound: a cue where it happens (one-shots, and the low-fuel warning each frame it shows),
    // then once per pass the engine's thrust 0..1, which also lets the loops follow the world.
    std::function<void(SoundCue, const glm::vec3&)> playSound;
    std::function<void(float)> updateSound;
    // The game controller now; unset: none.
    std::function<GamepadInput()> readGamepad;
};
extern GameHooks gameHooks;

// Once per pass of the main loop, also after the game has ended; dt is deltaTime.
void updateGame();
// At the end of every drawn frame: charges a hit, ends the game or warns about fuel.
void checkOutcome();
// Places one asteroid ahead of the camera; evicts the oldest beyond 100.
void spawnAsteroid();
// Fuel at name entry as a whole number, 0 when negative.
float scoreForFuel(float fuelLeft);
// Puts every game-state global back to its start value (tests and benchmarks).
void resetGameState();
