// Mesh: OBJ models parsed by tinyobjloader, recentred, and uploaded as flat triangle lists.
#include "Mesh.h"

#include <GL/glew.h>
#include <tiny_obj_loader.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <limits>

#include "platform/Platform.h"

namespace {

// A model the game cannot show ends start-up at once, without clean-up.
[[noreturn]] void failToLoad(const std::string& path, const std::string& warning)
{
    std::cout << "Cannot load " << path << "\n"
              << "\t" << warning << "\n";
    std::cout.flush();
    std::fflush(stdout);
    std::_Exit(-1);
}

// True when `index` names an element of an array holding `count` elements of
// `width` floats each.
bool inRange(int index, size_t count, size_t width)
{
    return index >= 0 && static_cast<size_t>(index) < count / width;
}

// The parser passes indices beyond the arrays through with no more than a warning,
// so each is checked here. A model that points outside its own data is broken;
// drawing a guess would hide that, so it fails like an unreadable file.
bool indicesInRange(const tinyobj::attrib_t& attrib, const std::vector<tinyobj::shape_t>& shapes)
{
    for (const tinyobj::shape_t& shape : shapes) {
        for (const tinyobj::index_t& corner : shape.mesh.indices) {
            if (!inRange(corner.vertex_index, attrib.vertices.size(), 3))
                return false;
            if (corner.normal_index >= 0 && !inRange(corner.normal_index, attrib.normals.size(), 3))
                return false;
            if (corner.texcoord_index >= 0 && !inRange(corner.texcoord_index, attrib.texcoords.size(), 2))
                return false;
        }
    }
    return true;
}

// Expands one shape's corners into flat arrays. A shape where only some corners
// carry a normal (or a texture coordinate) drops that attribute altogether, so
// every array always holds one entry per vertex and no attribute reads past its
// buffer.
MeshShape expandShape(const tinyobj::attrib_t& attrib, const tinyobj::shape_t& shape)
{
    bool allNormals = true;
    bool allTexcoords = true;
    for (const tinyobj::index_t& corner : shape.mesh.indices) {
        allNormals = allNormals && corner.normal_index >= 0;
        allTexcoords = allTexcoords && corner.texcoord_index >= 0;
    }

    MeshShape result;
    for (const tinyobj::index_t& corner : shape.mesh.indices) {
        const size_t p = 3 * static_cast<size_t>(corner.vertex_index);
        result.positions.insert(result.positions.end(), &attrib.vertices[p], &attrib.vertices[p] + 3);
        if (allNormals) {
            const size_t n = 3 * static_cast<size_t>(corner.normal_index);
            result.normals.insert(result.normals.end(), &attrib.normals[n], &attrib.normals[n] + 3);
        }
        if (allTexcoords) {
            const size_t t = 2 * static_cast<size_t>(corner.texcoord_index);
            result.texcoords.insert(result.texcoords.end(), &attrib.texcoords[t], &attrib.texcoords[t] + 2);
        }
    }
    return result;
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

float recentrePositions(std::vector<float>& xyz)
{
    const size_t count = xyz.size() / 3;
    if (count == 0)
        return 0.0f;

    float minimum[3];
    float maximum[3];
    for (int axis = 0; axis < 3; ++axis) {
        minimum[axis] = std::numeric_limits<float>::max();
        maximum[axis] = std::numeric_limits<float>::lowest();
    }
    for (size_t i = 0; i < count; ++i) {
        for (int axis = 0; axis < 3; ++axis) {
            const float value = xyz[3 * i + axis];
            minimum[axis] = std::min(minimum[axis], value);
            maximum[axis] = std::max(maximum[axis], value);
        }
    }

    float centre[3];
    for (int axis = 0; axis < 3; ++axis)
        centre[axis] = (minimum[axis] + maximum[axis]) * 0.5f;

    float largestSquared = 0.0f;
    for (size_t i = 0; i < count; ++i) {
        float squared = 0.0f;
        for (int axis = 0; axis < 3; ++axis) {
            float& value = xyz[3 * i + axis];
            value -= centre[axis];
            squared += value * value;
        }
        largestSquared = std::max(largestSquared, squared);
    }
    return std::sqrt(largestSquared);
}

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
