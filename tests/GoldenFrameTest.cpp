// Pictures of the real game at fixed moments, drawn in the default 1280 x 720 window so that
// every HUD line is in them, compared with the ones kept in tests/golden/.
//
// What may differ, and why: llvmpipe built against another LLVM, or running another vector
// width, rounds the shading maths differently, which moves a channel by a level or two here
// and there, and may flip a few edge or glyph pixels outright. So a picture passes while
// (a) at most `strayPixelLimit` pixels differ by more than `channelThreshold` levels, and
// (b) the channels differ by at most `meanDifferenceLimit` levels on average over the picture.
// A HUD digit off by one changes hundreds of pixels by far more than the threshold; an exposure
// 10 % off, a light moved by one key press or a missing blur pass shift the lit half of the
// picture by a few levels, which the mean sees.
//
// ORBELUNE_UPDATE_GOLDEN=1 rewrites the kept pictures from this build instead of comparing.
#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include "GlTestSupport.h"

namespace {

constexpr int channelThreshold = 16;          // levels of 255 beyond which a pixel counts as differing
constexpr int strayPixelLimit = 20;           // differing pixels allowed in a picture
constexpr double meanDifferenceLimit = 0.25;  // levels, averaged over every channel of every pixel

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};

bool readPicture(const std::string& path, Picture& picture)
{
    int channels = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &picture.width, &picture.height, &channels, 3);
    if (!pixels)
        return false;
    picture.rgb.assign(pixels, pixels + static_cast<std::size_t>(picture.width) * picture.height * 3);
    stbi_image_free(pixels);
    return true;
}

struct Comparison {
    int differingPixels = 0;     // pixels with a channel beyond the threshold
    double meanDifference = 0.0; // levels, over every channel of every pixel
    Picture difference;          // differing pixels white, any other change grey, on a dimmed copy
};

Comparison compare(const Picture& expected, const Picture& actual)
{
    Comparison result;
    result.difference = expected;
    long long total = 0;
    for (std::size_t pixel = 0; pixel + 2 < expected.rgb.size(); pixel += 3) {
        int largest = 0;
        for (std::size_t c = 0; c < 3; ++c) {
            const int change = std::abs(expected.rgb[pixel + c] - actual.rgb[pixel + c]);
            largest = std::max(largest, change);
            total += change;
        }
        const bool differs = largest > channelThreshold;
        for (std::size_t c = 0; c < 3; ++c) {
            result.difference.rgb[pixel + c] = static_cast<unsigned char>(
                differs ? 255 : largest > 0 ? 128 : expected.rgb[pixel + c] / 4);
        }
        result.differingPixels += differs ? 1 : 0;
    }
    result.meanDifference = static_cast<double>(total) / static_cast<double>(expected.rgb.size());
    return result;
}

void writePicture(const std::string& path, const Picture& picture)
{
    stbi_write_png(path.c_str(), picture.width, picture.height, 3, picture.rgb.data(), picture.width * 3);
}

class GoldenFrameTest : public ::testing::TestWithParam<const char*> {};

TEST_P(GoldenFrameTest, MatchesTheKeptPicture)
{
    const std::string moment = GetParam();
    const std::string golden = std::string(ORBELUNE_GOLDEN_DIR) + "/" + moment + ".png";
    const std::string actualPath = std::string(ORBELUNE_GOLDEN_OUTPUT_DIR) + "/" + moment + "-actual.png";
    const std::string differencePath =
        std::string(ORBELUNE_GOLDEN_OUTPUT_DIR) + "/" + moment + "-difference.png";
    std::remove(actualPath.c_str());
    std::remove(differencePath.c_str());

    usePrivateDisplay();
    TempDir scores;
    const ProcessResult render = runProcess(
        {ORBELUNE_GOLDEN_RENDERER, moment, actualPath, scores.file("scores.txt")}, runDirectory(), "", 240.0);
    ASSERT_EQ(render.exitStatus, 0) << render.output;

    Picture actual;
    ASSERT_TRUE(readPicture(actualPath, actual)) << actualPath;
    if (std::getenv("ORBELUNE_UPDATE_GOLDEN")) {
        writePicture(golden, actual);
        std::remove(actualPath.c_str());
        GTEST_SKIP() << "rewrote " << golden;
    }

    Picture expected;
    ASSERT_TRUE(readPicture(golden, expected)) << "no kept picture " << golden;
    ASSERT_EQ(actual.width, expected.width);
    ASSERT_EQ(actual.height, expected.height);
    const Comparison comparison = compare(expected, actual);
    if (comparison.differingPixels > strayPixelLimit || comparison.meanDifference > meanDifferenceLimit) {
        writePicture(differencePath, comparison.difference);
        FAIL() << comparison.differingPixels << " pixels differ by more than " << channelThreshold
               << " levels (at most " << strayPixelLimit << " may), and the channels by "
               << comparison.meanDifference << " levels on average (at most " << meanDifferenceLimit
               << ") from " << golden << "\n  actual:     " << actualPath
               << "\n  difference: " << differencePath;
    }
    std::remove(actualPath.c_str());
}

INSTANTIATE_TEST_SUITE_P(Moments, GoldenFrameTest,
                         ::testing::Values("first-frame", "asteroids", "asteroids-culled", "star-burst", "star-burst-wireframe",
                                           "star-burst-hdr-off", "star-burst-bloom-off", "win-message",
                                           "game-over"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 c = c == '-' ? '_' : c;
                             return name;
                         });

} // namespace
