// The exposure arithmetic of the tone-mapping composite, apart from the read-back that feeds it.
#pragma once

#include <cstddef>

constexpr float minExposure = 0.2f;
constexpr float maxExposure = 5.0f;

// Exposure for the next frame from a tightly packed RGB float image of `pixelCount` pixels:
// 1 / (average green), clamped to [0.2, 5]; NaN gives 0.2 and infinity 5.
float exposureFromReadback(const float* rgb, std::size_t pixelCount);
