// The exposure arithmetic of the tone-mapping composite, apart from the read-back that feeds it.
#pragma once

#include <cstddef>

constexpr float minExposure = 0.2f;
constexpr float maxExposure = 5.0f;

// Exposure for the next frame from a tightly packed float image of `pixelCount` pixels, red
// first, of `channels` floats each (3 for RGB, 4 where the read-back can only be RGBA):
// 1 / (average green), clamped to [0.2, 5]; NaN gives 0.2 and infinity 5.
float exposureFromReadback(const float* pixels, std::size_t pixelCount, std::size_t channels = 3);
