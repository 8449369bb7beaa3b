#include "ObjectDrawing.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <utility>

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "Object.h"
#include "ShaderProgram.h"
#include "GlTestSupport.h"

namespace {

// A minimal program with the PBR uniform set; counts what is drawn.
GLuint buildProbeProgram()
{
    const char* vertex = "#version 330 core\n"
                         "layout(location = 0) in vec3 aPos;\n"
                         "uniform mat4 model; uniform mat4 view; uniform mat4 projection;\n"
                         "void main() { gl_Position = projection * view * model * vec4(aPos, 1.0); }\n";
    const char* fragment = "#version 330 core\n"
                           "uniform vec3 lightPosition; uniform vec3 camPos; uniform vec3 lightColor;\n"
                           "uniform sampler2D albedoMap; uniform sampler2D normalMap;\n"
                           "uniform sampler2D metallicMap; uniform sampler2D roughnessMap;\n"
                           "uniform sampler2D aoMap;\n"
                           "layout(location = 0) out vec4 color;\n"
                           "void main() { color = vec4(lightPosition + camPos + lightColor, 1.0)\n"
                           "  + texture(albedoMap, vec2(0)) + texture(normalMap, vec2(0))\n"
                           "  + texture(metallicMap, vec2(0)) + texture(roughnessMap, vec2(0))\n"
                           "  + texture(aoMap, vec2(0)); }\n";
    const GLuint program = glCreateProgram();
    for (auto [stage, source] : {std::pair{GL_VERTEX_SHADER, vertex}, std::pair{GL_FRAGMENT_SHADER, fragment}}) {
        const GLuint shader = glCreateShader(stage);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        glAttachShader(program, shader);
    }
    glLinkProgram(program);
    return program;
}

TEST(Object, DrawSetsEveryUniformAndDrawsEachShape)
{
    ensureGlContext();
    ShaderProgram program;
    program.id = buildProbeProgram();
    GLint linked = 0;
    glGetProgramiv(program.id, GL_LINK_STATUS, &linked);
    ASSERT_EQ(linked, GL_TRUE);

    GLuint textures[5];
    glGenTextures(5, textures);
    GLuint vaos[2];
    glGenVertexArrays(2, vaos);
    Object object;
    MeshShape shape;
    shape.vao = vaos[0];
    shape.positions.assign(36, 0.0f); // 12 vertices, 4 triangles
    MeshShape second;
    second.vao = vaos[1];
    second.positions.assign(9, 0.0f);
    object.setShapes({shape, second}, 1.0f, false);
    for (unsigned int slot = 0; slot < 5; ++slot)
        object.setTexture(slot, textures[slot]);
    object.setPosition({7.0f, 8.0f, 9.0f});
    // The handed light, not the rules' globals, must reach the program.
    const Light light{{1.0f, 2.0f, 3.0f}, {0.25f, 0.5f, 0.75f}};

    const glm::mat4 view = glm::translate(glm::mat4(1.0f), {0, 0, -5});
    EXPECT_EQ(countPrimitives(GL_PRIMITIVES_GENERATED,
                              [&] { drawObject(object, program, view, glm::mat4(2.0f), {4.0f, 5.0f, 6.0f}, light); }),
              5u);

    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(static_cast<GLuint>(current), program.id);
    glm::mat4 uploaded;
    glGetUniformfv(program.id, glGetUniformLocation(program.id, "model"), glm::value_ptr(uploaded));
    EXPECT_EQ(uploaded, object.modelMatrix());
    glGetUniformfv(program.id, glGetUniformLocation(program.id, "view"), glm::value_ptr(uploaded));
    EXPECT_EQ(uploaded, view);
    glm::vec3 vector;
    glGetUniformfv(program.id, glGetUniformLocation(program.id, "camPos"), glm::value_ptr(vector));
    EXPECT_EQ(vector, glm::vec3(4.0f, 5.0f, 6.0f));
    glGetUniformfv(program.id, glGetUniformLocation(program.id, "lightPosition"), glm::value_ptr(vector));
    EXPECT_EQ(vector, light.position);
    glGetUniformfv(program.id, glGetUniformLocation(program.id, "lightColor"), glm::value_ptr(vector));
    EXPECT_EQ(vector, light.color);

    const char* samplers[5] = {"albedoMap", "normalMap", "metallicMap", "roughnessMap", "aoMap"};
    for (GLint unit = 0; unit < 5; ++unit) {
        GLint sampler = -1;
        glGetUniformiv(program.id, glGetUniformLocation(program.id, samplers[unit]), &sampler);
        EXPECT_EQ(sampler, unit);
        glActiveTexture(GL_TEXTURE0 + unit);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), textures[unit]);
    }
    GLint vao = -1;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vao);
    EXPECT_EQ(vao, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
