#include "Exposure.h"
#include "PostProcessing.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Input.h"
#include "Scene.h"
#include "Settings.h"
#include "TestSupport.h"

namespace {

std::vector<float> uniformImage(std::size_t pixels, float green)
{
    std::vector<float> rgb(pixels * 3, 0.0f);
    for (std::size_t k = 1; k < rgb.size(); k += 3)
        rgb[k] = green;
    return rgb;
}

const char* passthroughVertex = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec2 texCoord;
out vec2 uv;
void main() { uv = texCoord; gl_Position = vec4(position, 1.0); }
)";

// Not a blur: each pass adds 1 to red and shifts its "horizontal" bit into green,
// so the result tells how many passes ran and in which directions.
const char* countingBlurFragment = R"(#version 330 core
in vec2 uv;
layout(location = 0) out vec4 color;
uniform sampler2D image;
uniform int horizontal;
uniform int bloom_enabled;
void main() {
    vec3 c = texture(image, uv).rgb;
    color = vec4(c.r + 1.0, c.g * 2.0 + float(horizontal), float(bloom_enabled), 1.0);
}
)";

const char* compositeFragment = R"(#version 330 core
in vec2 uv;
layout(location = 0) out vec4 color;
uniform sampler2D scene;
uniform sampler2D bloomBlur;
uniform float exposure;
uniform int bloom_enabled;
void main() {
    vec3 bloom = bloom_enabled == 1 ? texture(bloomBlur, uv).rgb : vec3(0.0);
    color = vec4(texture(scene, uv).rgb * exposure + bloom, 1.0);
}
)";

class PostProcessingGl : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ensureGlContext();
        static TempDir shaders;
        shaders.write("pass.vert", passthroughVertex);
        shaders.write("blur.frag", countingBlurFragment);
        shaders.write("bloom.frag", compositeFragment);
        blurShader.addStage(GL_VERTEX_SHADER, shaders.file("pass.vert"));
        blurShader.addStage(GL_FRAGMENT_SHADER, shaders.file("blur.frag"));
        blurShader.link();
        bloomShader.addStage(GL_VERTEX_SHADER, shaders.file("pass.vert"));
        bloomShader.addStage(GL_FRAGMENT_SHADER, shaders.file("bloom.frag"));
        bloomShader.link();
        blurShader.use();
        glUniform1i(glGetUniformLocation(blurShader.getId(), "image"), 0);
        bloomShader.use();
        glUniform1i(glGetUniformLocation(bloomShader.getId(), "scene"), 0);
        glUniform1i(glGetUniformLocation(bloomShader.getId(), "bloomBlur"), 1);
    }

    void resize(int width, int height)
    {
        if (hdrFramebuffer != 0)
            deleteFramebuffers();
        settings.width = width;
        settings.height = height;
        glViewport(0, 0, width, height);
        const std::string output = captureStdout([] { createFramebuffers(); });
        EXPECT_EQ(output, "");
    }

    // Scene green on attachment 0, bright red on attachment 1.
    void clearScene(float sceneGreen, float brightRed)
    {
        glBindFramebuffer(GL_FRAMEBUFFER, hdrFramebuffer);
        const float scene[4] = {0.0f, sceneGreen, 0.0f, 1.0f};
        const float bright[4] = {brightRed, 0.0f, 0.0f, 1.0f};
        glClearBufferfv(GL_COLOR, 0, scene);
        glClearBufferfv(GL_COLOR, 1, bright);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }

    static float compositeExposureUniform()
    {
        float value = 0.0f;
        glGetUniformfv(bloomShader.getId(), glGetUniformLocation(bloomShader.getId(), "exposure"),
                       &value);
        return value;
    }

    static int uniformInt(const ShaderProgram& program, const char* name)
    {
        int value = -1;
        glGetUniformiv(program.getId(), glGetUniformLocation(program.getId(), name), &value);
        return value;
    }

    static int texturePixel(unsigned int texture, int width, int height, int channel)
    {
        std::vector<float> rgb(static_cast<std::size_t>(width) * height * 3);
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_FLOAT, rgb.data());
        return static_cast<int>(std::lround(rgb[static_cast<std::size_t>(channel)] * 100.0f));
    }

    static int quadsDrawn(const std::function<void()>& action)
    {
        return static_cast<int>(countPrimitives(GL_PRIMITIVES_GENERATED, action)) / 2;
    }

    static unsigned int boundOnUnitOne()
    {
        int bound = -1;
        glActiveTexture(GL_TEXTURE1);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        glActiveTexture(GL_TEXTURE0);
        return static_cast<unsigned int>(bound);
    }
};

} // namespace

