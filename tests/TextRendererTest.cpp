#include "TextRenderer.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <unistd.h>

#include "GlTestSupport.h"
#include "platform/FontLocator.h"

namespace {

const char* emptyFontConfig = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig></fontconfig>
)";

// Vertex k of a quad as (x, y, u, v).
std::array<float, 4> vertex(const std::array<float, 24>& quad, int k)
{
    return {quad[4 * k], quad[4 * k + 1], quad[4 * k + 2], quad[4 * k + 3]};
}

class TextRendererGl : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ensureGlContext();
        files = new TempDir;
        files->write("fonts.conf", emptyFontConfig);
        renderer = new TextRenderer;
        initOutput = captureStdout(
            [] { renderer->init(runDirectory() + "/shaders/text.vert", runDirectory() + "/shaders/text.frag"); });
    }
    static void TearDownTestSuite()
    {
        delete renderer;
        delete files;
    }

    // The quad left in the vertex buffer by the last glyph drawn.
    static std::array<float, 24> lastQuad()
    {
        std::array<float, 24> quad{};
        glBindBuffer(GL_ARRAY_BUFFER, renderer->vbo);
        glGetBufferSubData(GL_ARRAY_BUFFER, 0, sizeof quad, quad.data());
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        return quad;
    }

    static unsigned int trianglesDrawn(const std::function<void()>& action)
    {
        return countPrimitives(GL_PRIMITIVES_GENERATED, action);
    }

    static void draw(const std::string& text, float x, float y, float scale)
    {
        renderer->renderText(text, x, y, scale, 1280, 720, glm::vec3(1.0f));
    }

    static TempDir* files;
    static TextRenderer* renderer;
    static std::string initOutput;
};

TempDir* TextRendererGl::files = nullptr;
TextRenderer* TextRendererGl::renderer = nullptr;
std::string TextRendererGl::initOutput;

} // namespace

TEST(GlyphGeometry, QuadCornersAtHalfScale)
{
    Character glyph;
    glyph.size = glm::ivec2(20, 30);
    glyph.bearing = glm::ivec2(2, 28);
    const std::array<float, 24> quad = glyphQuad(glyph, 100.0f, 50.0f, 0.5f);
    EXPECT_EQ(vertex(quad, 0), (std::array<float, 4>{101, 64, 0, 0}));
    EXPECT_EQ(vertex(quad, 1), (std::array<float, 4>{101, 49, 0, 1}));
    EXPECT_EQ(vertex(quad, 2), (std::array<float, 4>{111, 49, 1, 1}));
    EXPECT_EQ(vertex(quad, 3), (std::array<float, 4>{101, 64, 0, 0}));
    EXPECT_EQ(vertex(quad, 4), (std::array<float, 4>{111, 49, 1, 1}));
    EXPECT_EQ(vertex(quad, 5), (std::array<float, 4>{111, 64, 1, 0}));
}

TEST(GlyphGeometry, AdvanceInWholePixelsRoundedDown)
{
    Character glyph;
    glyph.advance = 1000; // 15.625 pixels
    EXPECT_EQ(glyphAdvance(glyph, 1.0f), 15.0f);
    EXPECT_EQ(glyphAdvance(glyph, 0.5f), 7.5f);
    glyph.advance = -65; // rounds towards minus infinity, not towards zero
    EXPECT_EQ(glyphAdvance(glyph, 1.0f), -2.0f);
}

TEST(FontLookup, FindsAnArialMetricTrueTypeFile)
{
    const std::string path = findArialCompatibleFont();
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
    const std::string extension = std::filesystem::path(path).extension().string();
    EXPECT_TRUE(extension == ".ttf" || extension == ".otf" || extension == ".TTF") << path;
}

TEST_F(TextRendererGl, RealFontLoadsAllOfTheFirst128Codes)
{
    EXPECT_EQ(initOutput.find("Can't"), std::string::npos) << initOutput;
    EXPECT_EQ(renderer->characters.size(), 128u);
    const Character& a = renderer->characters.at('A');
    EXPECT_GT(a.size.x, 20);
    EXPECT_GT(a.size.y, 25);
    EXPECT_GT(a.advance, 0);
    EXPECT_NE(a.textureID, 0u);
    EXPECT_EQ(renderer->characters.at(' ').size.x, 0);
    EXPECT_GT(renderer->characters.at(' ').advance, 0);
    int alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 1);
    int bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
}

