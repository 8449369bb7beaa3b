// CPU-side costs: one game-rules frame, culling, HUD text, the score file, models, images.
// Run from the run directory (build/run) under a display: the models need a GL context.
#include <benchmark/benchmark.h>

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <stb_image.h>
#include <tiny_obj_loader.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <glm/gtc/matrix_transform.hpp>

#include "Frustum.h"
#include "GameRules.h"
#include "HighScoreTable.h"
#include "Hud.h"
#include "Mesh.h"
#include "MeshGeometry.h"
#include "Object.h"
#include "SmallWorld.h"
#include "Startup.h"

namespace {

bool makeHiddenContext()
{
    static GLFWwindow* context = openHiddenContext(64, 64, "orbelune-bench");
    return context != nullptr;
}

// The bounding radius the game gives an asteroid of this model: the file read and recentred
// as start-up does, without the upload. 0 when it cannot be read.
float modelRadius(const char* path)
{
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warning;
    if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warning, nullptr, path, "./assets/", true, true))
        return 0.0f;
    return recentrePositions(attrib.vertices);
}

// The busiest world a flight reaches. The rules keep at most 100 asteroids, and the stream
// is full 33 s into a flight (one spawn every 0.33 s), so from then on each frame steps the
// ship's body and 100 asteroids', and every 20th frame (0.33 s at 60 Hz) spawns one and
// evicts the oldest. The asteroids are the game's: spheres and rocks with the radii of its
// models, brought in by the rules' own spawning and so spread along their paths as in play,
// with the rules' hooks pointing nowhere (no window, no console). False when the models are
// not there to be measured or the stream never fills.
bool buildBusyWorld()
{
    constexpr std::size_t fullStream = 100;
    deleteAllObjects();
    buildSmallWorld({0.0f, 1.0f, 197.0f}, 100.0f);
    asteroidLook = AsteroidLook();
    asteroidLook.sphere.radius = modelRadius("./assets/sphere.obj");
    asteroidLook.rock.radius = modelRadius("./assets/Rock.obj");
    if (asteroidLook.sphere.radius <= 0.0f || asteroidLook.rock.radius <= 0.0f)
        return false;
    gameHooks.emitBurst = [](const glm::vec3&) {};
    gameHooks.updateParticles = [](float) {};
    gameHooks.showScoreTable = [](HighScoreTable&) {};
    gameHooks.showMessage = [](EndMessage) {};
    // 100 spawns take about 2,000 frames; the bound only stops a world that never spawns.
    for (int frame = 0; asteroids.size() < fullStream; ++frame) {
        if (frame > 100000)
            return false;
        updateGame();
    }
    return true;
}

// Physics step, rules and spawning with the stream full; it stays full, since each spawn
// evicts the oldest.
void BM_UpdateGame100Asteroids(benchmark::State& state)
{
    if (!buildBusyWorld()) {
        state.SkipWithError("no full stream: run from the run directory");
        return;
    }
    for (auto _ : state)
        updateGame();
    state.counters["asteroids"] = static_cast<double>(asteroids.size());
    deleteAllObjects();
}
BENCHMARK(BM_UpdateGame100Asteroids)->Unit(benchmark::kMicrosecond);

// The frame's culling: planes from the camera, then 103 spheres against them.
void BM_Cull103Objects(benchmark::State& state)
{
    const glm::mat4 projection = glm::perspective(45.0f, 1280.0f / 720.0f, 0.1f, 10000.0f);
    const glm::vec3 eye(0.0f, 1.0f, -3.0f);
    const glm::vec3 front(0.0f, 0.0f, 1.0f);
    const glm::mat4 view = glm::lookAt(eye, eye + front, glm::vec3(0.0f, 1.0f, 0.0f));
    std::vector<glm::vec4> spheres;
    unsigned int seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<float>((seed >> 16) & 0x7fff) / 32767.0f;
    };
    for (int i = 0; i < 103; ++i)
        spheres.emplace_back(40.0f * (next() - 0.5f), 40.0f * (next() - 0.5f), 200.0f * next() - 20.0f,
                             0.5f + next());
    for (auto _ : state) {
        const FrustumPlanes planes =
            computeFrustumPlanes(eye, computeCornerRays(1280.0f, 720.0f, view, projection));
        int drawn = 0;
        for (const glm::vec4& s : spheres) {
            const glm::vec3 centre(s);
            if (!isBehindCamera(eye, front, centre) && sphereInFrustum(centre, s.w, planes))
                ++drawn;
        }
        benchmark::DoNotOptimize(drawn);
    }
}
BENCHMARK(BM_Cull103Objects);

