#include "Exposure.h"

#include <gtest/gtest.h>

#include <limits>
#include <utility>
#include <vector>

namespace {

std::vector<float> uniformImage(std::size_t pixels, float green)
{
    std::vector<float> rgb(pixels * 3, 0.0f);
    for (std::size_t k = 1; k < rgb.size(); k += 3)
        rgb[k] = green;
    return rgb;
}

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

TEST(Exposure, RgbaReadBackIsReadFourFloatsAPixel)
{
    // Two pixels, RGBA: green 1 and 0, with red, blue and alpha far off, so that reading
    // three floats a pixel (or the alpha as green) gives another exposure.
    const std::vector<float> rgba = {50.0f, 1.0f, 50.0f, 0.0f, 50.0f, 0.0f, 50.0f, 3.0f};
    EXPECT_FLOAT_EQ(exposureFromReadback(rgba.data(), 2, 4), 2.0f);
}

} // namespace
