// Material maps and the planet picture, drawn from noise and written as PNG or JPEG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Image {
    int width = 0;
    int height = 0;
    int channels = 0;            // 1 grey, 3 RGB
    std::vector<uint8_t> pixels; // rows top first, tightly packed

    Image(int w, int h, int c) : width(w), height(h), channels(c), pixels(size_t(w) * h * c) {}
    // `value` in [0, 1] (clamped), one per channel.
    void set(int x, int y, int channel, float value);
};

// A scalar field, one float per pixel, rows top first.
struct HeightField {
    int width = 0;
    int height = 0;
    std::vector<float> values;

    HeightField(int w, int h) : width(w), height(h), values(size_t(w) * h) {}
    float& at(int x, int y) { return values[size_t(y) * width + x]; }
    // Wraps around both edges, as the tiling textures do.
    float wrapped(int x, int y) const;
};

// Tangent-space normal map: +x along u (columns), +y along t (rows downwards), +z out of
// the surface. `strength` scales the slopes (height units per pixel).
Image normalMapFrom(const HeightField& heights, float strength);

bool writePng(const std::string& path, const Image& image);
bool writeJpg(const std::string& path, const Image& image, int quality);

// Each writes its files into `directory` and returns false when one could not be written.
bool writeHullMaps(const std::string& directory);
bool writeRockMaps(const std::string& directory);
bool writeGoldMaps(const std::string& directory);
bool writeEarth(const std::string& directory);
