// Image and OBJ files cut short, overwritten with noise or mutated at random: each load ends
// in the loader's own message, never in a crash or a read past a buffer.
#include "Mesh.h"
#include "TestSupport.h"
#include "Texture.h"

#include <GL/glew.h>
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace {

std::string randomBytes(std::mt19937& random, size_t count)
{
    std::string bytes(count, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random() % 256);
    return bytes;
}

std::string mutateBytes(std::string bytes, std::mt19937& random)
{
    const int flips = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < flips && !bytes.empty(); ++i)
        bytes[random() % bytes.size()] = static_cast<char>(random() % 256);
    return bytes;
}

// --- images -------------------------------------------------------------------------------

class HostileImage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureGlContext();
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    }

    // A small gradient image written by stb, as the asset generator writes ours.
    std::string validImage(const std::string& name, int channels, bool jpeg) const
    {
        const int side = 12;
        std::vector<unsigned char> pixels(static_cast<size_t>(side * side * channels));
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<unsigned char>(i * 7);
        const std::string path = dir.file(name);
        if (jpeg)
            stbi_write_jpg(path.c_str(), side, side, channels, pixels.data(), 90);
        else
            stbi_write_png(path.c_str(), side, side, channels, pixels.data(), side * channels);
        return readFile(path);
    }

    // Loads `bytes` as an image file: either it decodes or the one failure line is printed.
    void expectCleanLoad(const std::string& bytes, const std::string& what, bool mustFail = false)
    {
        dir.write("case.img", bytes);
        const std::string path = dir.file("case.img");
        unsigned int texture = 0;
        const std::string printed = captureStdout([&] { texture = loadTexture(path, false); });
        const std::string failed = "Texture failed to load at path: " + path + "\n";
        EXPECT_TRUE(printed == failed || (!mustFail && printed == path + " loaded.\n")) << what << ": " << printed;
        EXPECT_NE(0u, texture) << what;
        glDeleteTextures(1, &texture);
    }

    TempDir dir;
};

TEST_F(HostileImage, EveryTruncationOfAPngAndAJpegFailsOrDecodes)
{
    for (const auto& [name, jpeg, channels] :
         {std::tuple{"rgba.png", false, 4}, std::tuple{"grey.png", false, 1}, std::tuple{"rgb.jpg", true, 3}}) {
        const std::string whole = validImage(name, channels, jpeg);
        ASSERT_GT(whole.size(), 40u) << name;
        for (size_t length = 0; length < whole.size(); ++length)
            expectCleanLoad(whole.substr(0, length), std::string(name) + " cut at " + std::to_string(length),
                            length < 8); // not even a whole signature
    }
}

TEST_F(HostileImage, RandomBytesAndRandomMutationsFailOrDecode)
{
    std::mt19937 random(1234);
    const std::string png = validImage("base.png", 3, false);
    const std::string jpeg = validImage("base.jpg", 3, true);
    for (int i = 0; i < 300; ++i) {
        expectCleanLoad(mutateBytes(i % 2 ? png : jpeg, random), "mutation " + std::to_string(i));
        // Noise behind a real signature reaches past the format sniffing into the decoders.
        const std::string signature = i % 2 ? png.substr(0, 8) : jpeg.substr(0, 2);
        expectCleanLoad(signature + randomBytes(random, random() % 512), "noise " + std::to_string(i));
    }
}

TEST_F(HostileImage, HeadersDeclaringHugeImagesFailWithoutDecoding)
{
    // JPEG: the frame header's height and width (big-endian, after the 0xFFC0 marker) raised
    // to 65535 each, with only the original few hundred bytes of data behind them.
    std::string jpeg = validImage("base.jpg", 3, true);
    const size_t frame = jpeg.find("\xff\xc0");
    ASSERT_NE(frame, std::string::npos);
    for (size_t i = frame + 5; i < frame + 9; ++i)
        jpeg[i] = '\xff';
    expectCleanLoad(jpeg, "65535 x 65535 jpeg", true);

    // PNG: width and height of the header chunk, the largest the format allows, and 30000,
    // plausible but with no data behind it.
    for (const char* size : {"\x7f\xff\xff\xff", "\x00\x00\x75\x30"}) {
        std::string png = validImage("base.png", 4, false);
        png.replace(16, 4, size, 4);
        png.replace(20, 4, size, 4);
        expectCleanLoad(png, "huge png", true);
    }
}

// --- OBJ models ---------------------------------------------------------------------------

