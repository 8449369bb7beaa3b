#include "Exposure.h"

float exposureFromReadback(const float* pixels, std::size_t pixelCount, std::size_t channels)
{
    if (pixelCount == 0)
        return maxExposure; // nothing to average: treat it as a black image
    const float r = 1.0f / static_cast<float>(pixelCount);
    float sum = 0.0f;
    for (std::size_t k = 1; k < channels * pixelCount; k += channels)
        sum += r * pixels[k];
    const float e = 1.0f / sum;
    if (!(e > minExposure))
        return minExposure;
    if (!(e < maxExposure))
        return maxExposure;
    return e;
}
