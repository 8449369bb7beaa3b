#include "ParticleSystem.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include <glm/geometric.hpp>

#include "GameRandom.h"
#include "GlTestSupport.h"
#include "platform/Platform.h"

namespace {

const glm::mat4 identity(1.0f);

class ParticleSystemGl : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureGlContext(); }

    // With the game's own particle program, as the scene setup builds it.
    void initialise(ParticleSystem& system)
    {
        system.init(platform::dataPath("shaders/particles.vert"), platform::dataPath("shaders/particles.frag"));
    }

    static std::vector<float> bufferContents(unsigned int buffer, std::size_t floats)
    {
        std::vector<float> data(floats);
        glBindBuffer(GL_COPY_READ_BUFFER, buffer);
        glGetBufferSubData(GL_COPY_READ_BUFFER, 0,
                           static_cast<GLsizeiptr>(floats * sizeof(float)), data.data());
        glBindBuffer(GL_COPY_READ_BUFFER, 0);
        return data;
    }

    static unsigned int attributeBuffer(unsigned int vao, unsigned int attribute)
    {
        int buffer = 0;
        glBindVertexArray(vao);
        glGetVertexAttribiv(attribute, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &buffer);
        glBindVertexArray(0);
        return static_cast<unsigned int>(buffer);
    }

};

} // namespace

TEST(ParticleTimer, ActiveShareFollowsTheTimerAndStaysInRange)
{
    ParticleSystem system;
    EXPECT_EQ(system.activeCount(), 50000u);
    system.timeLeft = 5.0f;
    EXPECT_EQ(system.activeCount(), 25000u);
    system.timeLeft = 0.00001f;
    EXPECT_EQ(system.activeCount(), 0u);
    system.timeLeft = -0.3f;
    EXPECT_EQ(system.activeCount(), 0u);
    system.timeLeft = 25.0f; // never more than exist
    EXPECT_EQ(system.activeCount(), 50000u);
}

TEST(ParticleTimer, IdleTimerRunsDownAndRestartsAtFive)
{
    ParticleSystem system; // no GL needed while inactive
    system.update(4.0f);
    EXPECT_FLOAT_EQ(system.timeLeft, 6.0f);
    system.update(6.0f);
    EXPECT_FLOAT_EQ(system.timeLeft, 0.0f);
    EXPECT_FALSE(system.active);
    system.update(0.01f);
    EXPECT_FLOAT_EQ(system.timeLeft, 5.0f);
    EXPECT_FALSE(system.active);
}

