// Point-particle bursts advanced on the GPU by transform feedback.
#pragma once

#include <string>
#include <vector>

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

#include "ShaderProgram.h"

constexpr float firstBurstSeconds = 10.0f; // how long the burst at start-up lasts

class ParticleSystem {
public:
    float timeLeft = firstBurstSeconds; // seconds; also the active share: timeLeft * 0.1 of count
    bool active = false;
    bool firstFrame = true;   // no captured positions exist since the last emit
    ShaderProgram shader;
    unsigned int vao = 0;
    unsigned int inputBuffer = 0;
    unsigned int feedbackBuffer = 0;
    std::vector<float> particles; // x, y, z, w per particle
    unsigned int count = 50000;

    ParticleSystem() = default;
    ~ParticleSystem();
    ParticleSystem(const ParticleSystem&) = delete;
    ParticleSystem& operator=(const ParticleSystem&) = delete;

    // Draws the first 3 x count values of rand(); must run before any other rand() call.
    void init(std::string vertexShaderPath, std::string fragmentShaderPath);
    void emit(const glm::vec3& position);
    void update(float dt);
    void draw(const glm::mat4& view, const glm::mat4& projection, float dt);

    // Particles processed by the next draw: count x timeLeft x 0.1, truncated.
    unsigned int activeCount() const;
};
