// The Bullet world that moves the asteroids and reports contacts with the ship.
#pragma once

class btDiscreteDynamicsWorld;
class btManifoldPoint;

class PhysicsWorld {
public:
    btDiscreteDynamicsWorld* dynamicsWorld = nullptr; // never deleted; lives until exit

    // A world without gravity, with onContactProcessed installed.
    PhysicsWorld();
    // One fixed 1/60 s substep at most; time beyond it is dropped.
    void step(float dt);
};

// Bullet's contact-processed callback: marks the player as hit and pushes non-players.
bool onContactProcessed(btManifoldPoint& point, void* body0, void* body1);

extern PhysicsWorld* physicsWorld; // created by the scene setup
