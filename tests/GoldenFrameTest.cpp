// Pictures of the real game at fixed moments, compared with the ones kept in tests/golden/.
// The tolerance lets a pixel drift by a few levels, as another LLVM or vector width makes it,
// and lets a sliver of pixels differ outright (an edge rasterised one pixel over); a moved
// HUD line, a lost bloom or a black frame differ far beyond both.
//
// ORBELUNE_UPDATE_GOLDEN=1 rewrites the kept pictures from this build instead of comparing.
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include "TestSupport.h"

namespace {

constexpr int channelThreshold = 24;       // levels of 255 a channel may drift
constexpr double differingShareLimit = 0.002; // share of pixels allowed beyond the threshold

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

// Differing pixels shown white on a dimmed copy of the expected picture.
Picture differencePicture(const Picture& expected, const Picture& actual, int& differing)
{
    Picture difference = expected;
    differing = 0;
    for (std::size_t pixel = 0; pixel + 2 < expected.rgb.size(); pixel += 3) {
        bool differs = false;
        for (std::size_t c = 0; c < 3; ++c)
            differs |= std::abs(expected.rgb[pixel + c] - actual.rgb[pixel + c]) > channelThreshold;
        for (std::size_t c = 0; c < 3; ++c)
            difference.rgb[pixel + c] = differs ? 255 : expected.rgb[pixel + c] / 4;
        differing += differs ? 1 : 0;
    }
    return difference;
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
    int differing = 0;
    const Picture difference = differencePicture(expected, actual, differing);
    const double share = static_cast<double>(differing) / (expected.width * expected.height);
    if (share > differingShareLimit) {
        writePicture(differencePath, difference);
        FAIL() << differing << " pixels (" << share * 100.0 << "%) differ from " << golden
               << "\n  actual:     " << actualPath << "\n  difference: " << differencePath;
    }
    std::remove(actualPath.c_str());
}

INSTANTIATE_TEST_SUITE_P(Moments, GoldenFrameTest,
                         ::testing::Values("first-frame", "asteroids", "star-burst", "star-burst-wireframe",
                                           "star-burst-hdr-off", "star-burst-bloom-off", "win-message",
                                           "game-over"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 c = c == '-' ? '_' : c;
                             return name;
                         });

} // namespace
