// OBJ models as flat, recentred vertex arrays uploaded to vertex array objects.
#pragma once

#include <string>
#include <vector>

#include "MeshGeometry.h"

class Mesh {
public:
    float radius = 0.0f; // bounding radius after recentring, model units
    std::vector<MeshShape> shapes;

    Mesh() = default;
    ~Mesh();
    Mesh(const Mesh&) = delete;
    Mesh& operator=(const Mesh&) = delete;

    // A file the parser cannot read ends the process with status 255.
    void load(std::string path);
};
