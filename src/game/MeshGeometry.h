// Model geometry apart from its upload: flat per-vertex arrays, recentring and index checks.
#pragma once

#include <vector>

#include <tiny_obj_loader.h>

#include "SharedFloats.h"

// One drawable piece. Copies share the GL names; only the owning Mesh deletes them.
struct MeshShape {
    unsigned int vao = 0;
    unsigned int positionBuffer = 0;
    unsigned int normalBuffer = 0;   // 0 when the shape has no normals
    unsigned int texcoordBuffer = 0; // 0 when the shape has no texture coordinates
    SharedFloats positions;          // 3 per vertex, recentred
    SharedFloats normals;            // 3 per vertex, as in the file; may be empty
    SharedFloats texcoords;          // 2 per vertex, as in the file; may be empty

    unsigned int vertexCount() const { return static_cast<unsigned int>(positions.size() / 3); }
};

// Moves the centre of the bounding box of `xyz` (consecutive triples) to the origin, in
// place, and returns the largest distance of any point from the new origin.
float recentrePositions(std::vector<float>& xyz);

// False when any corner of any shape points outside the parsed arrays.
bool indicesInRange(const tinyobj::attrib_t& attrib, const std::vector<tinyobj::shape_t>& shapes);

// One shape's corners as flat arrays, one entry per vertex in every array it keeps.
MeshShape expandShape(const tinyobj::attrib_t& attrib, const tinyobj::shape_t& shape);
