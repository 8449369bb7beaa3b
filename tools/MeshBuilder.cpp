#include "MeshBuilder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>

#include <glm/geometric.hpp>

namespace {

constexpr float kPi = 3.14159265358979f;

glm::vec3 anyPerpendicular(glm::vec3 n)
{
    glm::vec3 helper = std::fabs(n.y) < 0.9f ? glm::vec3(0, 1, 0) : glm::vec3(1, 0, 0);
    return glm::normalize(glm::cross(helper, n));
}

// The normal from two tangent offsets: it works at the poles and is the same on every
// copy of a seam vertex.
glm::vec3 surfaceNormal(const SurfaceFunction& surface, glm::vec3 d)
{
    const float step = 1e-3f;
    glm::vec3 e1 = anyPerpendicular(d), e2 = glm::cross(d, e1);
    glm::vec3 p = surface(d);
    glm::vec3 n = glm::cross(surface(glm::normalize(d + e1 * step)) - p,
                             surface(glm::normalize(d + e2 * step)) - p);
    return glm::dot(n, d) < 0.0f ? -n : n;
}

// Longitude and colatitude of a unit direction as texture coordinates of a world map.
glm::vec2 sphereTexcoord(glm::vec3 d)
{
    float u = std::atan2(d.x, d.z) / (2.0f * kPi);
    if (u < 0.0f)
        u += 1.0f;
    return {u, std::acos(std::clamp(d.y, -1.0f, 1.0f)) / kPi};
}

// A triangle's texture coordinates without a jump across the seam or a pole's undefined u.
std::array<glm::vec2, 3> triangleTexcoords(const std::array<glm::vec3, 3>& d)
{
    std::array<glm::vec2, 3> uv;
    for (int k = 0; k < 3; ++k)
        uv[k] = sphereTexcoord(d[k]);
    float lowest = std::min({uv[0].x, uv[1].x, uv[2].x});
    float highest = std::max({uv[0].x, uv[1].x, uv[2].x});
    if (highest - lowest > 0.5f)
        for (glm::vec2& t : uv)
            if (t.x < 0.5f)
                t.x += 1.0f;
    for (int k = 0; k < 3; ++k)
        if (std::fabs(d[k].y) > 0.99999f)
            uv[k].x = 0.5f * (uv[(k + 1) % 3].x + uv[(k + 2) % 3].x);
    return uv;
}

// The point a share `t` of the way along the great circle from unit vector a to b.
glm::vec3 slerp(glm::vec3 a, glm::vec3 b, float t)
{
    float angle = std::acos(std::clamp(glm::dot(a, b), -1.0f, 1.0f));
    if (angle < 1e-6f)
        return a;
    return (a * std::sin((1.0f - t) * angle) + b * std::sin(t * angle)) / std::sin(angle);
}

} // namespace

unsigned int MeshBuilder::addVertex(glm::vec3 position, glm::vec3 normal, glm::vec2 texcoord)
{
    vertices.push_back({position, glm::normalize(normal), texcoord});
    return static_cast<unsigned int>(vertices.size() - 1);
}

void MeshBuilder::addTriangle(unsigned int a, unsigned int b, unsigned int c)
{
    indices.insert(indices.end(), {a, b, c});
}

void MeshBuilder::addFlatPolygon(const std::vector<glm::vec3>& corners, const UvMap& uv)
{
    glm::vec3 normal(0.0f);
    for (std::size_t i = 1; i + 1 < corners.size(); ++i)
        normal += glm::cross(corners[i] - corners[0], corners[i + 1] - corners[0]);
    if (glm::length(normal) < 1e-9f)
        return;
    normal = glm::normalize(normal);
    glm::vec3 tangent = anyPerpendicular(normal);
    glm::vec3 bitangent = glm::cross(normal, tangent);
    glm::vec2 lowest(1e30f);
    for (const glm::vec3& corner : corners)
        lowest = glm::min(lowest, glm::vec2(glm::dot(corner, tangent), glm::dot(corner, bitangent)));
    unsigned int first = static_cast<unsigned int>(vertices.size());
    for (const glm::vec3& corner : corners) {
        glm::vec2 planar(glm::dot(corner, tangent), glm::dot(corner, bitangent));
        addVertex(corner, normal, uv.origin + (planar - lowest) / uv.worldSize * uv.extent);
    }
    for (unsigned int i = 1; i + 1 < corners.size(); ++i)
        addTriangle(first, first + i, first + i + 1);
}

