// Renders every generated model with its game material through the game's own loading
// and drawing code, beside the planet picture, into one PNG for a quick visual check.
// Usage, from the run directory under a display: orbelune_contactsheet <output.png>
#include <cstdio>
#include <string>
#include <vector>

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <glm/gtc/matrix_transform.hpp>
#include <stb_image.h>
#include <stb_image_write.h>

#include "GameRules.h"
#include "Mesh.h"
#include "Object.h"
#include "ObjectDrawing.h"
#include "Settings.h"
#include "ShaderProgram.h"
#include "Startup.h"
#include "Texture.h"

namespace {

constexpr int kPanelWidth = 480, kPanelHeight = 360, kColumns = 3, kRows = 2;
constexpr int kSheetWidth = kPanelWidth * kColumns, kSheetHeight = kPanelHeight * kRows;

struct View {
    glm::vec3 eye, target, up;
};

std::vector<unsigned int> loadSet(const std::string& prefix, const std::vector<std::string>& maps)
{
    std::vector<unsigned int> names;
    for (const std::string& map : maps)
        names.push_back(loadTexture("./assets/" + prefix + map, false));
    return names;
}

// Draws `mesh` with `textures` into panel (column, row), light ~150 units away as in game.
void drawPanel(ShaderProgram& program, const Mesh& mesh, const std::vector<unsigned int>& textures,
               glm::quat rotation, const View& view, int column, int row)
{
    glViewport(column * kPanelWidth, (kRows - 1 - row) * kPanelHeight, kPanelWidth, kPanelHeight);
    Object object;
    object.setShapes(mesh.shapes, mesh.radius, false);
    object.setRotation(rotation);
    for (unsigned int i = 0; i < 5; ++i)
        object.setTexture(i, textures[i]);
    lightPosition = glm::vec3(100.0f, 100.0f, 10.0f) + view.target;
    glm::mat4 viewMatrix = glm::lookAt(view.eye, view.target, view.up);
    glm::mat4 projection = glm::perspective(glm::radians(35.0f),
                                            float(kPanelWidth) / kPanelHeight, 0.1f, 500.0f);
    drawObject(object, program, viewMatrix, projection, view.eye, {lightPosition, lightColor});
}

// Copies the planet picture, scaled to fit, into panel (column, row) of the sheet.
void pastePicture(std::vector<unsigned char>& sheet, const std::string& path, int column, int row)
{
    int width = 0, height = 0, channels = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &width, &height, &channels, 3);
    if (!pixels)
        return;
    int drawHeight = kPanelWidth * height / width;
    int top = (kPanelHeight - drawHeight) / 2;
    for (int y = 0; y < drawHeight; ++y)
        for (int x = 0; x < kPanelWidth; ++x) {
            int sx = x * width / kPanelWidth, sy = y * height / drawHeight;
            int dx = column * kPanelWidth + x, dy = row * kPanelHeight + top + y;
            for (int c = 0; c < 3; ++c)
                sheet[(size_t(dy) * kSheetWidth + dx) * 3 + c] = pixels[(size_t(sy) * width + sx) * 3 + c];
        }
    stbi_image_free(pixels);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::printf("usage: orbelune_contactsheet <output.png>\n");
        return 1;
    }
    if (!openHiddenContext(kSheetWidth, kSheetHeight, "contact sheet"))
        return 1;

    // An off-screen target, so the size does not depend on the window system. It, the textures
    // and the meshes below live until the tool exits: it draws one sheet and ends.
    GLuint framebuffer, colour, depth;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glGenRenderbuffers(1, &colour);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kSheetWidth, kSheetHeight);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, kSheetWidth, kSheetHeight);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0.02f, 0.02f, 0.05f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    ShaderProgram pbr;
    pbr.addStage(GL_VERTEX_SHADER, "./shaders/pbr.vert");
    pbr.addStage(GL_FRAGMENT_SHADER, "./shaders/pbr.frag");
    pbr.link();
    pbr.use();
    glUniform1i(glGetUniformLocation(pbr.getId(), "hdr_enabled"), 0);
    lightColor = glm::vec3(1e7f);

    std::vector<unsigned int> ship = loadSet("greasy-pan-2-", {"albedo.png", "normal.png", "metal.png", "roughness.png", "metal.png"});
    std::vector<unsigned int> rock = loadSet("cratered-rock-", {"albedo.png", "normal.png", "height.png", "height.png", "ao.png"});
    std::vector<unsigned int> gold = loadSet("gold-scuffed_", {"basecolor.png", "normal.png", "metallic.png", "roughness.png", "roughness.png"});
    std::vector<unsigned int> earth = gold;
    earth[0] = loadTexture("./assets/Earth.jpg", false);

    Mesh shipMesh, sphereMesh, rockMesh, starMesh;
    shipMesh.load("./assets/star-wars-arc-170-pbr.obj");
    sphereMesh.load("./assets/sphere.obj");
    rockMesh.load("./assets/Rock.obj");
    starMesh.load("./assets/star.obj");

    // NOTE: the game flies the ship turned half a turn about Z with the camera rolled the
    // same way; drawing it upright with an upright camera gives the same picture.
    const glm::quat upright(1.0f, 0.0f, 0.0f, 0.0f);
    const glm::vec3 up(0.0f, 1.0f, 0.0f);
    drawPanel(pbr, shipMesh, ship, upright, {{0.0f, 5.0f, -20.0f}, {0.0f, 0.0f, 0.0f}, up}, 0, 0);
    drawPanel(pbr, shipMesh, ship, upright, {{-7.0f, 5.0f, -7.0f}, {0.0f, 0.0f, 0.0f}, up}, 1, 0);
    drawPanel(pbr, sphereMesh, earth, upright, {{0.0f, 0.6f, -3.6f}, {0.0f, 0.0f, 0.0f}, up}, 2, 0);
    drawPanel(pbr, rockMesh, rock, upright, {{2.0f, 1.0f, -3.0f}, {0.0f, 0.0f, 0.0f}, up}, 0, 1);
    drawPanel(pbr, starMesh, gold, glm::quat(glm::vec3(0.1f, 0.5f, 0.1f)), {{0.0f, 0.0f, -3.5f}, {0.0f, 0.0f, 0.0f}, up}, 1, 1);

    std::vector<unsigned char> pixels(size_t(kSheetWidth) * kSheetHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kSheetWidth, kSheetHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    // GL rows start at the bottom; PNG rows at the top.
    std::vector<unsigned char> sheet(pixels.size());
    for (int y = 0; y < kSheetHeight; ++y)
        std::copy_n(&pixels[size_t(kSheetHeight - 1 - y) * kSheetWidth * 3], kSheetWidth * 3,
                    &sheet[size_t(y) * kSheetWidth * 3]);
    pastePicture(sheet, "./assets/Earth.jpg", 2, 1);
    bool written = stbi_write_png(argv[1], kSheetWidth, kSheetHeight, 3, sheet.data(), kSheetWidth * 3) != 0;
    deleteAllObjects();
    glfwTerminate();
    return written ? 0 : 1;
}
