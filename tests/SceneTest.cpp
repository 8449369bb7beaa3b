// The scene the game opens on, built in-process from the generated data.
#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <string>

#include <gtest/gtest.h>

#include "AppState.h"
#include "Camera.h"
#include "Controls.h"
#include "FrameRenderer.h"
#include "GameRandom.h"
#include "Object.h"
#include "PhysicsWorld.h"
#include "PostProcessing.h"
#include "Scene.h"
#include "Settings.h"
#include "Startup.h"
#include "GlTestSupport.h"

namespace {

// Start-up runs once per process, as in the game; every test reads what it left.
class SceneTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ensureGlContext();
        settings.width = 320;
        settings.height = 240;
        createFramebuffers();
        setCameraDefaults(320, 240);
        // A clock far from 0 before the setup, so only its reset brings it back.
        glfwSetTime(1.0e6);
        lastFrameTime = 1.0e6f;
        startupOutput = new std::string(captureStdout(setupScene));
    }

    // As the game does at exit; the lists' storage dies with the process, the objects would not.
    static void TearDownTestSuite() { deleteAllObjects(); }

    static std::string* startupOutput;
};

std::string* SceneTest::startupOutput = nullptr;

// Triangles the object pass of a frame sends to the GPU, counted by a query around it.
GLuint objectPassQuery = 0;
void countObjectPass(FramePass pass, bool begin)
{
    if (pass != FramePass::objects)
        return;
    if (begin)
        glBeginQuery(GL_PRIMITIVES_GENERATED, objectPassQuery);
    else
        glEndQuery(GL_PRIMITIVES_GENERATED);
}

// Draws `frame` through the game's frame renderer; the asteroid count it hands the HUD and
// the triangles of its object pass.
std::pair<int, GLuint> drawFrame(const FrameView& frame)
{
    glGenQueries(1, &objectPassQuery);
    framePassObserver = countObjectPass;
    const int drawnAsteroids = renderFrame(frame);
    framePassObserver = nullptr;
    GLuint triangles = 0;
    glGetQueryObjectuiv(objectPassQuery, GL_QUERY_RESULT, &triangles);
    glDeleteQueries(1, &objectPassQuery);
    return {drawnAsteroids, triangles};
}

Object* rockAt(glm::vec3 position)
{
    Object* rock = new Object();
    rock->setShapes(rockMesh.shapes, rockMesh.radius, false);
    rock->setScale(1.0f);
    rock->setPosition(position);
    return rock;
}

} // namespace

TEST_F(SceneTest, OpensWithShipEarthAndStarInThatOrder)
{
    ASSERT_EQ(sceneObjects.size(), 3u);
    EXPECT_TRUE(asteroids.empty());
    const Object& ship = *sceneObjects[0];
    const Object& earth = *sceneObjects[1];
    const Object& star = *sceneObjects[2];

    EXPECT_TRUE(ship.isPlayer);
    EXPECT_NE(ship.body, nullptr);
    EXPECT_EQ(ship.position, glm::vec3(0.0f));
    EXPECT_EQ(ship.rotation, glm::quat(0.0f, 0.0f, 0.0f, 1.0f)) << "the half turn stays on purpose";

    EXPECT_FALSE(earth.isPlayer);
    EXPECT_EQ(earth.body, nullptr);
    EXPECT_NEAR(earth.position.x, 0.0f, 1e-5f);
    EXPECT_NEAR(earth.position.y, 1.0f, 1e-5f);
    EXPECT_NEAR(earth.position.z, 197.0f, 1e-4f);
    EXPECT_FLOAT_EQ(earth.scale, 100.0f);
    EXPECT_GE(earth.angularVelocity.z, 0.0f);
    EXPECT_LE(earth.angularVelocity.z, 1.0f);

    EXPECT_EQ(star.body, nullptr);
    EXPECT_FLOAT_EQ(star.scale, 0.33f);
    for (int axis = 0; axis < 3; ++axis) {
        const float low = glm::vec3(0, 1, 22)[axis];
        EXPECT_GE(star.position[axis], low);
        EXPECT_LE(star.position[axis], low + 1.0f);
    }
}

