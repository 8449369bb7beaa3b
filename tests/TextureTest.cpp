// loadTexture against a real GL context: formats per channel count, row packing, bad files.
#include "GlTestSupport.h"
#include "Texture.h"

#include <GL/glew.h>
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <string>
#include <vector>

namespace {

class TextureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureGlContext();
        // As in the game, where the text renderer sets it before any texture loads.
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
    }

    std::string writePng(const std::string& name, int width, int height, int channels,
                         const std::vector<unsigned char>& pixels) const
    {
        const std::string path = dir.file(name);
        EXPECT_NE(0, stbi_write_png(path.c_str(), width, height, channels, pixels.data(), width * channels));
        return path;
    }

    // Loads `path` and returns what was printed; the name goes to `texture`.
    std::string load(const std::string& path, bool gammaCorrection, unsigned int& texture) const
    {
        return captureStdout([&] { texture = loadTexture(path, gammaCorrection); });
    }

    static std::vector<unsigned char> readBack(unsigned int texture, GLenum format, size_t size)
    {
        std::vector<unsigned char> pixels(size, 0xAB);
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    TempDir dir;
};

} // namespace

TEST_F(TextureTest, OddWidthRgbReadsBackWithoutRowSkew)
{
    // 3 pixels of 3 bytes: 9-byte rows that a 4-byte alignment would pad.
    std::vector<unsigned char> pixels(3 * 3 * 2);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<unsigned char>(10 * i + 1);
    const std::string path = writePng("odd.png", 3, 2, 3, pixels);

    unsigned int texture = 0;
    EXPECT_EQ(path + " loaded.\n", load(path, false, texture));
    ASSERT_NE(0u, texture);
    EXPECT_EQ(GL_RGB8, textureLevelParameter(texture, GL_TEXTURE_INTERNAL_FORMAT));
    EXPECT_EQ(3, textureLevelParameter(texture, GL_TEXTURE_WIDTH));
    EXPECT_EQ(2, textureLevelParameter(texture, GL_TEXTURE_HEIGHT));
    // Not flipped: the file's first row is row 0.
    EXPECT_EQ(pixels, readBack(texture, GL_RGB, pixels.size()));

    GLint texParameter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &texParameter);
    EXPECT_EQ(GL_LINEAR_MIPMAP_LINEAR, texParameter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &texParameter);
    EXPECT_EQ(GL_REPEAT, texParameter);
    // A full mipmap chain: the 1 x 1 level exists.
    GLint smallestWidth = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &smallestWidth);
    EXPECT_EQ(1, smallestWidth);
}

TEST_F(TextureTest, FormatFollowsTheChannelsAndGammaCorrectionOnlyTouchesColour)
{
    const struct {
        const char* name;
        int channels;
        bool gamma, readsBack;
        GLint format;
        GLenum readFormat;
        std::vector<unsigned char> pixels;
    } cases[] = {
        {"grey.png", 1, false, true, GL_R8, GL_RED, {0, 64, 128, 255, 7}},
        {"rgba.png", 4, false, true, GL_RGBA8, GL_RGBA, {255, 0, 0, 10, 0, 255, 0, 200}},
        {"grey-alpha.png", 2, true, true, GL_RG8, GL_RG, {90, 255, 30, 0, 200, 128}},
        {"alpha.png", 4, true, false, GL_SRGB8_ALPHA8, 0, {1, 2, 3, 4}},
        {"grey-gamma.png", 1, true, false, GL_R8, 0, {9}},
        {"colour.jpg", 3, true, false, GL_SRGB8, 0, std::vector<unsigned char>(4 * 3, 120)},
    };
    for (const auto& c : cases) {
        const int width = static_cast<int>(c.pixels.size()) / c.channels;
        const std::string path = dir.file(c.name);
        if (std::string(c.name).find(".jpg") != std::string::npos) {
            ASSERT_NE(0, stbi_write_jpg(path.c_str(), width, 1, c.channels, c.pixels.data(), 90));
        } else {
            writePng(c.name, width, 1, c.channels, c.pixels);
        }
        unsigned int texture = 0;
        EXPECT_EQ(path + " loaded.\n", load(path, c.gamma, texture));
        EXPECT_EQ(c.format, textureLevelParameter(texture, GL_TEXTURE_INTERNAL_FORMAT)) << c.name;
        if (c.readsBack) {
            EXPECT_EQ(c.pixels, readBack(texture, c.readFormat, c.pixels.size())) << c.name;
        }
    }
}

TEST_F(TextureTest, MissingFileGivesAFreshEmptyNameAndOnlyTheFailureLine)
{
    // Spoiled bytes are the hostile-asset tests' work; here a missing file, twice.
    const std::string path = dir.file("missing.png");
    unsigned int first = 0;
    unsigned int second = 0;
    EXPECT_EQ("Texture failed to load at path: " + path + "\n", load(path, false, first));
    load(path, false, second);
    EXPECT_NE(0u, first);
    EXPECT_NE(first, second) << "two failures never hand out the same name";
}