void MeshBuilder::addPrism(const std::vector<glm::vec2>& outline, float zBack, float zFront,
                           const std::function<glm::vec3(glm::vec3)>& place, const UvMap& uv)
{
    std::vector<std::vector<glm::vec3>> faces(2);
    for (const glm::vec2& p : outline) {
        faces[0].push_back(place(glm::vec3(p, zFront)));
        faces[1].push_back(place(glm::vec3(p, zBack)));
    }
    for (std::size_t i = 0; i < outline.size(); ++i) {
        const glm::vec2& a = outline[i];
        const glm::vec2& b = outline[(i + 1) % outline.size()];
        faces.push_back({place(glm::vec3(a, zBack)), place(glm::vec3(b, zBack)),
                         place(glm::vec3(b, zFront)), place(glm::vec3(a, zFront))});
    }
    glm::vec3 centre(0.0f);
    for (const glm::vec3& p : faces[0])
        centre += p;
    for (const glm::vec3& p : faces[1])
        centre += p;
    centre /= static_cast<float>(2 * outline.size());
    for (std::vector<glm::vec3>& face : faces) {
        glm::vec3 normal(0.0f), middle(0.0f);
        for (std::size_t i = 0; i < face.size(); ++i) {
            normal += glm::cross(face[i], face[(i + 1) % face.size()]);
            middle += face[i];
        }
        if (glm::dot(normal, middle / static_cast<float>(face.size()) - centre) < 0.0f)
            std::reverse(face.begin(), face.end());
        addFlatPolygon(face, uv);
    }
}

void MeshBuilder::addTube(float cx, const std::vector<Station>& stations, int segments,
                          bool capBack, bool capFront, const UvMap& uv)
{
    auto ringPoint = [&](const Station& s, int k) {
        float angle = 2.0f * kPi * static_cast<float>(k) / static_cast<float>(segments);
        return glm::vec3(cx + s.rx * std::cos(angle), s.cy + s.ry * std::sin(angle), s.z);
    };
    // Smooth normals: cross the ring tangent with the direction along the tube.
    auto ringNormal = [&](std::size_t i, int k) {
        std::size_t prev = i == 0 ? 0 : i - 1;
        std::size_t next = i + 1 < stations.size() ? i + 1 : i;
        glm::vec3 along = ringPoint(stations[next], k) - ringPoint(stations[prev], k);
        float angle = 2.0f * kPi * static_cast<float>(k) / static_cast<float>(segments);
        const Station& s = stations[i];
        glm::vec3 around(-s.rx * std::sin(angle), s.ry * std::cos(angle), 0.0f);
        glm::vec3 n = glm::cross(around, along);
        if (glm::length(n) < 1e-9f)
            n = glm::vec3(std::cos(angle), std::sin(angle), 0.0f);
        return glm::normalize(n);
    };
    std::vector<unsigned int> rings;
    for (std::size_t i = 0; i < stations.size(); ++i) {
        rings.push_back(static_cast<unsigned int>(vertices.size()));
        for (int k = 0; k <= segments; ++k) {
            glm::vec2 along(static_cast<float>(k) / static_cast<float>(segments),
                            (stations[i].z - stations.front().z) / uv.worldSize);
            addVertex(ringPoint(stations[i], k), ringNormal(i, k), uv.origin + along * uv.extent);
        }
    }
    for (std::size_t i = 0; i + 1 < stations.size(); ++i)
        for (int k = 0; k < segments; ++k) {
            unsigned int a = rings[i] + k, b = rings[i] + k + 1;
            unsigned int c = rings[i + 1] + k + 1, d = rings[i + 1] + k;
            addTriangle(a, b, c);
            addTriangle(a, c, d);
        }
    auto cap = [&](const Station& s, bool facingFront) {
        std::vector<glm::vec3> corners;
        for (int k = 0; k < segments; ++k)
            corners.push_back(ringPoint(s, facingFront ? k : segments - k));
        addFlatPolygon(corners, uv);
    };
    if (capBack)
        cap(stations.front(), false);
    if (capFront)
        cap(stations.back(), true);
}