TEST_F(SceneTest, RandomPlacementFollowsTheParticleDraws)
{
    // The particle system draws 150,000 values first; the Earth's spin is the next one and
    // the star takes the three after it. Replay the sequence to prove the order.
    srand(1);
    for (int i = 0; i < 150000; ++i)
        rand();
    const float spin = gameRandomFraction();
    const float x = gameRandomFraction();
    const float y = gameRandomFraction();
    const float z = gameRandomFraction();
    const glm::vec3 offset(x, y, z);
    EXPECT_FLOAT_EQ(sceneObjects[1]->angularVelocity.z, spin);
    EXPECT_NEAR(sceneObjects[2]->position.x, offset.x, 1e-5f);
    EXPECT_NEAR(sceneObjects[2]->position.y, 1.0f + offset.y, 1e-5f);
    EXPECT_NEAR(sceneObjects[2]->position.z, 22.0f + offset.z, 1e-4f);
}

TEST_F(SceneTest, MaterialsAreFifteenDistinctTexturesPlusTheEarth)
{
    const Object& ship = *sceneObjects[0];
    const Object& earth = *sceneObjects[1];
    const Object& star = *sceneObjects[2];
    for (int slot = 0; slot < 5; ++slot) {
        EXPECT_EQ(ship.textures[slot], shipTextures[slot]);
        EXPECT_EQ(star.textures[slot], goldTextures[slot]);
        EXPECT_TRUE(glIsTexture(rockTextures[slot]));
    }
    // The metal map is named twice and must give two names.
    EXPECT_NE(shipTextures[2], shipTextures[4]);
    EXPECT_NE(earth.textures[0], goldTextures[0]);
    for (int slot = 1; slot < 5; ++slot)
        EXPECT_EQ(earth.textures[slot], goldTextures[slot]);
}

TEST_F(SceneTest, StartupOutputEndsWithDoneAfterEveryLoadedLine)
{
    const std::string& output = *startupOutput;
    const std::string done = "Initialization DONE.\n";
    ASSERT_GE(output.size(), done.size());
    EXPECT_EQ(output.substr(output.size() - done.size()), done);
    EXPECT_NE(output.find("./assets/greasy-pan-2-albedo.png loaded.\n"), std::string::npos);
    EXPECT_LT(output.find("./assets/gold-scuffed_roughness.png loaded.\n"),
              output.find("./assets/star-wars-arc-170-pbr.obj loaded.\n"));
    EXPECT_LT(output.rfind("./assets/star.obj loaded.\n"), output.find("./assets/Earth.jpg loaded.\n"));
    EXPECT_LT(glfwGetTime(), 1.0e6) << "the clock starts at the end of the scene setup";
    EXPECT_EQ(lastFrameTime, 0.0f) << "the first frame counts from that start";
}

TEST_F(SceneTest, AFrameCullsOnlyWhenItsViewSaysSo)
{
    // One rock ahead of the camera, one behind it, one far off to the side.
    const glm::vec3 eye = camera.getPosition();
    const glm::vec3 front = camera.getFront();
    asteroids = {rockAt(eye + front * 30.0f), rockAt(eye - front * 30.0f),
                 rockAt(eye + front * 30.0f + glm::vec3(200.0f, 0.0f, 0.0f))};
    unsigned int rockTriangles = 0;
    for (const MeshShape& shape : rockMesh.shapes)
        rockTriangles += shape.vertexCount() / 3;

    // The F8 flag as the key leaves it, taken into the frame's view as the game takes it.
    frustumCulling = false;
    const auto [allRocks, allTriangles] = drawFrame(captureFrameView());
    frustumCulling = true;
    const auto [rocksInView, trianglesInView] = drawFrame(captureFrameView());
    frustumCulling = false;
    for (Object* rock : asteroids)
        delete rock;
    asteroids.clear();

    EXPECT_EQ(allRocks, 3);
    EXPECT_EQ(rocksInView, 1);
    // Ship, Earth and star are all in view: only the two rocks out of it are skipped.
    EXPECT_EQ(allTriangles - trianglesInView, 2 * rockTriangles);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
