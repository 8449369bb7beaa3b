#include "Models.h"

#include <cmath>

#include <glm/geometric.hpp>

#include "ProceduralNoise.h"

namespace {

constexpr float kPi = 3.14159265358979f;

using Station = MeshBuilder::Station;

UvMap atlasPatch(float top, float bottom)
{
    return {{ShipAtlas::kPatchLeft + 0.01f, top}, {0.18f, bottom - top}, 100.0f};
}

// Both sides of the ship: `build` is called with +1 for the right-hand part and -1 for
// its mirror image.
template <typename Build>
void mirrored(Build build)
{
    build(1.0f);
    build(-1.0f);
}

void addFuselage(MeshBuilder& ship, const UvMap& hull, const UvMap& glass)
{
    // Long narrow snout ahead of the cockpit, wide body where the wings join.
    ship.addTube(0.0f,
                 {{-2.75f, 0.30f, 0.26f, 0.02f}, {-2.55f, 0.44f, 0.36f, 0.03f},
                  {-2.10f, 0.54f, 0.42f, 0.05f}, {-1.20f, 0.60f, 0.46f, 0.06f},
                  {-0.20f, 0.60f, 0.46f, 0.06f}, {0.60f, 0.52f, 0.42f, 0.05f},
                  {1.30f, 0.40f, 0.36f, 0.02f}, {2.00f, 0.30f, 0.28f, -0.02f},
                  {2.60f, 0.22f, 0.20f, -0.05f}, {2.95f, 0.13f, 0.12f, -0.07f},
                  {3.10f, 0.04f, 0.04f, -0.08f}},
                 36, true, true, hull);
    // The canopy: a long glass bubble sitting on the spine, half sunk into it.
    ship.addTube(0.0f,
                 {{-0.10f, 0.02f, 0.02f, 0.36f}, {0.05f, 0.20f, 0.16f, 0.38f},
                  {0.40f, 0.30f, 0.25f, 0.38f}, {0.90f, 0.30f, 0.25f, 0.36f},
                  {1.40f, 0.24f, 0.19f, 0.32f}, {1.80f, 0.12f, 0.10f, 0.28f},
                  {1.95f, 0.02f, 0.02f, 0.26f}},
                 24, false, false, glass);
    // The tail gunner's bubble at the very back.
    ship.addTube(0.0f,
                 {{-2.90f, 0.02f, 0.02f, 0.30f}, {-2.80f, 0.14f, 0.12f, 0.30f},
                  {-2.50f, 0.18f, 0.15f, 0.32f}, {-2.15f, 0.12f, 0.10f, 0.34f},
                  {-2.00f, 0.02f, 0.02f, 0.34f}},
                 16, false, false, glass);
}

void addWingsAndEngines(MeshBuilder& ship, const UvMap& hull, const UvMap& glow, const UvMap& paint)
{
    mirrored([&](float side) {
        // Wing planform in (x, z); thickness along y. The map turns plan coordinates into
        // model space, mirrored for the left wing (addPrism fixes the winding).
        auto plan = [side](glm::vec3 p) { return glm::vec3(side * p.x, p.z, p.y); };
        ship.addPrism({{0.40f, -2.10f}, {3.30f, -1.55f}, {3.30f, -0.35f}, {0.40f, 0.70f}},
                      -0.06f, 0.06f, plan, hull);
        // A red stripe across each wing, just proud of the upper skin.
        ship.addPrism({{1.05f, -1.85f}, {1.35f, -1.78f}, {1.35f, 0.25f}, {1.05f, 0.36f}},
                      0.06f, 0.075f, plan, paint);

        // Engine nacelle along the wing, then its nozzle and a bright exhaust cone.
        float x = side * 1.75f;
        ship.addTube(x,
                     {{-2.45f, 0.24f, 0.24f, 0.0f}, {-2.30f, 0.33f, 0.33f, 0.0f},
                      {-1.60f, 0.36f, 0.36f, 0.0f}, {0.20f, 0.34f, 0.34f, 0.0f},
                      {0.90f, 0.26f, 0.26f, 0.0f}, {1.25f, 0.16f, 0.16f, 0.0f},
                      {1.40f, 0.04f, 0.04f, 0.0f}},
                     24, false, true, hull);
        ship.addTube(x, {{-2.60f, 0.27f, 0.27f, 0.0f}, {-2.45f, 0.24f, 0.24f, 0.0f}}, 24, false,
                     false, paint);
        // NOTE: the cone's sides face sideways so the light catches them; with the bright
        // glow patch of the atlas it reads as exhaust without any emissive channel.
        ship.addTube(x,
                     {{-3.05f, 0.01f, 0.01f, 0.0f}, {-2.85f, 0.13f, 0.13f, 0.0f},
                      {-2.62f, 0.22f, 0.22f, 0.0f}, {-2.55f, 0.25f, 0.25f, 0.0f}},
                     24, false, false, glow);

        // Laser cannon near the wingtip: a housing and a long barrel.
        float cannonX = side * 2.75f;
        ship.addTube(cannonX,
                     {{-1.50f, 0.06f, 0.06f, 0.0f}, {-1.40f, 0.15f, 0.15f, 0.0f},
                      {0.90f, 0.15f, 0.15f, 0.0f}, {1.10f, 0.07f, 0.07f, 0.0f}},
                     16, true, false, hull);
        ship.addTube(cannonX, {{1.10f, 0.05f, 0.05f, 0.0f}, {2.70f, 0.04f, 0.04f, 0.0f}}, 12,
                     false, true, hull);

        // Split stabilisers at the wingtip, one above and one below, raked back.
        auto fin = [side](glm::vec3 p) { return glm::vec3(side * 3.30f + p.z, p.y, p.x); };
        ship.addPrism({{-1.60f, 0.0f}, {-0.35f, 0.0f}, {-0.85f, 0.95f}, {-1.45f, 0.95f}}, -0.04f,
                      0.04f, fin, hull);
        ship.addPrism({{-1.60f, 0.0f}, {-0.35f, 0.0f}, {-0.85f, -0.95f}, {-1.45f, -0.95f}}, -0.04f,
                      0.04f, fin, hull);

        // Twin tail fins beside the gunner's bubble.
        auto tail = [side](glm::vec3 p) { return glm::vec3(side * 0.38f + p.z, p.y, p.x); };
        ship.addPrism({{-2.70f, 0.25f}, {-1.70f, 0.30f}, {-2.25f, 0.95f}, {-2.65f, 0.95f}},
                      -0.03f, 0.03f, tail, paint);
    });
}

} // namespace

