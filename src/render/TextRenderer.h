// A 48-pixel glyph cache of the first 128 character codes, drawn as one quad per byte.
#pragma once

#include <array>
#include <map>
#include <string>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include "ShaderProgram.h"

struct Character {
    unsigned int textureID = 0; // one-channel coverage bitmap
    glm::ivec2 size{0};         // bitmap width and rows, pixels
    glm::ivec2 bearing{0};      // pen to left edge, pen to top edge, pixels
    long long advance = 0;      // pen advance in 1/64 pixel
};

// The six (x, y, u, v) vertices of one glyph at pen (penX, baselineY); v = 0 is the top row.
std::array<float, 24> glyphQuad(const Character& glyph, float penX, float baselineY, float scale);
// Pen advance in whole pixels (rounded towards minus infinity) times scale.
float glyphAdvance(const Character& glyph, float scale);

class TextRenderer {
public:
    std::map<char, Character> characters;
    ShaderProgram shader;
    unsigned int vao = 0;
    unsigned int vbo = 0; // room for exactly one quad: 96 bytes

    TextRenderer() = default;
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    // Leaves GL_UNPACK_ALIGNMENT at 1, which every later texture upload relies on.
    void init(std::string vertexShaderPath, std::string fragmentShaderPath);
    // Window pixels, origin bottom-left, (x, y) the start of the baseline.
    void renderText(std::string text, float x, float y, float scale, int width, int height,
                    const glm::vec3& color);
};
