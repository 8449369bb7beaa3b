// ShaderProgram: GLSL stage files compiled and linked into one GL program.
#include "ShaderProgram.h"

#include <GL/glew.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "FatalError.h"
#include "GlFlavour.h"

namespace {

// The info log of a shader or a program, read with the matching pair of queries. The
// buffer is zero-filled and one byte longer than reported, so a driver that writes no
// terminator (or reports 0) still leaves a valid text behind.
template <typename GetParameter, typename GetInfoLog>
std::string infoLog(GLuint name, GetParameter getParameter, GetInfoLog getInfoLog)
{
    GLint length = 0;
    getParameter(name, GL_INFO_LOG_LENGTH, &length);
    std::vector<char> log(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    if (length > 0)
        getInfoLog(name, length, nullptr, log.data());
    return std::string(log.data());
}

} // namespace

const char* shaderStageName(unsigned int stage)
{
    switch (stage) {
    case GL_VERTEX_SHADER: return "VERTEX SHADER";
    case GL_FRAGMENT_SHADER: return "FRAGMENT SHADER";
    case GL_GEOMETRY_SHADER: return "GEOMETRY SHADER";
    case GL_TESS_EVALUATION_SHADER: return "TESSELLATION EVALUATION SHADER";
    case GL_TESS_CONTROL_SHADER: return "TESSELLATION CONTROL SHADER";
    case GL_COMPUTE_SHADER: return "COMPUTE SHADER";
    default: return nullptr;
    }
}

ShaderProgram::~ShaderProgram()
{
    // NOTE: a global program whose process never made a context has a null
    // glDeleteProgram pointer, so the name must be checked first.
    if (id != 0)
        glDeleteProgram(id);
}

void ShaderProgram::create()
{
    id = glCreateProgram();
}

void ShaderProgram::addStage(unsigned int stage, std::string path)
{
    // The stage is judged before the file is touched, so a bad constant is
    // reported as such even when the path is bad too.
    const char* stageName = shaderStageName(stage);
    if (!stageName)
        endWithMessage("Invalid shader stage");

    std::ifstream file(path, std::ios::binary);
    if (!file)
        endWithMessage("Cannot load shader at " + path);
    std::string source;
    try {
        source.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    } catch (const std::ios_base::failure&) {
        // A directory opens like a file and throws on the first read: it is no source either.
        endWithMessage("Cannot load shader at " + path);
    }
    file.close();

    source = glslForGl(source);
    const GLuint shader = glCreateShader(stage);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        // Reported only: the broken stage still goes to link, whose log says the rest.
        std::cout << stageName << " COMPILATION FAILED:" << std::endl
                  << infoLog(shader, glGetShaderiv, glGetShaderInfoLog) << std::endl;
    }
    shaders.push_back(shader);
}

void ShaderProgram::link()
{
    // A program made by create() may already carry state (transform-feedback
    // varyings) that a fresh name would lose.
    if (id == 0)
        id = glCreateProgram();
    for (GLuint shader : shaders)
        glAttachShader(id, shader);
    glLinkProgram(id);
    GLint ok = 0;
    glGetProgramiv(id, GL_LINK_STATUS, &ok);
    if (!ok) {
        std::cout << "SHADER LINKING FAILED:" << std::endl
                  << infoLog(id, glGetProgramiv, glGetProgramInfoLog) << std::endl;
    }
    // Still attached, so GL keeps them alive until the program goes.
    for (GLuint shader : shaders)
        glDeleteShader(shader);
}

void ShaderProgram::use() const
{
    glUseProgram(id);
}