// A textured, lit cube in two groups, as a modelling tool writes one.
const char* const cube = "mtllib cube.mtl\n"
                         "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\n"
                         "v -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
                         "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                         "vn 0 0 -1\nvn 0 0 1\nvn 0 -1 0\nvn 0 1 0\nvn -1 0 0\nvn 1 0 0\n"
                         "g front\nusemtl rock\n"
                         "f 1/1/1 2/2/1 3/3/1 4/4/1\nf 5/1/2 8/4/2 7/3/2 6/2/2\n"
                         "g sides\n"
                         "f 1/1/3 5/2/3 6/3/3 2/4/3\nf 4/1/4 3/2/4 7/3/4 8/4/4\n"
                         "f 1/1/5 4/2/5 8/3/5 5/4/5\nf 2/1/6 6/2/6 7/3/6 3/4/6\n";

// Loads one case in a fresh child (the loader ends the process on failure) and reports on
// standard error, where the death test reads it.
[[noreturn]] void loadAndExit(const std::string& path)
{
    dup2(2, 1);
    ensureGlContext();
    Mesh mesh;
    mesh.load(path);
    for (const MeshShape& shape : mesh.shapes) {
        // Whole triangles, and every attribute array holds one entry per vertex.
        const size_t vertices = shape.positions.size() / 3;
        if (shape.positions.size() % 9 != 0 || (!shape.normals.empty() && shape.normals.size() != 3 * vertices) ||
            (!shape.texcoords.empty() && shape.texcoords.size() != 2 * vertices)) {
            std::cout << "inconsistent arrays" << std::endl;
            std::_Exit(3);
        }
    }
    std::cout.flush();
    std::_Exit(0);
}

bool loadedOrRefused(int status)
{
    return WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 255);
}

// Cases in the working directory, so the death test's re-run child finds each under the
// same name; the child rebuilds the same bytes from the same seed. The name is the test's,
// so tests running side by side in that directory never write each other's case.
class HostileObj : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
    void TearDown() override { std::remove(path.c_str()); }

    void expectLoadedOrRefused(const std::string& bytes, const std::string& what)
    {
        std::ofstream(path, std::ios::binary) << bytes;
        EXPECT_EXIT(loadAndExit(path), loadedOrRefused,
                    "(" + pattern + " loaded\\.|Cannot load " + pattern + "\n\t)")
            << what;
    }

    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::string path = "./hostile-" + name + ".obj";
    const std::string pattern = "\\./hostile-" + name + "\\.obj"; // test names are letters only
};

TEST_F(HostileObj, TruncationsNoiseAndMutationsLoadOrEndWithTheMessage)
{
    const std::string whole = cube;
    std::mt19937 random(99);
    // Each case costs a process with a GL context, so the sweep stays small.
    for (int i = 1; i <= 6; ++i) {
        const size_t length = whole.size() * static_cast<size_t>(i) / 7;
        expectLoadedOrRefused(whole.substr(0, length), "cut at " + std::to_string(length));
    }
    for (int i = 0; i < 5; ++i)
        expectLoadedOrRefused(randomBytes(random, 1 + random() % 400), "noise " + std::to_string(i));
    // Digits changed at random make indices that point anywhere, zero and negative included.
    for (int i = 0; i < 9; ++i) {
        std::string mutated = whole;
        for (int flip = 0; flip < 3; ++flip) {
            const size_t at = whole.size() / 2 + random() % (whole.size() / 2);
            mutated[at] = "0123456789-/ "[random() % 13];
        }
        expectLoadedOrRefused(mutated, "mutation " + std::to_string(i));
    }
}

TEST_F(HostileObj, IndicesOutsideTheFileAndMissingFilesEndTheLoad)
{
    // Past the end, before the first (relative), in each attribute, and far out of range.
    for (const char* face : {"f 1 2 9\n", "f -1 -2 -7\n", "f 1//1 2//1 3//5\n", "f 1/1 2/1 3/2\n",
                             "f 1 2 2147483647\n", "f 1 2 -2147483648\n", "f 1/99999999999 2/1 3/1\n"}) {
        std::ofstream(path, std::ios::binary) << "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\n" << face;
        EXPECT_EXIT(loadAndExit(path), ::testing::ExitedWithCode(255),
                    "Cannot load " + pattern + "\n\t.*face index out of range\n$")
            << face;
    }
    // Index 0 exists in no OBJ file: the parser itself refuses it.
    std::ofstream(path, std::ios::binary) << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\n";
    EXPECT_EXIT(loadAndExit(path), ::testing::ExitedWithCode(255), "Cannot load " + pattern + "\n\t");
    std::remove(path.c_str());
    EXPECT_EXIT(loadAndExit(path), ::testing::ExitedWithCode(255), "Cannot load " + pattern + "\n\t\n$");
}

} // namespace
