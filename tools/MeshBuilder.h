// Triangle meshes assembled from simple parts and written as Wavefront OBJ with an MTL.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

struct MeshVertex {
    glm::vec3 position;
    glm::vec3 normal;   // unit length
    glm::vec2 texcoord; // t = 0 is the first image row: textures are not flipped on load
};

// Where a part's texture coordinates land: a part of size `worldSize` (model units) fills
// the atlas rectangle at `origin` with size `extent`; smaller parts use a corner of it.
struct UvMap {
    glm::vec2 origin{0.0f};
    glm::vec2 extent{1.0f};
    float worldSize = 1.0f;
};

// Maps a point on a unit direction to its displaced surface point (for spheres and rocks).
using SurfaceFunction = std::function<glm::vec3(glm::vec3 direction)>;

class MeshBuilder {
public:
    std::vector<MeshVertex> vertices;
    std::vector<unsigned int> indices; // three per triangle, counter-clockwise seen from outside

    std::size_t triangleCount() const { return indices.size() / 3; }
    unsigned int addVertex(glm::vec3 position, glm::vec3 normal, glm::vec2 texcoord);
    void addTriangle(unsigned int a, unsigned int b, unsigned int c);

    // A flat-shaded convex polygon, counter-clockwise seen from its front, as a fan.
    // Texture coordinates are the positions projected on the polygon's plane.
    void addFlatPolygon(const std::vector<glm::vec3>& corners, const UvMap& uv);

    // A closed convex prism: `outline` in x/y extruded between z = zBack and z = zFront,
    // then moved by `place` (any affine map, mirrors included). Flat normals; every face
    // is turned to point away from the prism's centre whatever the outline's winding.
    void addPrism(const std::vector<glm::vec2>& outline, float zBack, float zFront,
                  const std::function<glm::vec3(glm::vec3)>& place, const UvMap& uv);

    // A smooth tube along +Z: at each station z[i] the cross-section is an ellipse of
    // half-widths rx[i], ry[i] centred at (cx, cy[i]); `segments` around. Open at both ends
    // unless `capBack`/`capFront` close them with a flat disc.
    struct Station {
        float z, rx, ry, cy;
    };
    void addTube(float cx, const std::vector<Station>& stations, int segments,
                 bool capBack, bool capFront, const UvMap& uv);

    // A subdivided icosahedron, a corner at each pole and every edge cut into `frequency`
    // parts, displaced by `surface`; normals come from the surface. Its triangles are nearly
    // equal everywhere, so it stays round in every direction for fewer triangles than a
    // latitude/longitude grid, whose triangles crowd at the poles. Texture coordinates span
    // `uv`'s rectangle (its worldSize is not used): u is the longitude, growing eastwards
    // around +Y from +Z, so the map is not mirrored seen from outside, and passes 1 on the
    // triangles that straddle the seam (the maps repeat); t runs from the north pole (+Y,
    // t = 0) to the south pole.
    void addGeodesicSphere(int frequency, const SurfaceFunction& surface, const UvMap& uv);

    // Stores the triangles nearest first as seen from far along -`viewDirection`: what
    // faces such a viewer is then drawn before what it hides, and the depth test rejects
    // the hidden part before it is shaded.
    void orderTrianglesNearestFirst(glm::vec3 viewDirection);

    // Writes `name`.obj and `name`.mtl into `directory`; returns false on an I/O failure.
    bool writeObj(const std::string& directory, const std::string& name,
                  const std::string& materialName) const;
};