TEST(Exposure, ReciprocalOfTheAverageGreenClampedToItsRange)
{
    const float inf = std::numeric_limits<float>::infinity();
    // Clamped results are exact; in range only the division's rounding may differ.
    for (const auto& [green, expected] : {std::pair{0.0f, 5.0f}, std::pair{0.1f, 5.0f}, std::pair{10.0f, 0.2f},
                                          std::pair{inf, 0.2f}, std::pair{1.0f, 1.0f}, std::pair{0.5f, 2.0f}}) {
        const std::vector<float> rgb = uniformImage(64 * 32, green);
        const float value = exposureFromReadback(rgb.data(), 64 * 32);
        if (expected == 5.0f || expected == 0.2f)
            EXPECT_EQ(value, expected) << green;
        else
            EXPECT_FLOAT_EQ(value, expected) << green;
    }
    std::vector<float> rgb = uniformImage(4, 0.0f);
    rgb[0] = rgb[2] = 100.0f; // red and blue are ignored
    rgb[3 * 3 + 1] = 2.0f;    // only the last pixel is lit: average 0.5
    EXPECT_FLOAT_EQ(exposureFromReadback(rgb.data(), 4), 2.0f);
    // Not a number, or nothing to average, still stays in range.
    rgb = uniformImage(16, 1.0f);
    rgb[7] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(exposureFromReadback(rgb.data(), 16), 0.2f);
    EXPECT_EQ(exposureFromReadback(nullptr, 0), 5.0f);
}

TEST_F(PostProcessingGl, FramebuffersAreWindowSizedFloatImages)
{
    resize(64, 32);
    EXPECT_NE(hdrFramebuffer, 0u);
    EXPECT_NE(depthRenderbuffer, 0u);
    for (unsigned int texture : {hdrColorTextures[0], hdrColorTextures[1], pingpongTextures[0],
                                 pingpongTextures[1]}) {
        EXPECT_EQ(textureLevelParameter(texture, GL_TEXTURE_WIDTH), 64);
        EXPECT_EQ(textureLevelParameter(texture, GL_TEXTURE_HEIGHT), 32);
        EXPECT_EQ(textureLevelParameter(texture, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB16F);
        int wrap = 0, filter = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
        EXPECT_EQ(wrap, GL_CLAMP_TO_EDGE);
        EXPECT_EQ(filter, GL_LINEAR);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, hdrFramebuffer);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(PostProcessingGl, CompositeUsesLastFramesExposureAndAdaptsForTheNext)
{
    exposure = 1.0f; // the start value, whatever ran before in this process
    resize(64, 32);
    bloomEnabled = true;
    clearScene(2.0f, 0.25f);
    runPostProcessing();
    EXPECT_EQ(compositeExposureUniform(), 1.0f);
    EXPECT_FLOAT_EQ(exposure, 0.5f);
    EXPECT_EQ(exposureReadback.size(), 64u * 32u * 3u);

    clearScene(0.0f, 0.25f);
    runPostProcessing();
    EXPECT_FLOAT_EQ(compositeExposureUniform(), 0.5f);
    EXPECT_EQ(exposure, 5.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(PostProcessingGl, BloomRunsThreeBlurPassesHorizontalVerticalHorizontal)
{
    resize(64, 32);
    bloomEnabled = true;
    clearScene(1.0f, 0.25f);
    EXPECT_EQ(quadsDrawn([] { runPostProcessing(); }), 4);
    // Three passes added 3 to red; the direction bits 1, 0, 1 give 0b101 in green.
    EXPECT_EQ(texturePixel(pingpongTextures[1], 64, 32, 0), 325);
    EXPECT_EQ(texturePixel(pingpongTextures[1], 64, 32, 1), 500);
    EXPECT_EQ(uniformInt(blurShader, "bloom_enabled"), 1);
    EXPECT_EQ(uniformInt(bloomShader, "bloom_enabled"), 1);
    EXPECT_EQ(boundOnUnitOne(), pingpongTextures[1]);
}

TEST_F(PostProcessingGl, BloomOffSkipsTheBlurAndLeavesUnitOneEmpty)
{
    resize(64, 32);
    bloomEnabled = false;
    clearScene(1.0f, 0.25f);
    EXPECT_EQ(quadsDrawn([] { runPostProcessing(); }), 1);
    EXPECT_EQ(uniformInt(blurShader, "bloom_enabled"), 0);
    EXPECT_EQ(uniformInt(bloomShader, "bloom_enabled"), 0);
    EXPECT_EQ(boundOnUnitOne(), 0u);
    bloomEnabled = true;
}

TEST_F(PostProcessingGl, AfterAResizeTheReadBackCoversExactlyTheNewImage)
{
    resize(64, 32);
    clearScene(1.0f, 0.0f);
    runPostProcessing();
    resize(48, 20);
    // Green 4 on the left half and 0 on the right: average 2, so exposure 0.5 only when
    // every pixel of the new size, and nothing else, is averaged.
    clearScene(4.0f, 0.0f);
    glBindFramebuffer(GL_FRAMEBUFFER, hdrFramebuffer);
    glEnable(GL_SCISSOR_TEST);
    glScissor(24, 0, 24, 20);
    const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glClearBufferfv(GL_COLOR, 0, black);
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    runPostProcessing();
    EXPECT_EQ(exposureReadback.size(), 48u * 20u * 3u);
    EXPECT_NEAR(exposure, 0.5f, 1e-4f); // the single-precision sum drifts a little
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(PostProcessingGl, AZeroSizedWindowKeepsTheLastExposure)
{
    resize(64, 32);
    clearScene(1.0f, 0.0f);
    runPostProcessing();
    ASSERT_FLOAT_EQ(exposure, 1.0f);
    const std::size_t readbackSize = exposureReadback.size();
    clearScene(10.0f, 0.0f);
    settings.width = 0; // what a minimised window would report
    runPostProcessing();
    EXPECT_FLOAT_EQ(exposure, 1.0f);
    EXPECT_EQ(exposureReadback.size(), readbackSize);
    settings.width = 64;
}
