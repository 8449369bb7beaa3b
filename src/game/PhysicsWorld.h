// The Bullet world that moves the asteroids and reports contacts with the ship.
#pragma once

class btBroadphaseInterface;
class btCollisionDispatcher;
class btConstraintSolver;
class btDefaultCollisionConfiguration;
class btDiscreteDynamicsWorld;
class btManifoldPoint;

class PhysicsWorld {
public:
    // The game's world lives until exit; every object with a body must be deleted before
    // a world that is destroyed.
    btDiscreteDynamicsWorld* dynamicsWorld = nullptr;

    // A world without gravity, with onContactProcessed installed.
    PhysicsWorld();
    ~PhysicsWorld();
    PhysicsWorld(const PhysicsWorld&) = delete;
    PhysicsWorld& operator=(const PhysicsWorld&) = delete;
    // One fixed 1/60 s substep at most; time beyond it is dropped.
    void step(float dt);

private:
    // The world refers to these and never frees them itself.
    btDefaultCollisionConfiguration* configuration = nullptr;
    btCollisionDispatcher* dispatcher = nullptr;
    btBroadphaseInterface* broadphase = nullptr;
    btConstraintSolver* solver = nullptr;
};

// Bullet's contact-processed callback: marks the player as hit and pushes non-players.
bool onContactProcessed(btManifoldPoint& point, void* body0, void* body1);

extern PhysicsWorld* physicsWorld; // created by the scene setup
