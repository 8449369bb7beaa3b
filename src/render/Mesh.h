// OBJ models as flat, recentred vertex arrays uploaded to vertex array objects.
#pragma once

#include <string>
#include <vector>

// One drawable piece. Copies share the GL names; only the owning Mesh deletes them.
struct MeshShape {
    unsigned int vao = 0;
    unsigned int positionBuffer = 0;
    unsigned int normalBuffer = 0;   // 0 when the shape has no normals
    unsigned int texcoordBuffer = 0; // 0 when the shape has no texture coordinates
    std::vector<float> positions;    // 3 per vertex, recentred
    std::vector<float> normals;      // 3 per vertex, as in the file; may be empty
    std::vector<float> texcoords;    // 2 per vertex, as in the file; may be empty

    unsigned int vertexCount() const { return static_cast<unsigned int>(positions.size() / 3); }
};

// Moves the centre of the bounding box of `xyz` (consecutive triples) to the origin, in
// place, and returns the largest distance of any point from the new origin.
float recentrePositions(std::vector<float>& xyz);

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
