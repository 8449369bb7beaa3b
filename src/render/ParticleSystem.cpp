// Particle bursts: positions advanced by the vertex shader, captured by transform feedback
// and copied back through main memory as the next frame's input.
#include "ParticleSystem.h"
#include "GlFlavour.h"

#include "GameRandom.h"

#include <GL/glew.h>

#include <cstdlib>

#include <glm/gtc/type_ptr.hpp>

namespace {

constexpr unsigned int floatsPerParticle = 4;
constexpr GLsizei particleStride = floatsPerParticle * sizeof(float);
constexpr double activeSharePerSecond = 0.1; // the share of particles in play per second left
constexpr float idleTimerRestart = 5.0f;     // seconds; also the longest burst after the first

// total x timeLeft x 0.1, truncated, kept within [0, total]: a negative or oversized timer
// would otherwise make the conversion undefined or run the upload past the particle array.
unsigned long long activeShare(unsigned long long total, float timeLeft)
{
    const double share = static_cast<double>(static_cast<float>(total)) *
                         static_cast<double>(timeLeft) * activeSharePerSecond;
    if (!(share > 0.0))
        return 0;
    if (share >= static_cast<double>(total))
        return total;
    return static_cast<unsigned long long>(share);
}

} // namespace

ParticleSystem::~ParticleSystem()
{
    if (vao != 0)
        glDeleteVertexArrays(1, &vao);
    if (inputBuffer != 0)
        glDeleteBuffers(1, &inputBuffer);
    if (feedbackBuffer != 0)
        glDeleteBuffers(1, &feedbackBuffer);
}

void ParticleSystem::init(std::string vertexShaderPath, std::string fragmentShaderPath)
{
    // The varyings must be declared on an existing program before it is linked.
    shader.create();
    shader.addStage(GL_VERTEX_SHADER, vertexShaderPath);
    shader.addStage(GL_FRAGMENT_SHADER, fragmentShaderPath);
    const GLchar* varyings[] = {"position"};
    glTransformFeedbackVaryings(shader.getId(), 1, varyings, GL_INTERLEAVED_ATTRIBS);
    shader.link();

    particles.clear();
    particles.reserve(static_cast<std::size_t>(count) * floatsPerParticle);
    std::vector<GLfloat> randomVectors;
    randomVectors.reserve(static_cast<std::size_t>(count) * floatsPerParticle);
    for (unsigned int i = 0; i < count; ++i) {
        particles.insert(particles.end(), {0.0f, 0.0f, 0.0f, 1.0f});
        // Separate statements fix the order of the three rand() calls: x, then y, then z.
        const GLfloat x = gameRandomFraction();
        const GLfloat y = gameRandomFraction();
        const GLfloat z = gameRandomFraction();
        randomVectors.insert(randomVectors.end(), {x, y, z, 0.0f});
    }
    const GLsizeiptr bytes = static_cast<GLsizeiptr>(particles.size() * sizeof(float));

    glGenVertexArrays(1, &vao);
    glGenBuffers(1, &inputBuffer);
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, inputBuffer);
    glBufferData(GL_ARRAY_BUFFER, bytes, particles.data(), GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, particleStride, nullptr);

    // The random-vector buffer lives until exit: the vertex array reads it every frame and
    // the game makes one particle system, so its name is not kept.
    unsigned int randomBuffer = 0;
    glGenBuffers(1, &randomBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, randomBuffer);
    glBufferData(GL_ARRAY_BUFFER, bytes, randomVectors.data(), GL_STATIC_DRAW);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, particleStride, nullptr);

    glGenBuffers(1, &feedbackBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, feedbackBuffer);
    glBufferData(GL_ARRAY_BUFFER, bytes, nullptr, GL_STATIC_READ);

    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void ParticleSystem::emit(const glm::vec3& position)
{
    for (std::size_t i = 0; i + 3 < particles.size(); i += floatsPerParticle) {
        particles[i] = position.x;
        particles[i + 1] = position.y;
        particles[i + 2] = position.z;
    }
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, inputBuffer);
    glBufferSubData(GL_ARRAY_BUFFER, 0,
                    static_cast<GLsizeiptr>(particles.size() * sizeof(float)), particles.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
    active = true;
    firstFrame = true;
}

void ParticleSystem::update(float dt)
{
    // Nothing was captured before the first draw after an emit, so there is nothing to copy.
    if (active && !firstFrame) {
        glBindVertexArray(vao);
        const auto capturedBytes = static_cast<GLsizeiptr>(particles.size() * sizeof(float));
        if constexpr (openGlEs) {
            // WebGL refuses to read a buffer bound to a transform-feedback point and another
            // point at once; the copy-read point alone reads the same bytes.
            glBindBuffer(GL_COPY_READ_BUFFER, feedbackBuffer);
            glGetBufferSubData(GL_COPY_READ_BUFFER, 0, capturedBytes, particles.data());
            glBindBuffer(GL_COPY_READ_BUFFER, 0);
        } else {
            glBindBuffer(GL_ARRAY_BUFFER, feedbackBuffer);
            glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, feedbackBuffer);
            glGetBufferSubData(GL_TRANSFORM_FEEDBACK_BUFFER, 0, capturedBytes, particles.data());
            glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, 0);
        }
        glBindBuffer(GL_ARRAY_BUFFER, inputBuffer);
        const unsigned long long totalBytes =
            static_cast<unsigned long long>(count) * particleStride;
        const unsigned long long activeBytes = activeShare(totalBytes, timeLeft);
        glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(activeBytes),
                        particles.data());
        glBindVertexArray(0);
    }
    timeLeft -= dt;
    if (timeLeft < 0.0f) {
        timeLeft = idleTimerRestart;
        active = false;
    }
}

void ParticleSystem::draw(const glm::mat4& view, const glm::mat4& projection, float dt)
{
    if (!active)
        return;
    shader.use();
    glUniformMatrix4fv(glGetUniformLocation(shader.getId(), "view"), 1, GL_FALSE,
                       glm::value_ptr(view));
    glUniformMatrix4fv(glGetUniformLocation(shader.getId(), "projection"), 1, GL_FALSE,
                       glm::value_ptr(projection));
    glUniform1f(glGetUniformLocation(shader.getId(), "dt"), dt);

    glBindVertexArray(vao);
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, feedbackBuffer);
    glBeginTransformFeedback(GL_POINTS);
    glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(activeCount()));
    glEndTransformFeedback();
    glBindBufferBase(GL_TRANSFORM_FEEDBACK_BUFFER, 0, 0);
    glBindVertexArray(0);
    firstFrame = false;
}

unsigned int ParticleSystem::activeCount() const
{
    return static_cast<unsigned int>(activeShare(count, timeLeft));
}
