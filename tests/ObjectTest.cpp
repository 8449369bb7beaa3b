#include <gtest/gtest.h>

#include <cmath>

#include <btBulletDynamicsCommon.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>

#include "GameRules.h"
#include "Object.h"
#include "PhysicsWorld.h"

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

} // namespace
