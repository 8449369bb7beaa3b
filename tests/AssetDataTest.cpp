// The generated models, images and the shader files, checked from the run directory.
#include <cmath>
#include <string>
#include <vector>

#include <GL/glew.h>
#include <gtest/gtest.h>
#include <stb_image.h>

#include "Mesh.h"
#include "ShaderProgram.h"
#include "GlTestSupport.h"

namespace {

struct ProgramCase {
    std::string vertex;
    std::string fragment;
    std::vector<std::string> uniforms;
    bool capturesPosition;
};

const std::vector<ProgramCase> programCases = {
    {"pbr.vert", "pbr.frag",
     {"model", "view", "projection", "lightPosition", "camPos", "lightColor", "albedoMap",
      "normalMap", "metallicMap", "roughnessMap", "aoMap", "hdr_enabled"},
     false},
    {"passthrough.vert", "blur.frag", {"image", "horizontal", "bloom_enabled"}, false},
    {"passthrough.vert", "bloom.frag", {"scene", "bloomBlur", "bloom_enabled", "exposure"}, false},
    {"particles.vert", "particles.frag", {"view", "projection", "dt"}, true},
    {"text.vert", "text.frag", {"projection", "text_color"}, false},
};

TEST(ShaderFiles, EveryProgramBuildsSilentlyWithItsUniformsActive)
{
    ensureGlContext();
    for (const ProgramCase& c : programCases) {
        SCOPED_TRACE(c.vertex + " + " + c.fragment);
        // Built the way the game builds it.
        ShaderProgram program;
        EXPECT_EQ(captureStdout([&] {
                      program.create();
                      program.addStage(GL_VERTEX_SHADER, "./shaders/" + c.vertex);
                      program.addStage(GL_FRAGMENT_SHADER, "./shaders/" + c.fragment);
                      if (c.capturesPosition) {
                          const char* varyings[] = {"position"};
                          glTransformFeedbackVaryings(program.getId(), 1, varyings, GL_INTERLEAVED_ATTRIBS);
                      }
                      program.link();
                  }),
                  "");
        GLint linked = 0;
        glGetProgramiv(program.getId(), GL_LINK_STATUS, &linked);
        ASSERT_EQ(linked, GL_TRUE);
        for (const std::string& name : c.uniforms)
            EXPECT_NE(glGetUniformLocation(program.getId(), name.c_str()), -1) << name;
        if (!c.capturesPosition)
            continue;
        // The particle program captures one four-float record per particle.
        GLint count = 0;
        glGetProgramiv(program.getId(), GL_TRANSFORM_FEEDBACK_VARYINGS, &count);
        ASSERT_EQ(count, 1);
        GLsizei length = 0, size = 0;
        GLenum type = 0;
        char name[32] = {};
        glGetTransformFeedbackVarying(program.getId(), 0, sizeof name, &length, &size, &type, name);
        EXPECT_STREQ(name, "position");
        EXPECT_EQ(type, static_cast<GLenum>(GL_FLOAT_VEC4));
    }
}

struct ModelCase {
    std::string file;
    size_t minTriangles, maxTriangles;
    float minRadius, maxRadius;
};

TEST(GeneratedModels, LoadWithNormalsTexcoordsAndIntendedSize)
{
    ensureGlContext();
    const std::vector<ModelCase> cases = {
        {"star-wars-arc-170-pbr.obj", 1500, 8000, 2.8f, 4.5f},
        {"sphere.obj", 2000, 8000, 0.999f, 1.001f},
        {"Rock.obj", 500, 5000, 0.8f, 1.4f},
        {"star.obj", 20, 2000, 0.8f, 1.1f},
    };
    for (const ModelCase& c : cases) {
        SCOPED_TRACE(c.file);
        Mesh mesh;
        std::string printed = captureStdout([&] { mesh.load("./assets/" + c.file); });
        EXPECT_EQ(printed, "./assets/" + c.file + " loaded.\n");
        ASSERT_FALSE(mesh.shapes.empty());
        size_t triangles = 0;
        for (const MeshShape& shape : mesh.shapes) {
            size_t vertices = shape.vertexCount();
            triangles += vertices / 3;
            EXPECT_EQ(shape.normals.size(), vertices * 3);
            EXPECT_EQ(shape.texcoords.size(), vertices * 2);
            for (size_t i = 0; i + 2 < shape.normals.size(); i += 3) {
                float len = std::sqrt(shape.normals[i] * shape.normals[i] +
                                      shape.normals[i + 1] * shape.normals[i + 1] +
                                      shape.normals[i + 2] * shape.normals[i + 2]);
                ASSERT_NEAR(len, 1.0f, 0.01f) << "normal " << i / 3;
            }
        }
        EXPECT_GE(triangles, c.minTriangles);
        EXPECT_LE(triangles, c.maxTriangles);
        EXPECT_GE(mesh.radius, c.minRadius);
        EXPECT_LE(mesh.radius, c.maxRadius);
    }
}

// The planet texture is not flipped on load, so t = 0 (the first image row) must be the
// north pole at +Y, and longitude must grow eastwards (to the right seen from outside).
TEST(GeneratedModels, SphereMapsNorthToFirstRowAndIsNotMirrored)
{
    ensureGlContext();
    Mesh mesh;
    captureStdout([&] { mesh.load("./assets/sphere.obj"); });
    ASSERT_EQ(mesh.shapes.size(), 1u);
    const MeshShape& shape = mesh.shapes[0];
    for (size_t v = 0; v < shape.vertexCount(); ++v) {
        float y = shape.positions[v * 3 + 1];
        float t = shape.texcoords[v * 2 + 1];
        ASSERT_NEAR(t, std::acos(std::max(-1.0f, std::min(1.0f, y))) / 3.14159265f, 0.002f);
    }
    // Each triangle's u must increase in the direction of cross(north, outward).
    for (size_t tri = 0; tri + 2 < shape.vertexCount(); tri += 3) {
        float u[3], p[3][3];
        for (int k = 0; k < 3; ++k) {
            u[k] = shape.texcoords[(tri + k) * 2];
            for (int a = 0; a < 3; ++a)
                p[k][a] = shape.positions[(tri + k) * 3 + a];
        }
        if (std::fabs(p[0][1]) > 0.9f)
            continue; // near the poles east is ill-defined
        float east[3] = {p[0][2], 0.0f, -p[0][0]}; // cross((0,1,0), p)
        for (int k = 1; k < 3; ++k) {
            float along = (p[k][0] - p[0][0]) * east[0] + (p[k][2] - p[0][2]) * east[2];
            if (std::fabs(along) > 1e-3f) {
                ASSERT_GT((u[k] - u[0]) * along, 0.0f) << "triangle " << tri / 3;
            }
        }
    }
}

TEST(GeneratedImages, DecodeWithExpectedSizesAndChannels)
{
    struct ImageCase {
        std::string file;
        int width, height, channels;
    };
    const std::vector<ImageCase> cases = {
        {"greasy-pan-2-albedo.png", 512, 512, 3}, {"greasy-pan-2-normal.png", 512, 512, 3},
        {"greasy-pan-2-metal.png", 512, 512, 1},  {"greasy-pan-2-roughness.png", 512, 512, 1},
        {"cratered-rock-albedo.png", 512, 512, 3},  {"cratered-rock-normal.png", 512, 512, 3},
        {"cratered-rock-height.png", 512, 512, 1},  {"cratered-rock-ao.png", 512, 512, 1},
        {"gold-scuffed_basecolor.png", 512, 512, 3}, {"gold-scuffed_normal.png", 512, 512, 3},
        {"gold-scuffed_metallic.png", 512, 512, 1}, {"gold-scuffed_roughness.png", 512, 512, 1},
        {"Earth.jpg", 2048, 1024, 3},
    };
    for (const ImageCase& c : cases) {
        SCOPED_TRACE(c.file);
        int width = 0, height = 0, channels = 0;
        ASSERT_EQ(stbi_info(("./assets/" + c.file).c_str(), &width, &height, &channels), 1);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
        EXPECT_EQ(channels, c.channels);
    }
}

// The pictures must look like what they are: a pole of ice above mostly blue ocean, and
// normal maps that point out of the surface.
TEST(GeneratedImages, EarthHasIcyPolesAndMostlyBlueOceans)
{
    int width = 0, height = 0, channels = 0;
    unsigned char* pixels = stbi_load("./assets/Earth.jpg", &width, &height, &channels, 3);
    ASSERT_NE(pixels, nullptr);
    auto at = [&](int x, int y, int c) { return pixels[(size_t(y) * width + x) * 3 + c]; };
    int blue = 0, samples = 0;
    for (int y = height / 4; y < 3 * height / 4; y += 8)
        for (int x = 0; x < width; x += 8, ++samples)
            blue += at(x, y, 2) > at(x, y, 0) + 20;
    EXPECT_GT(blue, samples / 2);
    for (int x = 0; x < width; x += 64) {
        EXPECT_GT(at(x, 2, 0), 200) << "north pole at column " << x;
        EXPECT_GT(at(x, height - 3, 0), 200) << "south pole at column " << x;
    }
    stbi_image_free(pixels);

    unsigned char* normals = stbi_load("./assets/cratered-rock-normal.png", &width, &height, &channels, 3);
    ASSERT_NE(normals, nullptr);
    for (int i = 0; i < width * height; i += 97)
        ASSERT_GT(normals[i * 3 + 2], 128) << "pixel " << i;
    stbi_image_free(normals);
}

} // namespace