// The HUD's lines, composed into kept storage as the frame does it.
void BM_ComposeHud(benchmark::State& state)
{
    HudState hud;
    hud.width = 1280;
    hud.height = 720;
    hud.frameTime = 0.0166f;
    hud.fuel = 87.5f;
    hud.lives = 7;
    hud.invulnerableTime = 1.2f;
    hud.drawnAsteroids = 100;
    std::vector<TextLine> lines;
    for (auto _ : state) {
        composeHud(hud, lines);
        benchmark::DoNotOptimize(lines.data());
    }
}
BENCHMARK(BM_ComposeHud);

void BM_LoadScores10000(benchmark::State& state)
{
    const std::string path = "/tmp/orbelune-bench-scores.txt";
    {
        std::ofstream out(path);
        for (int i = 0; i < 10000; ++i)
            out << "pilot" << i << ' ' << (i * 37 % 1000) << '\n';
    }
    for (auto _ : state) {
        HighScoreTable table;
        table.load(path);
        benchmark::DoNotOptimize(table.entries.data());
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_LoadScores10000)->Unit(benchmark::kMillisecond);

void BM_MeshLoad(benchmark::State& state, const char* path)
{
    if (!makeHiddenContext()) {
        state.SkipWithError("no GL context (run under Xvfb)");
        return;
    }
    // The "... loaded." lines would bury the report.
    std::ostringstream discarded;
    std::streambuf* console = std::cout.rdbuf(discarded.rdbuf());
    for (auto _ : state) {
        Mesh mesh;
        mesh.load(path);
        benchmark::DoNotOptimize(mesh.radius);
        discarded.str(std::string());
    }
    std::cout.rdbuf(console);
}
BENCHMARK_CAPTURE(BM_MeshLoad, ship, "./assets/star-wars-arc-170-pbr.obj")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MeshLoad, sphere, "./assets/sphere.obj")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MeshLoad, rock, "./assets/Rock.obj")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_MeshLoad, star, "./assets/star.obj")->Unit(benchmark::kMillisecond);

void BM_DecodeImage(benchmark::State& state, const char* path)
{
    for (auto _ : state) {
        int width = 0;
        int height = 0;
        int channels = 0;
        unsigned char* pixels = stbi_load(path, &width, &height, &channels, 0);
        if (!pixels) {
            state.SkipWithError("image missing: run from the run directory");
            return;
        }
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
}
#define ORBELUNE_IMAGE(name, file) \
    BENCHMARK_CAPTURE(BM_DecodeImage, name, "./assets/" file)->Unit(benchmark::kMillisecond)
ORBELUNE_IMAGE(earth, "Earth.jpg");
ORBELUNE_IMAGE(rock_albedo, "cratered-rock-albedo.png");
ORBELUNE_IMAGE(rock_ao, "cratered-rock-ao.png");
ORBELUNE_IMAGE(rock_height, "cratered-rock-height.png");
ORBELUNE_IMAGE(rock_normal, "cratered-rock-normal.png");
ORBELUNE_IMAGE(gold_basecolor, "gold-scuffed_basecolor.png");
ORBELUNE_IMAGE(gold_metallic, "gold-scuffed_metallic.png");
ORBELUNE_IMAGE(gold_normal, "gold-scuffed_normal.png");
ORBELUNE_IMAGE(gold_roughness, "gold-scuffed_roughness.png");
ORBELUNE_IMAGE(pan_albedo, "greasy-pan-2-albedo.png");
ORBELUNE_IMAGE(pan_metal, "greasy-pan-2-metal.png");
ORBELUNE_IMAGE(pan_normal, "greasy-pan-2-normal.png");
ORBELUNE_IMAGE(pan_roughness, "greasy-pan-2-roughness.png");

} // namespace

BENCHMARK_MAIN();
