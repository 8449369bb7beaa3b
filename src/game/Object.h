// The one entity type of the world: ship, planet, star and asteroids.
#pragma once

#include <vector>

#include <glm/gtc/quaternion.hpp>
#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

#include "MeshGeometry.h"

// Albedo, normal, metallic, roughness, ambient occlusion: the maps of every material.
constexpr unsigned int materialSlotCount = 5;

class btCollisionShape;
class btDefaultMotionState;
class btDiscreteDynamicsWorld;
class btRigidBody;

class Object {
public:
    glm::vec3 position{0.0f};
    glm::vec3 velocity{0.0f};        // world units per second; moves the object only without a motion state
    // NOTE: a half turn about Z, not the identity, on purpose: the ship keeps it all game,
    // so its up is world -Y and the chase camera flies rolled by half a turn.
    glm::quat rotation{0.0f, 0.0f, 0.0f, 1.0f}; // GLM order: w, x, y, z
    glm::vec3 angularVelocity{0.0f}; // Euler-angle rates (pitch, yaw, roll), radians per second
    float scale = 1.0f;
    float radius = 0.0f;             // bounding radius in model units; world radius = radius * scale
    unsigned int textures[materialSlotCount]; // in slot order; set by the creator
    btDiscreteDynamicsWorld* world = nullptr;
    btRigidBody* body = nullptr;              // owned
    btCollisionShape* shape = nullptr;        // owned
    btDefaultMotionState* motionState = nullptr; // owned
    std::vector<MeshShape> shapes;   // GL names belong to the Mesh
    bool isPlayer = false;
    bool hit = false;                // set by the contact callback, cleared when a life is charged
    float invulnerableTime = 0.0f;   // seconds left; may end slightly below 0

    Object();
    virtual ~Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    void setPosition(glm::vec3 value);
    void setVelocity(glm::vec3 value);
    void setRotation(glm::quat value);
    void setAngularVelocity(glm::vec3 value);
    void setScale(float value);
    void setTexture(unsigned int index, unsigned int texture); // indices past the slots are ignored
    void setShapes(const std::vector<MeshShape>& newShapes, float newRadius, bool player);

    // Builds the box (useBox) or sphere body and adds it to `dynamicsWorld`; call once,
    // after the transform, velocity and scale are set.
    void createRigidBody(btDiscreteDynamicsWorld* dynamicsWorld, bool useBox);
    // fromPhysics: take the transform from the motion state (or integrate the own rates
    // when there is none); otherwise push the transform into the body.
    void update(float dt, bool fromPhysics);

    // World units per second as the object moves now: its body's, which a bounce changes,
    // or `velocity` where it has none.
    glm::vec3 currentVelocity() const;

    // translate(position) * rotation * scale; the quaternion is used as stored.
    glm::mat4 modelMatrix() const;
};

extern std::vector<Object*> sceneObjects; // [0] ship, [1] planet, [2] star; owning
extern std::vector<Object*> asteroids;    // oldest first, at most 100; owning

// Deletes every object of both lists (scene objects first) and empties them.
void deleteAllObjects();
