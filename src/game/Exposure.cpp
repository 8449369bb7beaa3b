#include "Exposure.h"

float exposureFromReadback(const float* rgb, std::size_t pixelCount)
{
    if (pixelCount == 0)
        return maxExposure; // nothing to average: treat it as a black image
    const float r = 1.0f / static_cast<float>(pixelCount);
    float sum = 0.0f;
    for (std::size_t k = 1; k < 3 * pixelCount; k += 3)
        sum += r * rgb[k];
    const float e = 1.0f / sum;
    if (!(e > minExposure))
        return minExposure;
    if (!(e < maxExposure))
        return maxExposure;
    return e;
}
