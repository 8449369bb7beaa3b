// The generated models, images and the shader files, checked from the run directory.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <GL/glew.h>
#include <gtest/gtest.h>
#include <glm/gtc/matrix_transform.hpp>
#include <stb_image.h>

#include "Camera.h"
#include "Object.h"

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
        {"sphere.obj", 2000, 8000, 0.999f, 1.002f}, // corners just outside the unit sphere
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
        float x = shape.positions[v * 3], y = shape.positions[v * 3 + 1];
        float z = shape.positions[v * 3 + 2];
        y /= std::sqrt(x * x + y * y + z * z);
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

// Counter-clockwise hull of points (Andrew's monotone chain).
std::vector<glm::dvec2> convexHull(std::vector<glm::dvec2> points)
{
    std::sort(points.begin(), points.end(),
              [](glm::dvec2 a, glm::dvec2 b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    auto turn = [](glm::dvec2 o, glm::dvec2 a, glm::dvec2 b) {
        return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
    };
    std::vector<glm::dvec2> hull(2 * points.size());
    std::size_t k = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        while (k >= 2 && turn(hull[k - 2], hull[k - 1], points[i]) <= 0)
            --k;
        hull[k++] = points[i];
    }
    for (std::size_t i = points.size() - 1, lower = k + 1; i-- > 0;) {
        while (k >= lower && turn(hull[k - 2], hull[k - 1], points[i]) <= 0)
            --k;
        hull[k++] = points[i];
    }
    hull.resize(k - 1);
    return hull;
}

// How far a ray from `origin` (inside the convex polygon) runs before it leaves it.
double reachInside(const std::vector<glm::dvec2>& polygon, glm::dvec2 origin, glm::dvec2 along)
{
    auto cross = [](glm::dvec2 a, glm::dvec2 b) { return a.x * b.y - a.y * b.x; };
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        glm::dvec2 a = polygon[i], edge = polygon[(i + 1) % polygon.size()] - a;
        double facing = cross(along, edge);
        if (facing == 0.0)
            continue;
        double t = cross(a - origin, edge) / facing, s = cross(a - origin, along) / facing;
        if (t > 0.0 && s >= 0.0 && s <= 1.0)
            return t;
    }
    return 0.0;
}

// The planet as the first frame shows it at 1920 x 1080, a disc about 510 pixels in radius:
// the outline of its mesh (the hull of its projected corners) stays within a pixel of the
// true outline of the sphere, inside or out, however far the planet has turned about the
// line of sight.
TEST(GeneratedModels, PlanetOutlineStaysWithinAPixelOfTheTrueOne)
{
    ensureGlContext();
    Mesh sphere;
    captureStdout([&] { sphere.load("./assets/sphere.obj"); });
    ASSERT_EQ(sphere.shapes.size(), 1u);
    const int width = 1920, height = 1080;
    setCameraDefaults(width, height);
    // Where the scene puts the planet.
    const glm::dvec3 centre = camera.getFront() * 200.0f + camera.getPosition();
    const double radius = 100.0;
    camera.followShip(Object());
    const glm::dmat4 toClip = glm::dmat4(camera.getProjectionMatrix() * camera.getViewMatrix());
    const glm::dmat4 toWorld = glm::inverse(toClip);
    const glm::dvec3 eye = camera.getPosition();
    auto toPixel = [&](glm::dvec3 p) {
        glm::dvec4 clip = toClip * glm::dvec4(p, 1.0);
        return glm::dvec2((clip.x / clip.w + 1.0) * 0.5 * width,
                          (clip.y / clip.w + 1.0) * 0.5 * height);
    };
    auto rayMissesSphere = [&](glm::dvec2 pixel) {
        glm::dvec4 far =
            toWorld * glm::dvec4(pixel.x / width * 2.0 - 1.0, pixel.y / height * 2.0 - 1.0, 1.0, 1.0);
        glm::dvec3 direction = glm::normalize(glm::dvec3(far) / far.w - eye);
        glm::dvec3 toCentre = centre - eye;
        return glm::length(toCentre - direction * glm::dot(toCentre, direction)) > radius;
    };
    const glm::dvec2 middle = toPixel(centre);
    const SharedFloats& positions = sphere.shapes[0].positions;
    double worstGap = 0.0, trueRadius = 0.0;
    for (int degrees = 0; degrees < 360; degrees += 5) {
        const glm::dmat3 turn(
            glm::rotate(glm::dmat4(1.0), glm::radians(double(degrees)), glm::dvec3(0, 0, 1)));
        std::vector<glm::dvec2> corners;
        for (std::size_t v = 0; v + 2 < positions.size(); v += 3) {
            const glm::dvec3 corner(positions[v], positions[v + 1], positions[v + 2]);
            corners.push_back(toPixel(centre + radius * (turn * corner)));
        }
        const std::vector<glm::dvec2> hull = convexHull(corners);
        for (int step = 0; step < 720; ++step) {
            const double angle = step * 3.14159265358979 / 360.0;
            const glm::dvec2 along(std::cos(angle), std::sin(angle));
            double inside = 0.0, outside = 2.0 * width;
            for (int halving = 0; halving < 40; ++halving) {
                double between = 0.5 * (inside + outside);
                (rayMissesSphere(middle + along * between) ? outside : inside) = between;
            }
            trueRadius = std::max(trueRadius, inside);
            worstGap = std::max(worstGap, std::fabs(inside - reachInside(hull, middle, along)));
        }
    }
    EXPECT_NEAR(trueRadius, 510.0, 5.0);
    EXPECT_LE(worstGap, 1.0) << "the outline strays by " << worstGap << " pixels";
}

// The planet shows the player its -Z half all game long; stored nearest first, that half is
// drawn before the far half, which the depth test then drops unshaded.
TEST(GeneratedModels, SphereStoresItsTrianglesNearestToThePlayerFirst)
{
    ensureGlContext();
    Mesh sphere;
    captureStdout([&] { sphere.load("./assets/sphere.obj"); });
    ASSERT_EQ(sphere.shapes.size(), 1u);
    const SharedFloats& positions = sphere.shapes[0].positions;
    float previous = -3.0f;
    for (std::size_t corner = 0; corner + 8 < positions.size(); corner += 9) {
        float depth = positions[corner + 2] + positions[corner + 5] + positions[corner + 8];
        ASSERT_GE(depth, previous - 1e-4f) << "triangle " << corner / 9; // as rounded in the file
        previous = depth;
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
