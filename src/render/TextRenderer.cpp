// Glyph cache of one system font and the per-character quad drawing.
#include "TextRenderer.h"

#include <GL/glew.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdlib>
#include <iostream>

#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "FatalError.h"
#include "platform/Platform.h"

namespace {

constexpr FT_UInt glyphPixelHeight = 48;  // scale 1.0 on screen
constexpr unsigned long cachedCodes = 128; // the first 128 character codes
constexpr GLsizeiptr quadBytes = 6 * 4 * sizeof(float);

} // namespace

std::array<float, 24> glyphQuad(const Character& glyph, float penX, float baselineY, float scale)
{
    const float xpos = penX + static_cast<float>(glyph.bearing.x) * scale;
    const float ypos =
        baselineY - static_cast<float>(glyph.size.y - glyph.bearing.y) * scale;
    const float w = static_cast<float>(glyph.size.x) * scale;
    const float h = static_cast<float>(glyph.size.y) * scale;
    return {xpos,     ypos + h, 0.0f, 0.0f, //
            xpos,     ypos,     0.0f, 1.0f, //
            xpos + w, ypos,     1.0f, 1.0f, //
            xpos,     ypos + h, 0.0f, 0.0f, //
            xpos + w, ypos,     1.0f, 1.0f, //
            xpos + w, ypos + h, 1.0f, 0.0f};
}

float glyphAdvance(const Character& glyph, float scale)
{
    // Arithmetic shift on the signed value: whole pixels, rounded towards minus infinity.
    return static_cast<float>(glyph.advance >> 6) * scale;
}

TextRenderer::~TextRenderer()
{
    if (vao != 0)
        glDeleteVertexArrays(1, &vao);
    if (vbo != 0)
        glDeleteBuffers(1, &vbo);
}

void TextRenderer::init(std::string vertexShaderPath, std::string fragmentShaderPath)
{
    shader.addStage(GL_VERTEX_SHADER, vertexShaderPath);
    shader.addStage(GL_FRAGMENT_SHADER, fragmentShaderPath);
    shader.link();

    FT_Library library;
    if (FT_Init_FreeType(&library))
        endWithMessage("Can't initialize freetype!");
    // NOTE: the game was drawn with Arial; an Arial-metric face keeps the HUD layout intact.
    const std::string fontPath = platform::hudFontPath();
    FT_Face face;
    if (fontPath.empty() || FT_New_Face(library, fontPath.c_str(), 0, &face))
        endWithMessage("Can't load arial font!");
    FT_Set_Pixel_Sizes(face, 0, glyphPixelHeight);

    // Glyph rows are tightly packed bytes; later texture uploads rely on this staying set.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (unsigned long code = 0; code < cachedCodes; ++code) {
        if (FT_Load_Char(face, code, FT_LOAD_RENDER)) {
            std::cout << "Cannot load font Glyph" << std::endl;
            continue;
        }
        const FT_GlyphSlot slot = face->glyph;
        // Glyph textures live until exit: the one text renderer draws with them to the last frame.
        unsigned int texture = 0;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, static_cast<GLsizei>(slot->bitmap.width),
                     static_cast<GLsizei>(slot->bitmap.rows), 0, GL_RED, GL_UNSIGNED_BYTE,
                     slot->bitmap.buffer);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        Character glyph;
        glyph.textureID = texture;
        glyph.size = glm::ivec2(static_cast<int>(slot->bitmap.width),
                                static_cast<int>(slot->bitmap.rows));
        glyph.bearing = glm::ivec2(slot->bitmap_left, slot->bitmap_top);
        glyph.advance = static_cast<long long>(slot->advance.x);
        characters.emplace(static_cast<char>(code), glyph);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    FT_Done_Face(face);
    FT_Done_FreeType(library);

    glGenVertexArrays(1, &vao);
    glGenBuffers(1, &vbo);
    glBindVertexArray(vao);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, quadBytes, nullptr, GL_DYNAMIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 4 * sizeof(float), nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
}

void TextRenderer::renderText(std::string text, float x, float y, float scale, int width,
                              int height, const glm::vec3& color)
{
    shader.use();
    const glm::mat4 projection = glm::ortho(0.0f, static_cast<float>(width), 0.0f,
                                            static_cast<float>(height), -1.0f, 1.0f);
    glUniformMatrix4fv(glGetUniformLocation(shader.getId(), "projection"), 1, GL_FALSE,
                       glm::value_ptr(projection));
    glUniform3f(glGetUniformLocation(shader.getId(), "text_color"), color.x, color.y, color.z);
    glActiveTexture(GL_TEXTURE0);
    glBindVertexArray(vao);

    float penX = x;
    for (const char byte : text) {
        // A byte without a glyph (codes 128-255, failed loads) draws nothing and does not move
        // the pen; find() keeps the cache from filling with empty entries.
        const auto found = characters.find(byte);
        if (found == characters.end())
            continue;
        const Character& glyph = found->second;
        const std::array<float, 24> vertices = glyphQuad(glyph, penX, y, scale);
        glBindTexture(GL_TEXTURE_2D, glyph.textureID);
        glBindBuffer(GL_ARRAY_BUFFER, vbo);
        glBufferSubData(GL_ARRAY_BUFFER, 0, quadBytes, vertices.data());
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glDrawArrays(GL_TRIANGLES, 0, 6);
        penX += glyphAdvance(glyph, scale);
    }
    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
}
