// HDR framebuffer, separable bloom blur, exposure composite and exposure adaptation.
#include "PostProcessing.h"

#include <GL/glew.h>

#include <cmath>
#include <iostream>

#include "Exposure.h"
#include "GlFlavour.h"
#include "RenderResources.h"
#include "Settings.h"

unsigned int hdrFramebuffer = 0;
unsigned int hdrColorTextures[2] = {0, 0};
unsigned int depthRenderbuffer = 0;
unsigned int pingpongFramebuffers[2] = {0, 0};
unsigned int pingpongTextures[2] = {0, 0};
float exposure = 1.0f;
std::vector<float> exposureReadback;

namespace {

// Horizontal, vertical, horizontal: the last pass lands in ping-pong texture 1.
constexpr int bloomBlurPasses = 3;

// x, y, z, u, v per vertex, as a triangle strip covering the whole window.
constexpr float quadVertices[] = {
    -1.0f, 1.0f,  0.0f, 0.0f, 1.0f,
    -1.0f, -1.0f, 0.0f, 0.0f, 0.0f,
    1.0f,  1.0f,  0.0f, 1.0f, 1.0f,
    1.0f,  -1.0f, 0.0f, 1.0f, 0.0f,
};
unsigned int quadVao = 0;
unsigned int quadVbo = 0;

// ES cannot draw into RGB16F; RGBA16F (with EXT_color_buffer_float) it can. Its read-back is
// RGBA as well, so each read-back pixel is this many floats.
constexpr GLenum colorInternalFormat = openGlEs ? GL_RGBA16F : GL_RGB16F;
constexpr GLenum colorPixelFormat = openGlEs ? GL_RGBA : GL_RGB;
constexpr std::size_t readbackChannels = openGlEs ? 4 : 3;

// Allocates the bound texture as a window-sized float image.
void allocateColorTexture()
{
    glTexImage2D(GL_TEXTURE_2D, 0, colorInternalFormat, settings.width, settings.height, 0,
                 colorPixelFormat, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // Clamp to edge, or the blur samples the opposite border.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

bool allComplete = false; // of the last set made

void reportIfIncomplete()
{
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        std::cout << "Framebuffer not complete!" << std::endl;
        allComplete = false;
    }
}

// Reads the scene image back and derives the exposure the next frame composites with.
// Expects the scene texture bound on unit 0; no binding changes, only the active unit.
void adaptExposure(int width, int height)
{
    if (width <= 0 || height <= 0)
        return; // a zero-sized image has no average; keep the last exposure
    const std::size_t pixelCount =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (exposureReadback.size() != pixelCount * readbackChannels)
        exposureReadback.assign(pixelCount * readbackChannels, 0.0f);
    glActiveTexture(GL_TEXTURE0);
    // NOTE: float rows are a multiple of 4 bytes, so they come back tight under the default
    // pack alignment of 4, which nothing in the program changes.
    if constexpr (openGlEs) {
        // ES has no texture read-back: the scene attachment is read through the read
        // framebuffer instead, which is left unbound again for the window.
        glBindFramebuffer(GL_READ_FRAMEBUFFER, hdrFramebuffer);
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_FLOAT, exposureReadback.data());
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    } else {
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_FLOAT, exposureReadback.data());
    }
    exposure = exposureFromReadback(exposureReadback.data(), pixelCount, readbackChannels);
}

void renderQuad()
{
    if (quadVao == 0) {
        // Made on first use and kept until exit; every later pass draws the same quad.
        glGenVertexArrays(1, &quadVao);
        glGenBuffers(1, &quadVbo);
        glBindVertexArray(quadVao);
        glBindBuffer(GL_ARRAY_BUFFER, quadVbo);
        glBufferData(GL_ARRAY_BUFFER, sizeof(quadVertices), quadVertices, GL_STATIC_DRAW);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 5 * sizeof(float), nullptr);
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 5 * sizeof(float),
                              reinterpret_cast<void*>(3 * sizeof(float)));
    }
    glBindVertexArray(quadVao);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glBindVertexArray(0);
}

} // namespace

void createFramebuffers()
{
    // Each resize deletes these and makes them anew; the last set lives until exit.
    allComplete = true;
    glGenFramebuffers(1, &hdrFramebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, hdrFramebuffer);
    glGenTextures(2, hdrColorTextures);
    for (unsigned int i = 0; i < 2; ++i) {
        glBindTexture(GL_TEXTURE_2D, hdrColorTextures[i]);
        allocateColorTexture();
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, GL_TEXTURE_2D,
                               hdrColorTextures[i], 0);
    }
    glGenRenderbuffers(1, &depthRenderbuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, depthRenderbuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, settings.width, settings.height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                              depthRenderbuffer);
    const GLenum drawBuffers[2] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
    glDrawBuffers(2, drawBuffers);
    reportIfIncomplete();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);

    glGenFramebuffers(2, pingpongFramebuffers);
    glGenTextures(2, pingpongTextures);
    for (unsigned int i = 0; i < 2; ++i) {
        glBindFramebuffer(GL_FRAMEBUFFER, pingpongFramebuffers[i]);
        glBindTexture(GL_TEXTURE_2D, pingpongTextures[i]);
        allocateColorTexture();
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                               pingpongTextures[i], 0);
        reportIfIncomplete();
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

bool framebuffersComplete()
{
    return allComplete;
}

void deleteFramebuffers()
{
    glDeleteFramebuffers(1, &hdrFramebuffer);
    glDeleteTextures(2, hdrColorTextures);
    glDeleteFramebuffers(2, pingpongFramebuffers);
    glDeleteTextures(2, pingpongTextures);
    glDeleteRenderbuffers(1, &depthRenderbuffer);
    // Zero names, so a stale one is never bound or deleted twice.
    hdrFramebuffer = 0;
    hdrColorTextures[0] = hdrColorTextures[1] = 0;
    pingpongFramebuffers[0] = pingpongFramebuffers[1] = 0;
    pingpongTextures[0] = pingpongTextures[1] = 0;
    depthRenderbuffer = 0;
}

unsigned int blurBrightParts(bool bloomEnabled)
{
    glDisable(GL_DEPTH_TEST);
    blurShader.use();
    glUniform1i(glGetUniformLocation(blurShader.getId(), "bloom_enabled"), bloomEnabled ? 1 : 0);
    if (!bloomEnabled)
        return 0;
    // Back and forth between the ping-pong framebuffers, starting from the bright image.
    bool horizontal = true;
    bool first = true;
    for (int pass = 0; pass < bloomBlurPasses; ++pass) {
        glBindFramebuffer(GL_FRAMEBUFFER, pingpongFramebuffers[horizontal]);
        glUniform1i(glGetUniformLocation(blurShader.getId(), "horizontal"), horizontal ? 1 : 0);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D,
                      first ? hdrColorTextures[1] : pingpongTextures[!horizontal]);
        renderQuad();
        horizontal = !horizontal;
        first = false;
    }
    return pingpongTextures[!horizontal];
}

void compositeOntoWindow(unsigned int bloomTexture, const FrameView& frame)
{
    glDisable(GL_DEPTH_TEST);
    // The composite replaces whatever the window held.
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    bloomShader.use();
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, hdrColorTextures[0]);
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, bloomTexture);
    glUniform1f(glGetUniformLocation(bloomShader.getId(), "exposure"), exposure);
    glUniform1i(glGetUniformLocation(bloomShader.getId(), "bloom_enabled"),
                frame.bloomEnabled ? 1 : 0);

    // The new exposure takes effect next frame; the uniform above already holds this one's.
    adaptExposure(frame.width, frame.height);
    renderQuad();
}
