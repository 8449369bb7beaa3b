// The game object: transform, per-frame update and ownership of its physics parts.
#include "Object.h"

#include <limits>

#include <btBulletDynamicsCommon.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>


std::vector<Object*> sceneObjects;
std::vector<Object*> asteroids;

Object::Object()
{
    // Creators set all five before the first draw; zero (no texture) keeps a forgotten
    // slot from binding whatever name happened to be in memory.
    for (unsigned int& texture : textures)
        texture = 0;
}

Object::~Object()
{
    // NOTE: the world outlives every object, so the body can still be taken out of it here.
    if (world && body)
        world->removeCollisionObject(body);
    delete body;
    delete motionState;
    delete shape;
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

void Object::setPosition(glm::vec3 value) { position = value; }
void Object::setVelocity(glm::vec3 value) { velocity = value; }
glm::vec3 Object::currentVelocity() const
{
    if (!body)
        return velocity;
    const btVector3& moving = body->getLinearVelocity();
    return {moving.x(), moving.y(), moving.z()};
}

void Object::setRotation(glm::quat value) { rotation = value; }
void Object::setAngularVelocity(glm::vec3 value) { angularVelocity = value; }
void Object::setScale(float value) { scale = value; }

void Object::setTexture(unsigned int index, unsigned int texture)
{
    if (index < materialSlotCount)
        textures[index] = texture;
}

void Object::setShapes(const std::vector<MeshShape>& newShapes, float newRadius, bool player)
{
    if (&newShapes != &shapes)
        shapes = newShapes;
    radius = newRadius;
    isPlayer = player;
}

void Object::update(float dt, bool fromPhysics)
{
    if (fromPhysics) {
        if (motionState) {
            btTransform transform;
            motionState->getWorldTransform(transform);
            const btQuaternion q = transform.getRotation();
            rotation = glm::quat(q.w(), q.x(), q.y(), q.z());
            const btVector3& origin = transform.getOrigin();
            position = glm::vec3(origin.x(), origin.y(), origin.z());
        } else {
            position += velocity * dt;
            // Planet and star have no body: they turn by adding their Euler-angle rates.
            const glm::vec3 angles = glm::eulerAngles(rotation);
            rotation = glm::quat(angles + angularVelocity * dt);
        }
    } else if (body) {
        const btTransform transform(btQuaternion(rotation.x, rotation.y, rotation.z, rotation.w),
                                    btVector3(position.x, position.y, position.z));
        body->setWorldTransform(transform);
    }
    if (invulnerableTime > 0.0f)
        invulnerableTime -= dt;
}

glm::mat4 Object::modelMatrix() const
{
    // mat4_cast uses the quaternion as stored, without normalising it.
    return glm::translate(glm::mat4(1.0f), position) * glm::mat4_cast(rotation) *
           glm::scale(glm::mat4(1.0f), glm::vec3(scale));
}

void deleteAllObjects()
{
    for (Object* object : sceneObjects)
        delete object;
    sceneObjects.clear();
    for (Object* object : asteroids)
        delete object;
    asteroids.clear();
}
