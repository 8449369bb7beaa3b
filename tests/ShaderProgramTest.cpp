// ShaderProgram against a real GL context: stage checks, compile and link logs, program names.
#include "ShaderProgram.h"
#include "GlFlavour.h"
#include "GlTestSupport.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include <unistd.h>

namespace {

const char* const kVertexSource = R"(#version 330 core
layout(location = 0) in vec3 position;
void main() { gl_Position = vec4(position, 1.0); }
)";

const char* const kFragmentSource = R"(#version 330 core
layout(location = 0) out vec4 color;
void main() { color = vec4(1.0); }
)";

// Death tests fork; re-running the binary keeps the child clear of the GL driver's threads.
void useThreadsafeDeathTests()
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
}

} // namespace

TEST(ShaderProgramDeathTest, UnknownStageEndsBeforeTheFileIsOpened)
{
    useThreadsafeDeathTests();
    // The path does not exist either: only the stage message may appear.
    EXPECT_EXIT(
        {
            dup2(2, 1);
            ShaderProgram program;
            program.addStage(0, "./no/such/file.vert");
        },
        ::testing::ExitedWithCode(255), "Invalid shader stage\n$");
}

TEST(ShaderProgramDeathTest, MissingFragmentSourceEndsEvenAfterAGoodVertexStage)
{
    useThreadsafeDeathTests();
    const RunDirectoryFile vertex("shader-test-good.vert", kVertexSource);
    EXPECT_EXIT(
        {
            dup2(2, 1);
            ensureGlContext();
            ShaderProgram program;
            program.addStage(GL_VERTEX_SHADER, vertex.path());
            program.addStage(GL_FRAGMENT_SHADER, "./shader-test-missing.frag");
        },
        ::testing::ExitedWithCode(255), "Cannot load shader at \\./shader-test-missing\\.frag\n$");
}

TEST(ShaderProgramDeathTest, DestroyingAnEmptyProgramWithoutAContextIsSafe)
{
    useThreadsafeDeathTests();
    // The child never makes a context, so every GL entry point is null there.
    EXPECT_EXIT(
        {
            { ShaderProgram program; }
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

class ShaderProgramGlTest : public ::testing::Test {
protected:
    void SetUp() override { ensureGlContext(); }
    TempDir dir;
};

TEST_F(ShaderProgramGlTest, GoodSourcesLinkSilentlyIntoOneStableName)
{
    dir.write("a.vert", kVertexSource);
    dir.write("a.frag", kFragmentSource);
    ShaderProgram program;
    const std::string output = captureStdout([&] {
        program.addStage(GL_VERTEX_SHADER, dir.file("a.vert"));
        program.addStage(GL_FRAGMENT_SHADER, dir.file("a.frag"));
        program.link();
    });
    EXPECT_EQ("", output);
    ASSERT_NE(0u, program.getId());
    ASSERT_EQ(2u, program.shaders.size());
    EXPECT_NE(program.shaders[0], program.shaders[1]);

    GLint linked = 0;
    glGetProgramiv(program.getId(), GL_LINK_STATUS, &linked);
    EXPECT_EQ(GL_TRUE, linked);

    program.use();
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(program.getId(), static_cast<GLuint>(current));
    glUseProgram(0);

    // The stages are only flagged for deletion: they live on while attached.
    GLint flagged = 0;
    glGetShaderiv(program.shaders[0], GL_DELETE_STATUS, &flagged);
    EXPECT_EQ(GL_TRUE, flagged);
}

TEST_F(ShaderProgramGlTest, LinkKeepsTheNameMadeByCreate)
{
    dir.write("feedback.vert", R"(#version 330 core
layout(location = 0) in vec3 start;
out vec3 position;
void main() { position = start * 2.0; gl_Position = vec4(start, 1.0); }
)");
    dir.write("a.frag", kFragmentSource);
    ShaderProgram program;
    program.create();
    const GLuint created = program.getId();
    ASSERT_NE(0u, created);
    // Configuration between create and link only survives if link reuses the name.
    const char* varyings[] = {"position"};
    glTransformFeedbackVaryings(created, 1, varyings, GL_INTERLEAVED_ATTRIBS);
    program.addStage(GL_VERTEX_SHADER, dir.file("feedback.vert"));
    program.addStage(GL_FRAGMENT_SHADER, dir.file("a.frag"));
    program.link();
    EXPECT_EQ(created, program.getId());
    GLint varyingCount = 0;
    glGetProgramiv(program.getId(), GL_TRANSFORM_FEEDBACK_VARYINGS, &varyingCount);
    EXPECT_EQ(1, varyingCount);
}

TEST_F(ShaderProgramGlTest, CompileErrorIsReportedAndStartUpGoesOn)
{
    dir.write("broken.vert", "#version 330 core\nvoid main() { gl_Position = vec4(1.0) }\n");
    dir.write("a.frag", kFragmentSource);
    ShaderProgram program;
    const std::string compileOutput =
        captureStdout([&] { program.addStage(GL_VERTEX_SHADER, dir.file("broken.vert")); });

    const std::string header = "VERTEX SHADER COMPILATION FAILED:\n";
    ASSERT_EQ(0u, compileOutput.rfind(header, 0)) << compileOutput;
    const std::string log = compileOutput.substr(header.size());
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ('\n', log.back());
    // Drivers word their logs differently ("0:2(38): error", "0(2) : error", "ERROR: 0:2:"), but
    // each names the broken line, 2.
    EXPECT_TRUE(std::regex_search(log, std::regex("[(:]2[):(]"))) << "the compiler log follows: " << log;

    GLint compiled = GL_TRUE;
    glGetShaderiv(program.shaders.at(0), GL_COMPILE_STATUS, &compiled);
    EXPECT_EQ(GL_FALSE, compiled);

    // The broken stage stays in the list and goes to link, which fails in turn.
    program.addStage(GL_FRAGMENT_SHADER, dir.file("a.frag"));
    const std::string linkOutput = captureStdout([&] { program.link(); });
    EXPECT_EQ(0u, linkOutput.rfind("SHADER LINKING FAILED:\n", 0)) << linkOutput;
    EXPECT_EQ('\n', linkOutput.back());
    EXPECT_NE(0u, program.getId());
    EXPECT_EQ(2u, program.shaders.size());
}

// The browser build compiles the very same files as GLSL ES 3.00: the version line rewritten
// at load must give sources the reference compiler takes as ES, and leave the desktop's alone.
TEST(ShaderSourceForGl, EveryShippedShaderCompilesAsGlslEsAndTheDesktopKeepsItsSource)
{
    TempDir dir;
    for (const char* name : {"pbr.vert", "pbr.frag", "passthrough.vert", "blur.frag", "bloom.frag",
                             "particles.vert", "particles.frag", "text.vert", "text.frag"}) {
        const std::string source = readFile(runDirectory() + "/shaders/" + name);
        EXPECT_EQ(glslForGl(source, false), source) << name;
        const std::string es = glslForGl(source, true);
        EXPECT_EQ(es.rfind("#version 300 es\n", 0), 0u) << name;
        dir.write(name, es);
        ChildProcess compiler({ORBELUNE_GLSLANG, dir.file(name)}, dir.path());
        EXPECT_EQ(compiler.wait(60), 0) << name << ":\n" << compiler.output();
    }
    EXPECT_EQ(glslForGl("void main() {}\n", true), "void main() {}\n") << "no version line: nothing to replace";
}
