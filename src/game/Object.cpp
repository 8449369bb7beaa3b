// The game object: transform, per-frame update and ownership of its physics parts.
#include "Object.h"

#include <btBulletDynamicsCommon.h>
#include <glm/gtc/matrix_transform.hpp>


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

void Object::setPosition(glm::vec3 value) { position = value; }
void Object::setVelocity(glm::vec3 value) { velocity = value; }
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
