#include "PostProcessing.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "Scene.h"
#include "Settings.h"
#include "GlTestSupport.h"

// The game's own blur and composite programs, run as the frame runs them.
namespace {

class PostProcessingGl : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ensureGlContext();
        buildPostProcessingPrograms();
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

    // The blur and the composite of one frame at the current size.
    static void postProcess(bool bloom)
    {
        FrameView frame;
        frame.width = settings.width;
        frame.height = settings.height;
        frame.bloomEnabled = bloom;
        compositeOntoWindow(blurBrightParts(bloom), frame);
    }

    // Bright image: black but for one texel of red 1 at (x, y).
    void lightOneBrightTexel(int x, int y)
    {
        glBindFramebuffer(GL_FRAMEBUFFER, hdrFramebuffer);
        const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        glClearBufferfv(GL_COLOR, 0, black);
        glClearBufferfv(GL_COLOR, 1, black);
        glEnable(GL_SCISSOR_TEST);
        glScissor(x, y, 1, 1);
        const float red[4] = {1.0f, 0.0f, 0.0f, 1.0f};
        glClearBufferfv(GL_COLOR, 1, red);
        glDisable(GL_SCISSOR_TEST);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }

    // How far the red of `texture` reaches from (x, y) along a row and along a column.
    static std::pair<int, int> reachFrom(unsigned int texture, int width, int height, int x, int y)
    {
        std::vector<float> rgb(static_cast<std::size_t>(width) * height * 3);
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_FLOAT, rgb.data());
        const auto red = [&](int column, int row) { return rgb[3 * (static_cast<std::size_t>(row) * width + column)]; };
        int across = 0, down = 0;
        while (x + across + 1 < width && red(x + across + 1, y) > 0.0f)
            ++across;
        while (y + down + 1 < height && red(x, y + down + 1) > 0.0f)
            ++down;
        return {across, down};
    }

    // One channel of the window's pixel at (x, y), 0..255.
    static int windowChannel(int x, int y, int channel)
    {
        unsigned char rgba[4] = {};
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
        return rgba[channel];
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
    clearScene(0.5f, 0.25f);
    postProcess(true);
    EXPECT_EQ(compositeExposureUniform(), 1.0f);
    EXPECT_FLOAT_EQ(exposure, 2.0f);
    EXPECT_EQ(exposureReadback.size(), 64u * 32u * 3u);
    // Green 0.5 at exposure 1 is a mid-tone: the composite places the adapted average at 0.35
    // of white before its filmic curve and gamma, which puts this pixel at 138 of 255. A
    // target grey 10 % off either way moves it by 6 or more levels.
    EXPECT_NEAR(windowChannel(10, 10, 1), 138, 2);

    clearScene(0.0f, 0.25f);
    postProcess(true);
    EXPECT_FLOAT_EQ(compositeExposureUniform(), 2.0f);
    EXPECT_EQ(exposure, 5.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(PostProcessingGl, BloomBlursAlongXThenYThenXAndAddsTheGlow)
{
    resize(64, 32);
    lightOneBrightTexel(32, 16);
    EXPECT_EQ(quadsDrawn([] { postProcess(true); }), 4);
    // Each pass spreads a texel two texels each way along its direction: two horizontal
    // passes and one vertical one reach four across and two down. A pass lost, a direction
    // swapped or the same direction twice reaches elsewhere.
    EXPECT_EQ(reachFrom(pingpongTextures[1], 64, 32, 32, 16), std::make_pair(4, 2));
    EXPECT_EQ(uniformInt(blurShader, "bloom_enabled"), 1);
    EXPECT_EQ(uniformInt(bloomShader, "bloom_enabled"), 1);
    EXPECT_EQ(boundOnUnitOne(), pingpongTextures[1]);
    // The scene is black: all light in the window is the glow, beside the texel too.
    EXPECT_GT(windowChannel(32, 16, 0), 0);
    EXPECT_GT(windowChannel(35, 16, 0), 0);
    EXPECT_EQ(windowChannel(40, 16, 0), 0);
}

TEST_F(PostProcessingGl, BloomOffSkipsTheBlurAndAddsNoGlow)
{
    resize(64, 32);
    lightOneBrightTexel(32, 16);
    EXPECT_EQ(quadsDrawn([] { postProcess(false); }), 1);
    EXPECT_EQ(uniformInt(blurShader, "bloom_enabled"), 0);
    EXPECT_EQ(uniformInt(bloomShader, "bloom_enabled"), 0);
    EXPECT_EQ(boundOnUnitOne(), 0u);
    EXPECT_EQ(windowChannel(32, 16, 0), 0);
}

TEST_F(PostProcessingGl, AfterAResizeTheReadBackCoversExactlyTheNewImage)
{
    resize(64, 32);
    clearScene(1.0f, 0.0f);
    postProcess(true);
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
    postProcess(true);
    EXPECT_EQ(exposureReadback.size(), 48u * 20u * 3u);
    EXPECT_NEAR(exposure, 0.5f, 1e-4f); // the single-precision sum drifts a little
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(PostProcessingGl, AZeroSizedWindowKeepsTheLastExposure)
{
    resize(64, 32);
    clearScene(1.0f, 0.0f);
    postProcess(true);
    ASSERT_FLOAT_EQ(exposure, 1.0f);
    const std::size_t readbackSize = exposureReadback.size();
    clearScene(10.0f, 0.0f);
    settings.width = 0; // what a minimised window would report
    postProcess(true);
    EXPECT_FLOAT_EQ(exposure, 1.0f);
    EXPECT_EQ(exposureReadback.size(), readbackSize);
    settings.width = 64;
}
