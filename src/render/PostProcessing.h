// HDR framebuffer, bloom blur, tone-mapping composite and adaptive exposure.
#pragma once

#include <cstddef>
#include <vector>

#include "FrameView.h"

extern unsigned int hdrFramebuffer;
extern unsigned int hdrColorTextures[2];   // [0] scene, [1] bright parts
extern unsigned int depthRenderbuffer;
extern unsigned int pingpongFramebuffers[2];
extern unsigned int pingpongTextures[2];
extern float exposure;                     // starts at 1; within [0.2, 5] once adapted
extern std::vector<float> exposureReadback; // width x height x 3 floats

// At the size in `settings`, which must be non-zero. Says "Framebuffer not complete!" for
// each one the GL cannot draw into at that size.
void createFramebuffers();
// Whether every framebuffer the last createFramebuffers made can be drawn into.
bool framebuffersComplete();
void deleteFramebuffers();
// Blurs the bright parts when `bloomEnabled`; the texture holding the result, 0 when off.
unsigned int blurBrightParts(bool bloomEnabled);
// Scene and `bloomTexture` tone-mapped onto the window, then the exposure read back from the
// frame's whole image and adapted for the next frame.
void compositeOntoWindow(unsigned int bloomTexture, const FrameView& frame);