MeshBuilder buildShip()
{
    using namespace ShipAtlas;
    MeshBuilder ship;
    UvMap hull{{0.02f, 0.02f}, {kHullWidth - 0.04f, 0.96f}, 6.5f};
    UvMap glass = atlasPatch(kGlassTop, kGlassBottom);
    glass.worldSize = 2.2f;
    UvMap glow = atlasPatch(kGlowTop, kGlowBottom);
    UvMap paint = atlasPatch(kPaintTop, kPaintBottom);
    addFuselage(ship, hull, glass);
    addWingsAndEngines(ship, hull, glow, paint);
    return ship;
}

MeshBuilder buildSphere()
{
    MeshBuilder sphere;
    // Corners a little outside the unit sphere, so that the flat faces straddle it: the
    // planet's outline at the start view, 1920 x 1080, then strays from the true circle by
    // at most 0.91 pixels either way, where the inscribed mesh of the same 2000 triangles
    // falls 1.85 pixels short (and the 48 x 24 grid of 2208 before it 2.65).
    sphere.addGeodesicSphere(10, [](glm::vec3 d) { return d * 1.0015f; }, UvMap{});
    // The planet turns about the line of sight, so the half of it that faces the player is
    // always the model's -Z half: drawn first, it hides the far half from the shading.
    sphere.orderTrianglesNearestFirst(glm::vec3(0.0f, 0.0f, 1.0f));
    return sphere;
}

namespace {

// Bowl-shaped dent with a raised rim; `x` is the distance from the centre in crater radii.
float craterProfile(float x)
{
    if (x >= 1.6f)
        return 0.0f;
    if (x < 1.0f)
        return (x * x - 1.0f) * 0.85f + 0.15f; // bowl, floor below the rim
    float rim = (1.6f - x) / 0.6f;
    return 0.15f * rim * rim;
}

} // namespace

MeshBuilder buildRock()
{
    struct Crater {
        glm::vec3 centre;
        float size; // angular radius in radians (approximately a chord length)
    };
    std::vector<Crater> craters;
    Random random(0xC0FFEEU);
    for (int i = 0; i < 14; ++i)
        craters.push_back({random.unitVector(), random.range(0.12f, 0.42f)});

    auto surface = [&craters](glm::vec3 d) {
        float radius = 1.0f + 0.16f * fractalNoise(d * 1.6f, 11U, 3) +
                       0.04f * fractalNoise(d * 6.0f, 12U, 2);
        for (const Crater& crater : craters) {
            float distance = glm::length(d - crater.centre) / crater.size;
            radius += crater.size * 0.35f * craterProfile(distance);
        }
        // Slightly elongated, as small bodies usually are.
        return d * radius * glm::vec3(1.08f, 0.86f, 0.95f);
    };
    MeshBuilder rock;
    // Asteroids are at most a few dozen pixels across, and the small craters are in the
    // normal map: 500 even triangles keep the big dents and an outline that reads as round
    // rubble, where the grid needed 960 that crowd at the poles. Every triangle of the 50
    // rocks in flight is binned by a software rasteriser each frame, in time and memory.
    rock.addGeodesicSphere(5, surface, UvMap{{0.0f, 0.0f}, {3.0f, 2.0f}, 1.0f});
    return rock;
}

MeshBuilder buildStar()
{
    constexpr int kPoints = 5;
    constexpr float kOuter = 1.0f, kInner = 0.42f, kBulge = 0.30f, kRim = 0.06f;
    std::vector<glm::vec3> outline;
    for (int i = 0; i < 2 * kPoints; ++i) {
        float angle = kPi * 0.5f + kPi * static_cast<float>(i) / kPoints;
        float r = (i % 2 == 0) ? kOuter : kInner;
        outline.push_back({r * std::cos(angle), r * std::sin(angle), 0.0f});
    }
    MeshBuilder star;
    UvMap uv{{0.0f, 0.0f}, {1.0f, 1.0f}, 2.0f};
    std::size_t n = outline.size();
    for (float side : {1.0f, -1.0f}) {
        glm::vec3 apex(0.0f, 0.0f, side * kBulge);
        for (std::size_t i = 0; i < n; ++i) {
            glm::vec3 a = outline[i] + glm::vec3(0, 0, side * kRim);
            glm::vec3 b = outline[(i + 1) % n] + glm::vec3(0, 0, side * kRim);
            if (side > 0.0f)
                star.addFlatPolygon({apex, a, b}, uv);
            else
                star.addFlatPolygon({apex, b, a}, uv);
        }
    }
    // The thin rim joining the two faces.
    for (std::size_t i = 0; i < n; ++i) {
        glm::vec3 a = outline[i], b = outline[(i + 1) % n];
        glm::vec3 rim(0, 0, kRim);
        star.addFlatPolygon({a - rim, b - rim, b + rim, a + rim}, uv);
    }
    return star;
}
