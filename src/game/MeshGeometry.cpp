// Model geometry: what the parser hands over, checked, flattened and recentred.
#include "MeshGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace {

// True when `index` names an element of an array holding `count` elements of
// `width` floats each.
bool inRange(int index, std::size_t count, std::size_t width)
{
    return index >= 0 && static_cast<std::size_t>(index) < count / width;
}

} // namespace

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
        const std::size_t p = 3 * static_cast<std::size_t>(corner.vertex_index);
        result.positions.insert(result.positions.end(), &attrib.vertices[p], &attrib.vertices[p] + 3);
        if (allNormals) {
            const std::size_t n = 3 * static_cast<std::size_t>(corner.normal_index);
            result.normals.insert(result.normals.end(), &attrib.normals[n], &attrib.normals[n] + 3);
        }
        if (allTexcoords) {
            const std::size_t t = 2 * static_cast<std::size_t>(corner.texcoord_index);
            result.texcoords.insert(result.texcoords.end(), &attrib.texcoords[t], &attrib.texcoords[t] + 2);
        }
    }
    return result;
}

float recentrePositions(std::vector<float>& xyz)
{
    const std::size_t count = xyz.size() / 3;
    if (count == 0)
        return 0.0f;

    float minimum[3];
    float maximum[3];
    for (int axis = 0; axis < 3; ++axis) {
        minimum[axis] = std::numeric_limits<float>::max();
        maximum[axis] = std::numeric_limits<float>::lowest();
    }
    for (std::size_t i = 0; i < count; ++i) {
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
    for (std::size_t i = 0; i < count; ++i) {
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
