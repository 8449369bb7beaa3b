// The Bullet world and the contact callback that turns touches into hits and pickups.
#include "PhysicsWorld.h"

#include <algorithm>
#include <cmath>

#include <btBulletDynamicsCommon.h>

#include "Controls.h"
#include "GameRandom.h"
#include "Object.h"

PhysicsWorld* physicsWorld = nullptr;

PhysicsWorld::PhysicsWorld()
{
    configuration = new btDefaultCollisionConfiguration();
    dispatcher = new btCollisionDispatcher(configuration);
    broadphase = new btDbvtBroadphase();
    solver = new btSequentialImpulseConstraintSolver();
    dynamicsWorld = new btDiscreteDynamicsWorld(dispatcher, broadphase, solver, configuration);
    // Bullet starts with (0, -10, 0); space has none.
    dynamicsWorld->setGravity(btVector3(0.0f, 0.0f, 0.0f));
    gContactProcessedCallback = onContactProcessed;
}

PhysicsWorld::~PhysicsWorld()
{
    // The world first: its destructor still uses the broadphase and the dispatcher.
    delete dynamicsWorld;
    delete solver;
    delete broadphase;
    delete dispatcher;
    delete configuration;
}

void PhysicsWorld::step(float dt)
{
    dynamicsWorld->stepSimulation(dt, 1, 1.0f / 60.0f);
}

namespace {

bool wantsCallback(const btCollisionObject* object)
{
    return (object->getCollisionFlags() & btCollisionObject::CF_CUSTOM_MATERIAL_CALLBACK) != 0;
}

// Contact points of A minus those of B, scaled to unit length; (1, 0, 0) when they coincide.
btVector3 pushDirection(const btManifoldPoint& point)
{
    btVector3 p = point.m_positionWorldOnA - point.m_positionWorldOnB;
    const btScalar largest = std::max({std::fabs(p.x()), std::fabs(p.y()), std::fabs(p.z())});
    if (!(largest > 0.0f))
        return btVector3(1.0f, 0.0f, 0.0f);
    // Dividing by the largest component first keeps the length from underflowing.
    p /= largest;
    return p / p.length();
}

} // namespace

bool onContactProcessed(btManifoldPoint& point, void* body0, void* body1)
{
    if (!collisionsEnabled)
        return false;
    auto* collisionA = static_cast<btCollisionObject*>(body0);
    auto* collisionB = static_cast<btCollisionObject*>(body1);
    // NOTE: Bullet calls this for every contact in the world, not only for flagged bodies.
    if (!wantsCallback(collisionA) && !wantsCallback(collisionB))
        return true;

    auto* a = static_cast<Object*>(collisionA->getUserPointer());
    auto* b = static_cast<Object*>(collisionB->getUserPointer());
    const bool aIsPlayer = a && a->isPlayer;
    const bool bIsPlayer = b && b->isPlayer;

    Object* candidate = aIsPlayer ? a : (bIsPlayer ? b : nullptr);
    if (candidate && !candidate->hit && candidate->invulnerableTime <= 0.0f)
        candidate->hit = true;

    const btVector3 direction = pushDirection(point);
    const float strength = gameRandomFraction() * 200.0f - 100.0f;
    if (!aIsPlayer) {
        if (btRigidBody* rigid = btRigidBody::upcast(collisionA))
            rigid->applyCentralImpulse(-strength * direction);
    }
    if (!bIsPlayer) {
        if (btRigidBody* rigid = btRigidBody::upcast(collisionB))
            rigid->applyCentralImpulse(strength * direction);
    }
    return true;
}