TEST_F(TextRendererGl, PenAdvancesGlyphByGlyphAndOverSpaces)
{
    const Character& a = renderer->characters.at('A');
    const Character& space = renderer->characters.at(' ');
    const Character& b = renderer->characters.at('B');
    EXPECT_EQ(trianglesDrawn([] { draw("A B", 10.0f, 20.0f, 0.5f); }), 6u);
    const float penX = 10.0f + glyphAdvance(a, 0.5f) + glyphAdvance(space, 0.5f);
    EXPECT_EQ(lastQuad(), glyphQuad(b, penX, 20.0f, 0.5f));
}

TEST_F(TextRendererGl, BytesWithoutAGlyphDrawNothingAndDoNotAdvance)
{
    const std::string high = "\x80\xc3\xa9\xff";
    EXPECT_EQ(trianglesDrawn([&high] { draw(high, 10.0f, 20.0f, 1.0f); }), 0u);
    draw(high + "A", 10.0f, 20.0f, 1.0f);
    EXPECT_EQ(lastQuad(), glyphQuad(renderer->characters.at('A'), 10.0f, 20.0f, 1.0f));
    EXPECT_EQ(renderer->characters.size(), 128u);
}

TEST_F(TextRendererGl, EmptyTextSetsUpButDrawsNothing)
{
    glUseProgram(0);
    EXPECT_EQ(trianglesDrawn([] {
                  renderer->renderText("", 0.0f, 0.0f, 1.0f, 640, 480, glm::vec3(1, 0, 0));
              }),
              0u);
    int program = 0, vao = -1;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vao);
    EXPECT_EQ(static_cast<unsigned int>(program), renderer->shader.getId());
    EXPECT_EQ(vao, 0);
    float projection[16] = {};
    glGetUniformfv(program, glGetUniformLocation(program, "projection"), projection);
    EXPECT_FLOAT_EQ(projection[0], 2.0f / 640.0f);
    EXPECT_FLOAT_EQ(projection[5], 2.0f / 480.0f);
    EXPECT_FLOAT_EQ(projection[12], -1.0f);
    float colour[3] = {};
    glGetUniformfv(program, glGetUniformLocation(program, "text_color"), colour);
    EXPECT_EQ(colour[0], 1.0f);
    EXPECT_EQ(colour[1], 0.0f);
}

// A fontconfig set-up that knows the faces of one folder only.
std::string fontConfigWithOnly(const std::string& folder, const std::string& cacheFolder)
{
    return "<?xml version=\"1.0\"?>\n<fontconfig><dir>" + folder + "</dir><cachedir>" + cacheFolder +
           "</cachedir></fontconfig>\n";
}

TEST(FontLocator, AcceptsArialMetricFacesAndNothingElse)
{
    TempDir files;
    const char* const saved = std::getenv("FONTCONFIG_FILE");
    const std::string previous = saved ? saved : "";
    struct Case {
        const char* folder;
        const char* expectedFile; // "" when no face may stand in for Arial
    };
    for (const Case& c : {Case{"/usr/share/fonts/truetype/dejavu", ""},
                          Case{"/usr/share/fonts/truetype/liberation", "LiberationSans-Regular.ttf"}}) {
        SCOPED_TRACE(c.folder);
        files.write("fonts.conf", fontConfigWithOnly(c.folder, files.file("cache")));
        setenv("FONTCONFIG_FILE", files.file("fonts.conf").c_str(), 1);
        const std::string found = findArialCompatibleFont();
        EXPECT_EQ(std::filesystem::path(found).filename().string(), c.expectedFile) << found;
    }
    if (saved)
        setenv("FONTCONFIG_FILE", previous.c_str(), 1);
    else
        unsetenv("FONTCONFIG_FILE");
}

TEST_F(TextRendererGl, NoUsableFontEndsTheProgramWithItsMessage)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // Death tests match standard error; the message goes to standard output.
            dup2(STDERR_FILENO, STDOUT_FILENO);
            setenv("FONTCONFIG_FILE", files->file("fonts.conf").c_str(), 1);
            TextRenderer orphan;
            orphan.init(runDirectory() + "/shaders/text.vert", runDirectory() + "/shaders/text.frag");
        },
        ::testing::ExitedWithCode(255), "Can't load arial font!");
}
