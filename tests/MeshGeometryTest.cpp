#include "MeshGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

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
