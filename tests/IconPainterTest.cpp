#include "IconPainter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

struct Rgb {
    uint8_t r, g, b;
};

// A map in the planet picture's layout, one colour everywhere but in the given patches.
struct TestMap {
    static constexpr int width = 72, height = 36; // five degrees per pixel
    std::vector<uint8_t> pixels = std::vector<uint8_t>(width * height * 3);

    explicit TestMap(Rgb background)
    {
        for (int i = 0; i < width * height; ++i)
            paintPixel(i, background);
    }
    void paintPixel(int index, Rgb colour)
    {
        pixels[index * 3] = colour.r;
        pixels[index * 3 + 1] = colour.g;
        pixels[index * 3 + 2] = colour.b;
    }
    // A square patch `radius` degrees around (longitude, latitude).
    void paint(float longitude, float latitude, float radius, Rgb colour)
    {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                float lon = (x + 0.5f) * 5.0f - 180.0f, lat = 90.0f - (y + 0.5f) * 5.0f;
                if (std::fabs(lon - longitude) <= radius && std::fabs(lat - latitude) <= radius)
                    paintPixel(y * width + x, colour);
            }
    }
    PlanetMap view() const { return {width, height, 3, pixels.data()}; }
};

struct Pixel {
    int r, g, b, a;
};

Pixel at(const std::vector<uint8_t>& icon, int size, int x, int y)
{
    const uint8_t* p = &icon[(static_cast<size_t>(y) * size + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

bool isRed(Pixel p) { return p.a > 0 && p.r > 2 * p.g + 20 && p.r > 2 * p.b + 20; }
bool isYellow(Pixel p) { return p.a > 0 && p.r > 40 && p.g > 40 && p.b * 3 < p.r; }

int countWhere(const std::vector<uint8_t>& icon, int size, int x0, int x1, bool (*test)(Pixel))
{
    int count = 0;
    for (int y = 0; y < size; ++y)
        for (int x = x0; x < x1; ++x)
            count += test(at(icon, size, x, y));
    return count;
}

} // namespace

TEST(IconPainter, FacesTheChosenPointWithEastOnTheRight)
{
    TestMap map({20, 40, 200});
    const GlobeView view{15.0f, 20.0f};
    map.paint(view.longitude, view.latitude, 10.0f, {230, 10, 10});
    map.paint(view.longitude + 50.0f, view.latitude, 10.0f, {230, 230, 10});
    map.paint(view.longitude - 180.0f, -view.latitude, 20.0f, {10, 230, 10}); // the far side
    const int size = 64;
    const auto icon = paintPlanetIcon(map.view(), size, view);
    ASSERT_EQ(icon.size(), size_t(size) * size * 4);

    EXPECT_TRUE(isRed(at(icon, size, size / 2, size / 2)));
    EXPECT_GT(countWhere(icon, size, size / 2, size, isYellow), 20) << "east lies to the right";
    EXPECT_EQ(countWhere(icon, size, 0, size / 2, isYellow), 0);
    auto isGreen = [](Pixel p) { return p.a > 0 && p.g > 2 * p.r + 20 && p.g > 2 * p.b + 20; };
    EXPECT_EQ(countWhere(icon, size, 0, size, isGreen), 0) << "the far side never shows";
}

TEST(IconPainter, TransparentAroundASmoothEdgeAndLitFromTheUpperLeft)
{
    const uint8_t grey[] = {128};
    const PlanetMap map{1, 1, 1, grey}; // one grey texel covers the whole globe
    for (int size : {16, 48, 256}) {
        SCOPED_TRACE(size);
        const auto icon = paintPlanetIcon(map, size);
        ASSERT_EQ(icon.size(), size_t(size) * size * 4);
        for (auto [x, y] : {std::pair{0, 0}, {size - 1, 0}, {0, size - 1}, {size - 1, size - 1}})
            EXPECT_EQ(at(icon, size, x, y).a, 0);
        EXPECT_EQ(at(icon, size, size / 2, size / 2).a, 255);
        int partial = 0;
        for (size_t i = 3; i < icon.size(); i += 4)
            partial += icon[i] > 0 && icon[i] < 255;
        EXPECT_GT(partial, size / 2) << "the rim is antialiased";

        const Pixel upperLeft = at(icon, size, size * 3 / 8, size * 3 / 8);
        const Pixel lowerRight = at(icon, size, size * 5 / 8, size * 5 / 8);
        EXPECT_GT(upperLeft.r, lowerRight.r + 20);
    }
}

TEST(IconPainter, NothingToPaintGivesNoPicture)
{
    const uint8_t grey[] = {128};
    EXPECT_TRUE(paintPlanetIcon({1, 1, 1, grey}, 0).empty());
    EXPECT_TRUE(paintPlanetIcon({0, 0, 3, grey}, 32).empty());
    EXPECT_TRUE(paintPlanetIcon({4, 2, 3, nullptr}, 32).empty());
    EXPECT_EQ(paintPlanetIcon({1, 1, 1, grey}, 1).size(), 4u);
}