TEST_F(ParticleSystemGl, RandomVectorsAreTheFirstValuesOfRandInParticleOrder)
{
    std::srand(1); // the sequence of a never-seeded generator
    ParticleSystem system;
    initialise(system);
    std::srand(1);
    const std::vector<float> random =
        bufferContents(attributeBuffer(system.vao, 1), std::size_t{system.count} * 4);
    for (std::size_t i = 0; i < system.count; ++i) {
        for (std::size_t c = 0; c < 3; ++c) {
            const float expected = gameRandomFraction();
            ASSERT_EQ(random[4 * i + c], expected) << "particle " << i << " component " << c;
        }
        ASSERT_EQ(random[4 * i + 3], 0.0f);
    }
    ASSERT_EQ(system.particles.size(), std::size_t{system.count} * 4);
    EXPECT_EQ(system.particles[3], 1.0f);
    EXPECT_EQ(attributeBuffer(system.vao, 0), system.inputBuffer);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ParticleSystemGl, DrawCountShrinksWithTheTimer)
{
    ParticleSystem system;
    initialise(system);
    system.emit(glm::vec3(0.0f));
    const auto drawnAt = [&system](float timeLeft) {
        system.timeLeft = timeLeft;
        return countPrimitives(GL_TRANSFORM_FEEDBACK_PRIMITIVES_WRITTEN,
                          [&system] { system.draw(identity, identity, 0.016f); });
    };
    EXPECT_EQ(drawnAt(10.0f), 50000u);
    EXPECT_EQ(drawnAt(5.0f), 25000u);
    EXPECT_EQ(drawnAt(1.0f), 5000u);
    EXPECT_EQ(drawnAt(0.00001f), 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ParticleSystemGl, FirstUpdateAfterEmitReadsNothingBackLaterOnesCopyTheActiveShare)
{
    ParticleSystem system;
    initialise(system);
    const std::size_t floats = std::size_t{system.count} * 4;
    system.timeLeft = 5.0f;
    system.emit(glm::vec3(1.0f, 2.0f, 3.0f));
    // Anything read back from here would show up as 99.
    const std::vector<float> sentinel(floats, 99.0f);
    glBindBuffer(GL_COPY_WRITE_BUFFER, system.feedbackBuffer);
    glBufferSubData(GL_COPY_WRITE_BUFFER, 0, static_cast<GLsizeiptr>(floats * sizeof(float)),
                    sentinel.data());
    glBindBuffer(GL_COPY_WRITE_BUFFER, 0);

    system.update(0.0f);
    EXPECT_EQ(system.particles[0], 1.0f);
    EXPECT_EQ(system.particles[floats - 2], 3.0f);

    system.draw(identity, identity, 0.5f); // captures the first 25000 particles
    system.update(0.0f);
    // Half a second of a burst: the first particle left the emit point, at most at the
    // burst's top speed of 6 units a second, and its record is no longer the emit's.
    const float travelled = glm::distance(glm::vec3(system.particles[0], system.particles[1], system.particles[2]),
                                          glm::vec3(1.0f, 2.0f, 3.0f));
    EXPECT_GT(travelled, 0.1f);
    EXPECT_LE(travelled, 3.0f);
    EXPECT_NE(system.particles[3], 1.0f);
    // Past the captured share the copy holds what the capture buffer held.
    EXPECT_EQ(system.particles[floats - 1], 99.0f);

    // Only the active share (the first half at 5 s) went back into the input buffer.
    const std::vector<float> input = bufferContents(system.inputBuffer, floats);
    EXPECT_EQ(input[0], system.particles[0]);
    EXPECT_EQ(input[floats / 2 - 4], system.particles[floats / 2 - 4]);
    EXPECT_EQ(input[floats / 2], 1.0f);
    EXPECT_EQ(input[floats - 2], 3.0f);

    // A new emit puts everything at the new point, leaves w as the shader wrote it, and
    // again skips one read-back.
    const float capturedW = system.particles[3];
    system.emit(glm::vec3(-4.0f, 0.0f, 0.0f));
    system.update(0.0f);
    EXPECT_EQ(system.particles[0], -4.0f);
    EXPECT_EQ(system.particles[3], capturedW);
    EXPECT_EQ(system.particles[floats - 4], -4.0f);
    EXPECT_FLOAT_EQ(system.timeLeft, 5.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ParticleSystemGl, BurstEndsWhenTheTimerRunsOut)
{
    ParticleSystem system;
    initialise(system);
    system.timeLeft = 0.01f;
    system.emit(glm::vec3(0.0f));
    system.draw(identity, identity, 0.016f);
    system.update(0.016f);
    EXPECT_FALSE(system.active);
    EXPECT_FLOAT_EQ(system.timeLeft, 5.0f);
}

TEST_F(ParticleSystemGl, InactiveDrawIssuesNoGlCall)
{
    ParticleSystem system;
    initialise(system);
    ASSERT_FALSE(system.active);
    unsigned int otherVao = 0;
    glGenVertexArrays(1, &otherVao);
    glBindVertexArray(otherVao);
    glUseProgram(0);
    const unsigned int primitives = countPrimitives(
        GL_PRIMITIVES_GENERATED, [&system] { system.draw(identity, identity, 0.016f); });
    EXPECT_EQ(primitives, 0u);
    int program = -1, vao = -1, feedback = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vao);
    glGetIntegerv(GL_TRANSFORM_FEEDBACK_BUFFER_BINDING, &feedback);
    EXPECT_EQ(program, 0);
    EXPECT_EQ(static_cast<unsigned int>(vao), otherVao);
    EXPECT_EQ(feedback, 0);
    EXPECT_TRUE(system.firstFrame);
    glBindVertexArray(0);
    glDeleteVertexArrays(1, &otherVao);
}
