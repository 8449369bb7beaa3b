// The game's four models, built from parts and noise.
#pragma once

#include "MeshBuilder.h"

// Regions of the ship's texture atlas. The hull maps are tileable metal on the left; the
// right-hand column holds flat patches for the canopy glass, the engine glow and red paint.
namespace ShipAtlas {
constexpr float kHullWidth = 0.74f; // hull detail lives in u < kHullWidth
constexpr float kPatchLeft = 0.78f;
constexpr float kGlassTop = 0.03f, kGlassBottom = 0.30f;
constexpr float kGlowTop = 0.36f, kGlowBottom = 0.63f;
constexpr float kPaintTop = 0.69f, kPaintBottom = 0.97f;
} // namespace ShipAtlas

// A twin-engine starfighter about 6 units long, nose along +Z, top along +Y.
MeshBuilder buildShip();
// The unit sphere with equirectangular coordinates, north (t = 0) at +Y.
MeshBuilder buildSphere();
// A lumpy, cratered rock of radius about 1.
MeshBuilder buildRock();
// A five-pointed star, points at radius 1 in the x/y plane, bulging to +-0.3 in z.
MeshBuilder buildStar();
