// A GL program built from GLSL stage files. Owns its program name.
#pragma once

#include <string>
#include <vector>

class ShaderProgram {
public:
    unsigned int id = 0;              // GL program name; 0 until create or link
    std::vector<unsigned int> shaders; // stage names in order of addition; never cleared

    ShaderProgram() = default;
    ~ShaderProgram();
    ShaderProgram(const ShaderProgram&) = delete;
    ShaderProgram& operator=(const ShaderProgram&) = delete;

    void create();
    // Compiles the file at `path` as `stage` (a GL shader type). An unknown stage or an
    // unreadable file ends the process with status 255; a compile error is only reported.
    void addStage(unsigned int stage, std::string path);
    void link();
    void use() const;
    unsigned int getId() const { return id; }
};

// "VERTEX SHADER" and friends; null for a stage the program does not know.
const char* shaderStageName(unsigned int stage);
