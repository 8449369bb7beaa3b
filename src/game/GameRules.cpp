// The per-frame rules: movement, fuel, pickups, spawning, and how the game ends.
#include "GameRules.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <string>

#include <glm/geometric.hpp>
#include <glm/gtc/quaternion.hpp>

#include "AppState.h"
#include "GameRandom.h"
#include "Camera.h"
#include "HighScoreTable.h"
#include "Controls.h"
#include "Object.h"
#include "PhysicsWorld.h"
#include "platform/Host.h"

float fuel = 100.0f;
int lives = 9;
const float invulnerabilityDuration = 2.0f;
bool gameWon = false;
bool nameEntered = false;
float asteroidSpawnTimer = 0.0f;
glm::vec3 lightPosition(100.0f, 100.0f, 10.0f);
AsteroidLook asteroidLook;

namespace {

constexpr float shipSpeed = 10.0f;          // world units per second per movement key
constexpr float fuelDrainRate = 10.0f;      // per second while the drain is on
constexpr float lightStep = 10.0f;          // world units per frame, deliberately not per second
constexpr float spawnPeriod = 0.33f;        // seconds
constexpr float spawnThreshold = 0.0001f;   // a spawn happens below this timer value
constexpr std::size_t maxAsteroids = 100;
constexpr float fuelPerStar = 100.0f;
constexpr float lowFuel = 10.0f;

bool namePrompted = false; // "Your Name: " is printed once per win, however long the wait

GameHooks defaultHooks()
{
    GameHooks hooks;
    hooks.nameInput = &platform::nameInput();
    hooks.nameReady = platform::nameReady;
    hooks.console = &std::cout;
    return hooks;
}

bool held(char key)
{
    // GLFW's codes for letter keys are their upper-case ASCII values.
    return keys[static_cast<unsigned char>(key)];
}

void showScores()
{
    HighScoreTable table;
    table.load(gameHooks.scoreFile);
    if (gameHooks.showScoreTable)
        gameHooks.showScoreTable(table);
}

void show(EndMessage message)
{
    if (gameHooks.showMessage)
        gameHooks.showMessage(message);
}

// Asks the winner for a name and stores it with the score once a word can be read; on a
// console the read blocks until then. False while the word is still being typed elsewhere.
bool enterName()
{
    if (!namePrompted && gameHooks.console)
        *gameHooks.console << "Your Name: " << std::flush;
    namePrompted = true;
    if (gameHooks.nameReady && !gameHooks.nameReady())
        return false;
    std::string name;
    if (gameHooks.nameInput) {
        name = readNameWord(*gameHooks.nameInput);
        // The rest of the line is no one's name: a later win in the same run reads a new line.
        gameHooks.nameInput->ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    HighScoreTable table;
    table.load(gameHooks.scoreFile);
    table.add(name, scoreForFuel(fuel));
    table.save(gameHooks.scoreFile);
    nameEntered = true;
    return true;
}

void play(SoundCue cue, const glm::vec3& where)
{
    if (gameHooks.playSound)
        gameHooks.playSound(cue, where);
}

// Directions in the ship's frame; with its half-turned default, W is world +Z and E is -Y.
// Returns how hard the engine pushes, 0..1.
float moveShip(Object& ship, float dt)
{
    const glm::mat3 rotation = glm::mat3_cast(ship.rotation);
    const glm::vec3 forward = rotation * glm::vec3(0.0f, 0.0f, 1.0f);
    const glm::vec3 up = rotation * glm::vec3(0.0f, 1.0f, 0.0f);
    const glm::vec3 side = glm::cross(forward, up);
    const GamepadInput pad = gameHooks.readGamepad ? gameHooks.readGamepad() : GamepadInput{};
    const glm::vec3 control = shipControl(keys, pad);
    ship.position += (side * control.x + up * control.y + forward * control.z) * (shipSpeed * dt);
    return std::min(glm::length(control), 1.0f);
}

void moveLight()
{
    if (held('I'))
        lightPosition.z += lightStep;
    if (held('K'))
        lightPosition.z -= lightStep;
    if (held('J'))
        lightPosition.x += lightStep;
    if (held('L'))
        lightPosition.x -= lightStep;
    if (held('O'))
        lightPosition.y += lightStep;
    if (held('U'))
        lightPosition.y -= lightStep;
}

// Refuels and moves the star ahead again when the ship is close to its centre.
void pickUpStar(const Object& ship, Object& star)
{
    if (glm::distance(ship.position, star.position) >= ship.radius * ship.scale * 0.5f)
        return;
    if (gameHooks.emitBurst)
        gameHooks.emitBurst(star.position);
    play(SoundCue::pickup, star.position);
    const float u1 = gameRandomFraction();
    const float u2 = gameRandomFraction();
    const float u3 = gameRandomFraction();
    star.setPosition(camera.getPosition() + camera.getFront() * 100.0f + glm::vec3(u1, u2, u3));
    fuel += fuelPerStar;
}

} // namespace

GameHooks gameHooks = defaultHooks();

void updateGame()
{
    // The rules need the ship, planet and star, and the world that moves the asteroids.
    if (sceneObjects.size() < 3 || !physicsWorld)
        return;
    const float dt = deltaTime;
    Object& ship = *sceneObjects[0];
    Object& planet = *sceneObjects[1];
    Object& star = *sceneObjects[2];

    // Name entry after a win. Nothing moves until a word is typed, as while a console
    // read blocks the whole program.
    if (gameWon && !nameEntered && !enterName())
        return;
    // Fuel drain; nothing stops it at 0.
    if (fuelDrain)
        fuel -= fuelDrainRate * dt;
    // Physics; the contact callback may mark the ship as hit.
    physicsWorld->step(dt);
    const float thrust = moveShip(ship, dt);
    camera.followShip(ship);
    moveLight();
    if (gameHooks.updateParticles)
        gameHooks.updateParticles(dt);
    // The ship pushes its transform into its body; planet and star turn on their own.
    ship.update(dt, false);
    planet.update(dt, true);
    star.update(dt, true);
    if (!gameWon && glm::distance(ship.position, planet.position) < planet.radius * planet.scale) {
        gameWon = true;
        // A ship flown on into the planet after a loss still stores its score, but quietly.
        if (!renderFrozen)
            play(SoundCue::won, planet.position);
    }
    pickUpStar(ship, star);
    // Asteroids follow their bodies.
    for (Object* asteroid : asteroids)
        asteroid->update(dt, true);
    // At most one spawn per frame, however long the frame was.
    if (asteroidSpawnTimer < spawnThreshold) {
        asteroidSpawnTimer = spawnPeriod;
        spawnAsteroid();
    }
    asteroidSpawnTimer -= dt;
    if (gameHooks.updateSound)
        gameHooks.updateSound(thrust);
}

void spawnAsteroid()
{
    // NOTE: each rand() is its own statement; the order of the draws is part of the game.
    const glm::vec3 cameraPosition = camera.getPosition();
    const float r1 = gameRandomFraction();
    const float r2 = gameRandomFraction();
    const float r3 = gameRandomFraction();
    const glm::vec3 spawnPoint = cameraPosition + camera.getRight() * (10.0f * (r1 - 0.5f)) +
                                 camera.getUp() * (10.0f * (r2 - 0.5f)) +
                                 camera.getFront() * (100.0f * (r3 + 1.0f));
    glm::vec3 angles;
    angles.x = gameRandomFraction();
    angles.y = gameRandomFraction();
    angles.z = gameRandomFraction();
    const float r4 = gameRandomFraction();
    const glm::vec3 velocity = glm::normalize(cameraPosition - spawnPoint) * (10.0f * (r4 + 1.0f));

    auto* asteroid = new Object();
    const AsteroidLook::Shape& look = gameRandom() % 2 == 0 ? asteroidLook.sphere : asteroidLook.rock;
    asteroid->setShapes(look.shapes, look.radius, false);
    asteroid->setPosition(spawnPoint);
    asteroid->setRotation(glm::quat(angles));
    asteroid->setVelocity(velocity);
    asteroid->setScale(0.5f + gameRandomFraction());
    asteroid->createRigidBody(physicsWorld->dynamicsWorld, false);
    asteroid->setAngularVelocity(angles);
    for (unsigned int slot = 0; slot < materialSlotCount; ++slot)
        asteroid->setTexture(slot, asteroidLook.textures[slot]);
    asteroids.push_back(asteroid);

    if (asteroids.size() > maxAsteroids) {
        delete asteroids.front();
        asteroids.erase(asteroids.begin());
    }
}

void checkOutcome()
{
    if (gameWon) {
        if (nameEntered) {
            renderFrozen = true;
            showScores();
        } else {
            show(EndMessage::won);
        }
    } else if (fuel < 0.0f) {
        renderFrozen = true;
        play(SoundCue::gameOver, camera.getPosition());
        showScores();
    } else if (fuel < lowFuel) {
        // A pending hit waits here until fuel is back at 10.
        show(EndMessage::notEnoughFuel);
        play(SoundCue::lowFuel, camera.getPosition());
    } else if (!sceneObjects.empty() && sceneObjects[0]->hit) {
        Object& ship = *sceneObjects[0];
        --lives;
        play(SoundCue::hit, ship.position);
        if (lives >= 0) {
            ship.hit = false;
            ship.invulnerableTime = invulnerabilityDuration;
        } else {
            renderFrozen = true;
            play(SoundCue::gameOver, camera.getPosition());
            showScores();
            show(EndMessage::gameOver);
        }
    }
}

float scoreForFuel(float fuelLeft)
{
    // trunc rather than a cast to int: a huge fuel must not overflow the conversion.
    return fuelLeft < 0.0f ? 0.0f : std::trunc(fuelLeft);
}

void resetGameState()
{
    fuel = 100.0f;
    lives = 9;
    gameWon = false;
    nameEntered = false;
    namePrompted = false;
    asteroidSpawnTimer = 0.0f;
    lightPosition = glm::vec3(100.0f, 100.0f, 10.0f);
    renderFrozen = false;
}
