// Mesh: recentring, corner expansion and upload of small OBJ files, and the ways loading fails.
#include "Mesh.h"
#include "TestSupport.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <array>

#include <cmath>
#include <string>
#include <vector>

namespace {

class MeshTest : public ::testing::Test {
protected:
    void SetUp() override { ensureGlContext(); }

    // Loads `content` as an OBJ file; returns what was printed.
    std::string load(Mesh& mesh, const std::string& content)
    {
        dir.write("model.obj", content);
        return captureStdout([&] { mesh.load(dir.file("model.obj")); });
    }

    static GLint attributeEnabled(unsigned int vao, GLuint location)
    {
        glBindVertexArray(vao);
        GLint enabled = -1;
        glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
        glBindVertexArray(0);
        return enabled;
    }

    // Components, type and normalised flag of one attribute of `vao`.
    static std::array<GLint, 3> attributeFormat(unsigned int vao, GLuint location)
    {
        glBindVertexArray(vao);
        std::array<GLint, 3> format{-1, -1, -1};
        glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_SIZE, &format[0]);
        glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_TYPE, &format[1]);
        glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_NORMALIZED, &format[2]);
        glBindVertexArray(0);
        return format;
    }

    static GLint bufferSize(unsigned int buffer)
    {
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        GLint size = -1;
        glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        return size;
    }

    TempDir dir;
};

} // namespace

TEST(RecentrePositionsTest, CentresTheBoxOfEveryPointAndReturnsTheFarthest)
{
    // Entirely on the negative side of x: the centre is the midpoint -15, not 0 or -10.
    std::vector<float> xyz = {-20.0f, 1.0f, 0.0f, -10.0f, 3.0f, 0.0f, -12.0f, 2.0f, 4.0f};
    const float radius = recentrePositions(xyz);
    const std::vector<float> expected = {-5.0f, -1.0f, -2.0f, 5.0f, 1.0f, -2.0f, 3.0f, 0.0f, 2.0f};
    EXPECT_EQ(expected, xyz);
    EXPECT_FLOAT_EQ(std::sqrt(30.0f), radius);
}

TEST(RecentrePositionsTest, EmptyAndSinglePointModelsHaveRadiusZero)
{
    std::vector<float> none;
    EXPECT_EQ(0.0f, recentrePositions(none));
    std::vector<float> one = {7.0f, -8.0f, 9.0f};
    EXPECT_EQ(0.0f, recentrePositions(one));
    EXPECT_EQ((std::vector<float>{0.0f, 0.0f, 0.0f}), one);
}

TEST_F(MeshTest, QuadBecomesTwoTrianglesWithAllThreeAttributes)
{
    Mesh mesh;
    const std::string output = load(mesh,
                                     "v 0 0 0\nv 2 0 0\nv 2 2 0\nv 0 2 0\n"
                                     "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                                     "vn 0 0 1\n"
                                     "f 1/1/1 2/2/1 3/3/1 4/4/1\n");
    EXPECT_EQ(dir.file("model.obj") + " loaded.\n", output);
    ASSERT_EQ(1u, mesh.shapes.size());
    const MeshShape& quad = mesh.shapes[0];
    EXPECT_EQ(6u, quad.vertexCount());
    ASSERT_EQ(18u, quad.positions.size());
    ASSERT_EQ(18u, quad.normals.size());
    ASSERT_EQ(12u, quad.texcoords.size());
    EXPECT_FLOAT_EQ(std::sqrt(2.0f), mesh.radius);
    // Every corner is recentred, and its texture coordinate still matches its corner.
    for (unsigned int v = 0; v < quad.vertexCount(); ++v) {
        const float x = quad.positions[3 * v];
        const float y = quad.positions[3 * v + 1];
        EXPECT_EQ(1.0f, std::fabs(x));
        EXPECT_EQ(1.0f, std::fabs(y));
        EXPECT_EQ(x > 0 ? 1.0f : 0.0f, quad.texcoords[2 * v]);
        EXPECT_EQ(y > 0 ? 1.0f : 0.0f, quad.texcoords[2 * v + 1]);
        EXPECT_EQ(1.0f, quad.normals[3 * v + 2]);
    }

    ASSERT_NE(0u, quad.vao);
    EXPECT_EQ(GL_TRUE, attributeEnabled(quad.vao, 0));
    EXPECT_EQ(GL_TRUE, attributeEnabled(quad.vao, 1));
    EXPECT_EQ(GL_TRUE, attributeEnabled(quad.vao, 2));
    using Format = std::array<GLint, 3>;
    EXPECT_EQ(attributeFormat(quad.vao, 0), (Format{3, GL_FLOAT, GL_FALSE}));
    EXPECT_EQ(attributeFormat(quad.vao, 1), (Format{3, GL_FLOAT, GL_FALSE}));
    EXPECT_EQ(attributeFormat(quad.vao, 2), (Format{2, GL_FLOAT, GL_FALSE}));
    EXPECT_EQ(18 * 4, bufferSize(quad.positionBuffer));
    EXPECT_EQ(18 * 4, bufferSize(quad.normalBuffer));
    EXPECT_EQ(12 * 4, bufferSize(quad.texcoordBuffer));

    GLint bound = -1;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &bound);
    EXPECT_EQ(0, bound);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bound);
    EXPECT_EQ(0, bound);
}

