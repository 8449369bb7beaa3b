// Vertex arrays that game objects copy from their mesh: whatever they share underneath, a
// copy changed must leave the mesh and every other copy as they were.
#include <gtest/gtest.h>

#include "MeshGeometry.h"

TEST(SharedFloatsTest, ACopyChangedLeavesTheMeshAndOtherCopiesAsTheyWere)
{
    MeshShape mesh;
    mesh.positions = {1, 2, 3, 4, 5, 6};
    std::vector<MeshShape> objectA{mesh};
    std::vector<MeshShape> objectB{mesh};

    objectA[0].positions.insert(objectA[0].positions.end(), {7, 8, 9});
    EXPECT_EQ(3u, objectA[0].vertexCount());
    EXPECT_EQ(2u, mesh.vertexCount());
    EXPECT_EQ(2u, objectB[0].vertexCount());

    objectB[0].positions.assign(3, 0.5f);
    EXPECT_EQ(6.0f, mesh.positions[5]);
    EXPECT_EQ(0.5f, objectB[0].positions[2]);
}

TEST(SharedFloatsTest, InsertIntoEmptyAndInTheMiddle)
{
    SharedFloats values;
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(0u, values.size());
    EXPECT_TRUE(values.begin() == values.end());

    const float tail[] = {3, 4};
    values.insert(values.end(), tail, tail + 2);
    SharedFloats copy = values;
    copy.insert(copy.begin(), 1.0f);
    copy.insert(copy.begin() + 1, 2.0f);
    const std::vector<float>& read = copy;
    EXPECT_EQ((std::vector<float>{1, 2, 3, 4}), read);
    EXPECT_EQ((std::vector<float>{3, 4}), values.get());
}
