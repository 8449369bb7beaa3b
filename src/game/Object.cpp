// The game object: transform, per-frame update, ownership of its physics parts, drawing.
#include "Object.h"

#include <GL/glew.h>
#include <btBulletDynamicsCommon.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "GameRules.h"
#include "Settings.h"
#include "ShaderProgram.h"

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
    if (index < 5)
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

void Object::drawObject(ShaderProgram& program, const glm::mat4& view, const glm::mat4& projection,
                        glm::vec3 cameraPosition)
{
    program.use();
    const GLuint id = program.getId();
    const glm::mat4 model = modelMatrix();
    glUniformMatrix4fv(glGetUniformLocation(id, "model"), 1, GL_FALSE, glm::value_ptr(model));
    glUniformMatrix4fv(glGetUniformLocation(id, "view"), 1, GL_FALSE, glm::value_ptr(view));
    glUniformMatrix4fv(glGetUniformLocation(id, "projection"), 1, GL_FALSE, glm::value_ptr(projection));
    glUniform3fv(glGetUniformLocation(id, "lightPosition"), 1, glm::value_ptr(lightPosition));
    glUniform3fv(glGetUniformLocation(id, "camPos"), 1, glm::value_ptr(cameraPosition));
    glUniform3fv(glGetUniformLocation(id, "lightColor"), 1, glm::value_ptr(lightColor));

    static const char* const samplerNames[5] = {"albedoMap", "normalMap", "metallicMap", "roughnessMap",
                                                "aoMap"};
    for (GLint unit = 0; unit < 5; ++unit)
        glUniform1i(glGetUniformLocation(id, samplerNames[unit]), unit);
    for (GLuint unit = 0; unit < 5; ++unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_2D, textures[unit]);
    }

    for (const MeshShape& meshShape : shapes) {
        glBindVertexArray(meshShape.vao);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(meshShape.vertexCount()));
        glBindVertexArray(0);
    }
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