TEST_F(MeshTest, PentagonGivesThreeTrianglesInItsOwnShape)
{
    Mesh mesh;
    load(mesh,
         "v 0 0 0\nv 1 0 0\nv 1.5 1 0\nv 0.5 2 0\nv -0.5 1 0\n"
         "o first\nf 1 2 3\n"
         "o second\nf 1 2 3 4 5\n");
    ASSERT_EQ(2u, mesh.shapes.size());
    EXPECT_EQ(3u, mesh.shapes[0].vertexCount());
    EXPECT_EQ(9u, mesh.shapes[1].vertexCount());
    EXPECT_NE(mesh.shapes[0].vao, mesh.shapes[1].vao);
}

TEST_F(MeshTest, UnusedPositionsStillWidenTheBoxAndSetTheRadius)
{
    Mesh mesh;
    // The face sits near x = 0; the lone point at x = 10 is used by nothing.
    load(mesh, "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 10 0 0\nf 1 2 3\n");
    EXPECT_FLOAT_EQ(std::sqrt(25.0f + 0.25f), mesh.radius);
    ASSERT_EQ(1u, mesh.shapes.size());
    EXPECT_FLOAT_EQ(-5.0f, mesh.shapes[0].positions[0]);
    EXPECT_FLOAT_EQ(-0.5f, mesh.shapes[0].positions[1]);
}

TEST_F(MeshTest, FileWithoutNormalsLeavesAttributeOneDisabled)
{
    Mesh mesh;
    load(mesh, "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nf 1/1 2/2 3/3\n");
    ASSERT_EQ(1u, mesh.shapes.size());
    const MeshShape& shape = mesh.shapes[0];
    EXPECT_TRUE(shape.normals.empty());
    EXPECT_EQ(0u, shape.normalBuffer);
    EXPECT_NE(0u, shape.texcoordBuffer);
    EXPECT_EQ(GL_FALSE, attributeEnabled(shape.vao, 1));
    EXPECT_EQ(GL_TRUE, attributeEnabled(shape.vao, 2));
}

TEST_F(MeshTest, ShapeMixingCornersWithAndWithoutNormalsDropsThemForTheWholeShape)
{
    Mesh mesh;
    load(mesh,
         "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvt 0 0\n"
         "f 1/1/1 2/1/1 3/1/1\n"
         "f 1/1 2/1 3/1\n");
    ASSERT_EQ(1u, mesh.shapes.size());
    const MeshShape& shape = mesh.shapes[0];
    EXPECT_EQ(6u, shape.vertexCount());
    EXPECT_TRUE(shape.normals.empty());
    EXPECT_EQ(0u, shape.normalBuffer);
    EXPECT_EQ(GL_FALSE, attributeEnabled(shape.vao, 1));
    EXPECT_EQ(12u, shape.texcoords.size());
}

TEST_F(MeshTest, ShapeWithoutFacesGetsAnEmptyPositionBuffer)
{
    Mesh mesh;
    // A shape of lines only: the parser keeps it, with no triangle corners.
    load(mesh, "v 0 0 0\nv 1 0 0\nl 1 2\n");
    ASSERT_EQ(1u, mesh.shapes.size());
    const MeshShape& shape = mesh.shapes[0];
    EXPECT_EQ(0u, shape.vertexCount());
    EXPECT_NE(0u, shape.vao);
    ASSERT_NE(0u, shape.positionBuffer);
    EXPECT_EQ(0, bufferSize(shape.positionBuffer));
    EXPECT_EQ(GL_TRUE, attributeEnabled(shape.vao, 0));
    EXPECT_EQ(0u, shape.normalBuffer);
    EXPECT_EQ(0u, shape.texcoordBuffer);
}

TEST_F(MeshTest, EmptyFileLoadsAsNoShapes)
{
    // Truncated files are the hostile-asset tests' work.
    Mesh empty;
    EXPECT_EQ(dir.file("model.obj") + " loaded.\n", load(empty, ""));
    EXPECT_TRUE(empty.shapes.empty());
    EXPECT_EQ(0.0f, empty.radius);
}

TEST_F(MeshTest, DestroyingAMeshReleasesItsNames)
{
    MeshShape copy;
    {
        Mesh mesh;
        load(mesh, "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nf 1//1 2//1 3//1\n");
        copy = mesh.shapes.at(0);
        EXPECT_EQ(GL_TRUE, glIsVertexArray(copy.vao));
        EXPECT_EQ(GL_TRUE, glIsBuffer(copy.normalBuffer));
    }
    EXPECT_EQ(GL_FALSE, glIsVertexArray(copy.vao));
    EXPECT_EQ(GL_FALSE, glIsBuffer(copy.positionBuffer));
    EXPECT_EQ(GL_FALSE, glIsBuffer(copy.normalBuffer));
    // The CPU arrays travel with the copy.
    EXPECT_EQ(9u, copy.positions.size());
}