void MeshBuilder::addGeodesicSphere(int frequency, const SurfaceFunction& surface, const UvMap& uv)
{
    // The icosahedron: the poles and two rings of five, at latitude +-atan(1/2).
    const float ringY = 1.0f / std::sqrt(5.0f), ringRadius = 2.0f / std::sqrt(5.0f);
    std::vector<glm::vec3> corners{{0.0f, 1.0f, 0.0f}};
    for (int ring = 0; ring < 2; ++ring)
        for (int i = 0; i < 5; ++i) {
            float phi = (2.0f * i + ring) * kPi / 5.0f;
            corners.push_back({ringRadius * std::sin(phi), ring == 0 ? ringY : -ringY,
                               ringRadius * std::cos(phi)});
        }
    corners.push_back({0.0f, -1.0f, 0.0f});
    std::vector<std::array<int, 3>> faces;
    for (int i = 0; i < 5; ++i) {
        int upper = 1 + i, upperNext = 1 + (i + 1) % 5, lower = 6 + i, lowerNext = 6 + (i + 1) % 5;
        faces.push_back({0, upper, upperNext});
        faces.push_back({upper, lower, upperNext});
        faces.push_back({upperNext, lower, lowerNext});
        faces.push_back({11, lowerNext, lower});
    }

    // Shared corners are found again by value: neighbouring faces compute them alike.
    std::map<std::array<long, 5>, unsigned int> known;
    auto vertexAt = [&](glm::vec3 d, glm::vec2 t) {
        auto key = [](float x) { return std::lround(x * 1e5f); };
        std::array<long, 5> id{key(d.x), key(d.y), key(d.z), key(t.x), key(t.y)};
        auto found = known.find(id);
        if (found != known.end())
            return found->second;
        unsigned int index =
            addVertex(surface(d), surfaceNormal(surface, d), uv.origin + t * uv.extent);
        known.emplace(id, index);
        return index;
    };
    auto addSphericalTriangle = [&](std::array<glm::vec3, 3> d) {
        // Counter-clockwise seen from outside, whatever order the face listed them in.
        if (glm::dot(glm::cross(d[1] - d[0], d[2] - d[0]), d[0] + d[1] + d[2]) < 0.0f)
            std::swap(d[1], d[2]);
        std::array<glm::vec2, 3> t = triangleTexcoords(d);
        addTriangle(vertexAt(d[0], t[0]), vertexAt(d[1], t[1]), vertexAt(d[2], t[2]));
    };
    const float n = static_cast<float>(frequency);
    for (const std::array<int, 3>& face : faces) {
        glm::vec3 a = corners[face[0]], b = corners[face[1]], c = corners[face[2]];
        // Points spaced evenly along great circles, not along the flat face: the triangles
        // come out more alike, and the largest of them decides how round the sphere looks.
        auto point = [&](int i, int j) {
            int row = i + j;
            if (row == 0)
                return a;
            glm::vec3 left = slerp(a, b, row / n), right = slerp(a, c, row / n);
            return slerp(left, right, static_cast<float>(j) / static_cast<float>(row));
        };
        for (int i = 0; i < frequency; ++i)
            for (int j = 0; i + j < frequency; ++j) {
                addSphericalTriangle({point(i, j), point(i + 1, j), point(i, j + 1)});
                if (i + j + 1 < frequency)
                    addSphericalTriangle({point(i + 1, j), point(i + 1, j + 1), point(i, j + 1)});
            }
    }
}

void MeshBuilder::orderTrianglesNearestFirst(glm::vec3 viewDirection)
{
    std::vector<std::array<unsigned int, 3>> triangles;
    for (std::size_t i = 0; i + 2 < indices.size(); i += 3)
        triangles.push_back({indices[i], indices[i + 1], indices[i + 2]});
    auto depth = [&](const std::array<unsigned int, 3>& t) {
        return glm::dot(vertices[t[0]].position + vertices[t[1]].position + vertices[t[2]].position,
                        viewDirection);
    };
    std::stable_sort(triangles.begin(), triangles.end(),
                     [&](const auto& x, const auto& y) { return depth(x) < depth(y); });
    indices.clear();
    for (const auto& t : triangles)
        indices.insert(indices.end(), t.begin(), t.end());
}

bool MeshBuilder::writeObj(const std::string& directory, const std::string& name,
                           const std::string& materialName) const
{
    std::string mtlPath = directory + "/" + name + ".mtl";
    FILE* mtl = std::fopen(mtlPath.c_str(), "w");
    if (!mtl)
        return false;
    std::fprintf(mtl, "newmtl %s\nKa 0 0 0\nKd 0.8 0.8 0.8\nKs 0.5 0.5 0.5\nNs 64\nillum 2\n",
                 materialName.c_str());
    std::fclose(mtl);

    std::string objPath = directory + "/" + name + ".obj";
    FILE* obj = std::fopen(objPath.c_str(), "w");
    if (!obj)
        return false;
    std::fprintf(obj, "# Orbelune procedural model: %zu triangles\nmtllib %s.mtl\no %s\n",
                 triangleCount(), name.c_str(), name.c_str());
    for (const MeshVertex& v : vertices)
        std::fprintf(obj, "v %.5f %.5f %.5f\n", v.position.x, v.position.y, v.position.z);
    for (const MeshVertex& v : vertices)
        std::fprintf(obj, "vt %.5f %.5f\n", v.texcoord.x, v.texcoord.y);
    for (const MeshVertex& v : vertices)
        std::fprintf(obj, "vn %.4f %.4f %.4f\n", v.normal.x, v.normal.y, v.normal.z);
    std::fprintf(obj, "usemtl %s\ns 1\n", materialName.c_str());
    for (std::size_t i = 0; i < indices.size(); i += 3) {
        unsigned int a = indices[i] + 1, b = indices[i + 1] + 1, c = indices[i + 2] + 1;
        std::fprintf(obj, "f %u/%u/%u %u/%u/%u %u/%u/%u\n", a, a, a, b, b, b, c, c, c);
    }
    bool ok = std::ferror(obj) == 0;
    return std::fclose(obj) == 0 && ok;
}
