// loadTexture against a real GL context: formats per channel count, row packing, bad files.
#include "TestSupport.h"
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

    static GLint levelParameter(unsigned int texture, GLenum parameter)
    {
        glBindTexture(GL_TEXTURE_2D, texture);
        GLint value = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, parameter, &value);
        return value;
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
    EXPECT_EQ(GL_RGB, levelParameter(texture, GL_TEXTURE_INTERNAL_FORMAT));
    EXPECT_EQ(3, levelParameter(texture, GL_TEXTURE_WIDTH));
    EXPECT_EQ(2, levelParameter(texture, GL_TEXTURE_HEIGHT));
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

TEST_F(TextureTest, GreyStaysOneChannelAndAlphaIsKept)
{
    const std::vector<unsigned char> grey = {0, 64, 128, 255, 7};
    const std::string greyPath = writePng("grey.png", 5, 1, 1, grey);
    const std::vector<unsigned char> rgba = {255, 0, 0, 10, 0, 255, 0, 200};
    const std::string rgbaPath = writePng("rgba.png", 2, 1, 4, rgba);

    unsigned int greyTexture = 0;
    unsigned int rgbaTexture = 0;
    load(greyPath, false, greyTexture);
    load(rgbaPath, false, rgbaTexture);

    EXPECT_EQ(GL_RED, levelParameter(greyTexture, GL_TEXTURE_INTERNAL_FORMAT));
    EXPECT_EQ(grey, readBack(greyTexture, GL_RED, grey.size()));
    EXPECT_EQ(GL_RGBA, levelParameter(rgbaTexture, GL_TEXTURE_INTERNAL_FORMAT));
    EXPECT_EQ(rgba, readBack(rgbaTexture, GL_RGBA, rgba.size()));
}

TEST_F(TextureTest, GreyWithAlphaBecomesRedGreen)
{
    const std::vector<unsigned char> greyAlpha = {90, 255, 30, 0, 200, 128};
    const std::string path = writePng("grey-alpha.png", 3, 1, 2, greyAlpha);
    unsigned int texture = 0;
    EXPECT_EQ(path + " loaded.\n", load(path, true, texture));
    EXPECT_EQ(GL_RG, levelParameter(texture, GL_TEXTURE_INTERNAL_FORMAT));
    EXPECT_EQ(greyAlpha, readBack(texture, GL_RG, greyAlpha.size()));
}

TEST_F(TextureTest, GammaCorrectionSelectsSrgbForColourOnly)
{
    const std::string jpegPath = dir.file("colour.jpg");
    const std::vector<unsigned char> rgb(4 * 4 * 3, 120);
    ASSERT_NE(0, stbi_write_jpg(jpegPath.c_str(), 4, 4, 3, rgb.data(), 90));
    const std::string rgbaPath = writePng("alpha.png", 1, 1, 4, {1, 2, 3, 4});
    const std::string greyPath = writePng("grey.png", 1, 1, 1, {9});

    unsigned int jpeg = 0;
    unsigned int alpha = 0;
    unsigned int grey = 0;
    load(jpegPath, true, jpeg);
    load(rgbaPath, true, alpha);
    load(greyPath, true, grey);
    EXPECT_EQ(GL_SRGB, levelParameter(jpeg, GL_TEXTURE_INTERNAL_FORMAT));
    EXPECT_EQ(GL_SRGB_ALPHA, levelParameter(alpha, GL_TEXTURE_INTERNAL_FORMAT));
    EXPECT_EQ(GL_RED, levelParameter(grey, GL_TEXTURE_INTERNAL_FORMAT));
}

TEST_F(TextureTest, UnreadableFilesGiveAnEmptyNameAndOnlyTheFailureLine)
{
    dir.write("corrupt.png", "\x89PNG\r\n\x1a\n this is not really an image");
    dir.write("empty.jpg", "");
    for (const std::string& path : {dir.file("missing.png"), dir.file("corrupt.png"), dir.file("empty.jpg")}) {
        unsigned int texture = 0;
        EXPECT_EQ("Texture failed to load at path: " + path + "\n", load(path, false, texture));
        EXPECT_NE(0u, texture) << path;
    }
    // Two failures never hand out the same name.
    unsigned int first = 0;
    unsigned int second = 0;
    load(dir.file("missing.png"), false, first);
    load(dir.file("missing.png"), false, second);
    EXPECT_NE(first, second);
}

TEST_F(TextureTest, PngHeaderDeclaringAHugeImageFailsCleanly)
{
    // A real 1 x 1 PNG whose header then claims far more pixels than the file holds.
    const std::string path = writePng("small.png", 1, 1, 3, {1, 2, 3});
    std::string bytes = readFile(path);
    ASSERT_GT(bytes.size(), 24u);
    const struct {
        const char* name;
        unsigned char size[4];
    } claims[] = {
        {"huge.png", {0x7F, 0xFF, 0xFF, 0xFF}},   // beyond any decoder limit
        {"large.png", {0x00, 0x00, 0x75, 0x30}}, // 30000, plausible but with no data behind it
    };
    for (const auto& claim : claims) {
        for (int i = 0; i < 4; ++i) {
            bytes[16 + i] = static_cast<char>(claim.size[i]); // width
            bytes[20 + i] = static_cast<char>(claim.size[i]); // height
        }
        dir.write(claim.name, bytes);
        unsigned int texture = 0;
        EXPECT_EQ("Texture failed to load at path: " + dir.file(claim.name) + "\n",
                  load(dir.file(claim.name), false, texture));
        EXPECT_NE(0u, texture);
    }
}
