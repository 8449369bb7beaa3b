// The Bullet world, the rigid bodies of objects and the contact callback.
#include "PhysicsWorld.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <btBulletDynamicsCommon.h>
#include <glm/gtc/quaternion.hpp>

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

void Object::createRigidBody(btDiscreteDynamicsWorld* dynamicsWorld, bool useBox)
{
    world = dynamicsWorld;

    if (useBox) {
        glm::vec3 lowest(std::numeric_limits<float>::max());
        glm::vec3 highest(std::numeric_limits<float>::lowest());
        bool anyVertex = false;
        for (const MeshShape& meshShape : shapes) {
            const std::vector<float>& xyz = meshShape.positions;
            for (std::size_t i = 0; i + 2 < xyz.size(); i += 3) {
                const glm::vec3 point(xyz[i], xyz[i + 1], xyz[i + 2]);
                lowest = glm::min(lowest, point);
                highest = glm::max(highest, point);
                anyVertex = true;
            }
        }
        // 60 % of the bounding box, so grazing the hull's empty corners is no hit.
        glm::vec3 halfExtents = (highest - lowest) * 0.3f * scale;
        // Without vertices the extremes stay at their infinite-width starting values.
        if (!anyVertex)
            halfExtents = glm::vec3(0.0f);
        shape = new btBoxShape(btVector3(halfExtents.x, halfExtents.y, halfExtents.z));
    } else {
        shape = new btSphereShape(radius * scale);
    }

    // The body starts unrotated; the orientation only feeds the torque impulse below.
    btTransform start;
    start.setIdentity();
    start.setOrigin(btVector3(position.x, position.y, position.z));
    motionState = new btDefaultMotionState(start);

    const btScalar mass = 1.0f;
    btVector3 inertia(0.0f, 0.0f, 0.0f);
    shape->calculateLocalInertia(mass, inertia);
    btRigidBody::btRigidBodyConstructionInfo info(mass, motionState, shape, inertia);
    body = new btRigidBody(info);
    world->addRigidBody(body);
    body->setCollisionFlags(body->getCollisionFlags() | btCollisionObject::CF_CUSTOM_MATERIAL_CALLBACK);

    // With mass 1 the impulse is the starting velocity.
    body->applyCentralImpulse(btVector3(velocity.x, velocity.y, velocity.z));
    const glm::vec3 angles = glm::eulerAngles(rotation);
    body->applyTorqueImpulse(btVector3(angles.x, angles.y, angles.z));
    body->setUserPointer(this);
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
