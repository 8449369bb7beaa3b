#include <gtest/gtest.h>

#include <cmath>

#include <GL/glew.h>
#include <btBulletDynamicsCommon.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "GameRules.h"
#include "Object.h"
#include "ObjectDrawing.h"
#include "PhysicsWorld.h"
#include "ShaderProgram.h"
#include "TestSupport.h"

namespace {

void expectMatrixNear(const glm::mat4& actual, const glm::mat4& expected)
{
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            EXPECT_NEAR(actual[column][row], expected[column][row], 1e-5f) << column << "," << row;
}

TEST(Object, DefaultIsAHalfTurnAboutZWithNoFlagsSet)
{
    const Object fresh;
    // The half turn is deliberate: model x and y flip, z stays.
    expectMatrixNear(fresh.modelMatrix(), glm::mat4(glm::vec4(-1, 0, 0, 0), glm::vec4(0, -1, 0, 0),
                                          glm::vec4(0, 0, 1, 0), glm::vec4(0, 0, 0, 1)));
    // A fresh object must not count as the player, as hit, or as invulnerable.
    EXPECT_FALSE(fresh.isPlayer || fresh.hit);
    EXPECT_EQ(fresh.invulnerableTime, 0.0f);
    EXPECT_EQ(fresh.body, nullptr);
}

TEST(Object, SetTextureIgnoresIndicesPastTheFifthSlot)
{
    Object object;
    for (unsigned int slot = 0; slot < 5; ++slot)
        object.setTexture(slot, 10 + slot);
    object.setTexture(5, 99);
    object.setTexture(0xFFFFFFFFu, 99);
    for (unsigned int slot = 0; slot < 5; ++slot)
        EXPECT_EQ(object.textures[slot], 10 + slot);
}

TEST(Object, ModelMatrixTranslatesRotatesThenScales)
{
    Object object;
    object.setPosition({1.0f, 2.0f, 3.0f});
    object.setRotation(glm::quat(1.0f, 0.0f, 0.0f, 0.0f));
    expectMatrixNear(object.modelMatrix(), glm::translate(glm::mat4(1.0f), {1.0f, 2.0f, 3.0f}));

    // Scale first: a point at model x 1 ends 0.33 along the rotated axis, then translated.
    object.setRotation(glm::angleAxis(glm::radians(90.0f), glm::vec3(0, 0, 1)));
    object.setScale(0.33f);
    const glm::vec4 moved = object.modelMatrix() * glm::vec4(1, 0, 0, 1);
    EXPECT_NEAR(moved.x, 1.0f, 1e-5f);
    EXPECT_NEAR(moved.y, 2.33f, 1e-5f);
    EXPECT_NEAR(moved.z, 3.0f, 1e-5f);

    // The quaternion is used as stored: twice the unit quaternion is not normalised away.
    object.setScale(1.0f);
    object.setPosition({0, 0, 0});
    object.setRotation(glm::quat(2.0f, 0.0f, 0.0f, 0.0f));
    EXPECT_EQ(object.modelMatrix(), glm::mat4(1.0f));
    object.setRotation(glm::quat(0.0f, 2.0f, 0.0f, 0.0f));
    EXPECT_NEAR(object.modelMatrix()[1][1], 1.0f - 2.0f * 4.0f, 1e-5f);
}

TEST(Object, UpdateWithoutBodyIntegratesItsOwnRates)
{
    Object object;
    object.setRotation(glm::quat(glm::vec3(0.1f, 0.2f, 0.3f)));
    object.update(0.016f, true);
    const glm::quat rebuilt(glm::eulerAngles(glm::quat(glm::vec3(0.1f, 0.2f, 0.3f))));
    EXPECT_EQ(object.position, glm::vec3(0.0f));
    EXPECT_NEAR(object.rotation.w, rebuilt.w, 1e-6f);
    EXPECT_NEAR(object.rotation.x, rebuilt.x, 1e-6f);
    EXPECT_NEAR(object.rotation.y, rebuilt.y, 1e-6f);
    EXPECT_NEAR(object.rotation.z, rebuilt.z, 1e-6f);

    object.setVelocity({1.0f, 0.0f, -2.0f});
    object.setAngularVelocity({0.0f, 0.0f, 1.0f});
    object.update(0.5f, true);
    EXPECT_NEAR(object.position.x, 0.5f, 1e-6f);
    EXPECT_NEAR(object.position.z, -1.0f, 1e-6f);
    EXPECT_NEAR(glm::eulerAngles(object.rotation).z, 0.8f, 1e-4f);
}

TEST(Object, InvulnerabilityEndsSlightlyBelowZeroAndStaysThere)
{
    Object object;
    object.invulnerableTime = 0.01f;
    object.update(0.016f, true);
    EXPECT_NEAR(object.invulnerableTime, -0.006f, 1e-6f);
    const float after = object.invulnerableTime;
    object.update(0.016f, false);
    EXPECT_EQ(object.invulnerableTime, after);
}

TEST(Object, BodyFollowsTheGameOrLeadsTheObject)
{
    PhysicsWorld physics;
    const int before = physics.dynamicsWorld->getNumCollisionObjects();

    auto* ship = new Object();
    ship->createRigidBody(physics.dynamicsWorld, false);
    ship->setPosition({4.0f, 5.0f, 6.0f});
    ship->update(0.016f, false);
    const btTransform& pushed = ship->body->getWorldTransform();
    EXPECT_EQ(pushed.getOrigin(), btVector3(4.0f, 5.0f, 6.0f));
    EXPECT_NEAR(std::fabs(pushed.getRotation().z()), 1.0f, 1e-6f);

    auto* rock = new Object();
    rock->setPosition({0.0f, 0.0f, 50.0f});
    rock->setVelocity({0.0f, 0.0f, -6.0f});
    rock->setRotation(glm::quat(1.0f, 0.0f, 0.0f, 0.0f));
    rock->createRigidBody(physics.dynamicsWorld, false);
    physics.step(0.5f); // one 1/60 s substep, the rest dropped
    rock->update(0.5f, true);
    EXPECT_NEAR(rock->position.z, 50.0f - 6.0f / 60.0f, 1e-4f);
    EXPECT_EQ(rock->position.y, 0.0f) << "space has no gravity";
    EXPECT_EQ(physics.dynamicsWorld->getNumCollisionObjects(), before + 2);

    delete ship;
    delete rock;
    EXPECT_EQ(physics.dynamicsWorld->getNumCollisionObjects(), before);

    // Without a body there is nothing to remove, and nothing is touched.
    auto* planet = new Object();
    delete planet;
    EXPECT_EQ(physics.dynamicsWorld->getNumCollisionObjects(), before);
}

// A minimal program with the PBR uniform set; counts what is drawn.
GLuint buildProbeProgram()
{
    const char* vertex = "#version 330 core\n"
                         "layout(location = 0) in vec3 aPos;\n"
                         "uniform mat4 model; uniform mat4 view; uniform mat4 projection;\n"
                         "void main() { gl_Position = projection * view * model * vec4(aPos, 1.0); }\n";
    const char* fragment = "#version 330 core\n"
                           "uniform vec3 lightPosition; uniform vec3 camPos; uniform vec3 lightColor;\n"
                           "uniform sampler2D albedoMap; uniform sampler2D normalMap;\n"
                           "uniform sampler2D metallicMap; uniform sampler2D roughnessMap;\n"
                           "uniform sampler2D aoMap;\n"
                           "layout(location = 0) out vec4 color;\n"
                           "void main() { color = vec4(lightPosition + camPos + lightColor, 1.0)\n"
                           "  + texture(albedoMap, vec2(0)) + texture(normalMap, vec2(0))\n"
                           "  + texture(metallicMap, vec2(0)) + texture(roughnessMap, vec2(0))\n"
                           "  + texture(aoMap, vec2(0)); }\n";
    const GLuint program = glCreateProgram();
    for (auto [stage, source] : {std::pair{GL_VERTEX_SHADER, vertex}, std::pair{GL_FRAGMENT_SHADER, fragment}}) {
        const GLuint shader = glCreateShader(stage);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        glAttachShader(program, shader);
    }
    glLinkProgram(program);
    return program;
}

TEST(Object, DrawSetsEveryUniformAndDrawsEachShape)
{
    ensureGlContext();
    ShaderProgram program;
    program.id = buildProbeProgram();
    GLint linked = 0;
    glGetProgramiv(program.id, GL_LINK_STATUS, &linked);
    ASSERT_EQ(linked, GL_TRUE);

    GLuint textures[5];
    glGenTextures(5, textures);
    GLuint vaos[2];
    glGenVertexArrays(2, vaos);
    Object object;
    MeshShape shape;
    shape.vao = vaos[0];
    shape.positions.assign(36, 0.0f); // 12 vertices, 4 triangles
    MeshShape second;
    second.vao = vaos[1];
    second.positions.assign(9, 0.0f);
    object.setShapes({shape, second}, 1.0f, false);
    for (unsigned int slot = 0; slot < 5; ++slot)
        object.setTexture(slot, textures[slot]);
    object.setPosition({7.0f, 8.0f, 9.0f});
    // The handed light, not the rules' globals, must reach the program.
    const Light light{{1.0f, 2.0f, 3.0f}, {0.25f, 0.5f, 0.75f}};

    const glm::mat4 view = glm::translate(glm::mat4(1.0f), {0, 0, -5});
    EXPECT_EQ(countPrimitives(GL_PRIMITIVES_GENERATED,
                              [&] { drawObject(object, program, view, glm::mat4(2.0f), {4.0f, 5.0f, 6.0f}, light); }),
              5u);

    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(static_cast<GLuint>(current), program.id);
    glm::mat4 uploaded;
    glGetUniformfv(program.id, glGetUniformLocation(program.id, "model"), glm::value_ptr(uploaded));
    EXPECT_EQ(uploaded, object.modelMatrix());
    glGetUniformfv(program.id, glGetUniformLocation(program.id, "view"), glm::value_ptr(uploaded));
    EXPECT_EQ(uploaded, view);
    glm::vec3 vector;
    glGetUniformfv(program.id, glGetUniformLocation(program.id, "camPos"), glm::value_ptr(vector));
    EXPECT_EQ(vector, glm::vec3(4.0f, 5.0f, 6.0f));
    glGetUniformfv(program.id, glGetUniformLocation(program.id, "lightPosition"), glm::value_ptr(vector));
    EXPECT_EQ(vector, light.position);
    glGetUniformfv(program.id, glGetUniformLocation(program.id, "lightColor"), glm::value_ptr(vector));
    EXPECT_EQ(vector, light.color);

    const char* samplers[5] = {"albedoMap", "normalMap", "metallicMap", "roughnessMap", "aoMap"};
    for (GLint unit = 0; unit < 5; ++unit) {
        GLint sampler = -1;
        glGetUniformiv(program.id, glGetUniformLocation(program.id, samplers[unit]), &sampler);
        EXPECT_EQ(sampler, unit);
        glActiveTexture(GL_TEXTURE0 + unit);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), textures[unit]);
    }
    GLint vao = -1;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vao);
    EXPECT_EQ(vao, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
