// Mesh: OBJ models parsed by tinyobjloader, recentred, and uploaded as flat triangle lists.
#include "Mesh.h"

#include <GL/glew.h>
#include <tiny_obj_loader.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "FatalError.h"
#include "platform/Platform.h"

namespace {

// A model the game cannot show ends start-up at once, without clean-up.
[[noreturn]] void failToLoad(const std::string& path, const std::string& warning)
{
    endWithMessage("Cannot load " + path + "\n\t" + warning);
}

GLuint uploadAttribute(GLuint location, const std::vector<float>& data, GLint components)
{
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * sizeof(float)), data.data(),
                 GL_STATIC_DRAW);
    glEnableVertexAttribArray(location);
    glVertexAttribPointer(location, components, GL_FLOAT, GL_FALSE, 0, nullptr);
    return buffer;
}

// Attributes 1 and 2 stay disabled when their arrays are empty; the position buffer
// exists even for a shape with no faces.
void uploadShape(MeshShape& shape)
{
    glGenVertexArrays(1, &shape.vao);
    glBindVertexArray(shape.vao);
    shape.positionBuffer = uploadAttribute(0, shape.positions, 3);
    if (!shape.normals.empty())
        shape.normalBuffer = uploadAttribute(1, shape.normals, 3);
    if (!shape.texcoords.empty())
        shape.texcoordBuffer = uploadAttribute(2, shape.texcoords, 2);
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

} // namespace

Mesh::~Mesh()
{
    // NOTE: names are checked before each call; a mesh that never loaded lives in a
    // process whose GL entry points may all be null.
    for (MeshShape& shape : shapes) {
        if (shape.vao != 0)
            glDeleteVertexArrays(1, &shape.vao);
        for (GLuint buffer : {shape.positionBuffer, shape.normalBuffer, shape.texcoordBuffer}) {
            if (buffer != 0)
                glDeleteBuffers(1, &buffer);
        }
    }
}

void Mesh::load(std::string path)
{
    // The parsed data is needed only while the shapes are built.
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> parsedShapes;
    std::vector<tinyobj::material_t> materials; // read with the model, never used
    std::string warning;
    // The parser reads a directory as an empty model; for the game it is as unreadable as a
    // missing file.
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored))
        failToLoad(path, "not a file");
    const std::string materialFolder = platform::dataPath("assets/");
    if (!tinyobj::LoadObj(&attrib, &parsedShapes, &materials, &warning, nullptr, path.c_str(),
                          materialFolder.c_str(), true, true))
        failToLoad(path, warning);
    if (!indicesInRange(attrib, parsedShapes))
        failToLoad(path, warning + "face index out of range");

    // Every position counts, also ones no face uses, so the radius covers the whole file.
    radius = recentrePositions(attrib.vertices);

    for (const tinyobj::shape_t& parsed : parsedShapes) {
        shapes.push_back(expandShape(attrib, parsed));
        uploadShape(shapes.back());
    }
    std::cout << path << " loaded.\n";
}
