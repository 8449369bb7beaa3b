// HDR framebuffer, bloom blur, tone-mapping composite and adaptive exposure.
#pragma once

#include <cstddef>
#include <vector>

extern unsigned int hdrFramebuffer;
extern unsigned int hdrColorTextures[2];   // [0] scene, [1] bright parts
extern unsigned int depthRenderbuffer;
extern unsigned int pingpongFramebuffers[2];
extern unsigned int pingpongTextures[2];
extern unsigned int quadVao;
extern unsigned int quadVbo;
extern float exposure;                     // starts at 1; within [0.2, 5] once adapted
extern std::vector<float> exposureReadback; // width x height x 3 floats

// At the size in `settings`, which must be non-zero.
void createFramebuffers();
void deleteFramebuffers();
void renderQuad();
// Blur (when bloom is on), composite onto the window, read back and adapt the exposure.
void runPostProcessing();

// Exposure for the next frame from a tightly packed RGB float image of `pixelCount` pixels:
// 1 / (average green), clamped to [0.2, 5]; NaN gives 0.2 and infinity 5.
float exposureFromReadback(const float* rgb, std::size_t pixelCount);
