// Renders the application icon from the generated planet picture into a hicolor icon tree.
// Usage: orbelune_icons <Earth.jpg> <output directory>
// Writes <output directory>/<N>x<N>/apps/orbelune.png for each usual hicolor size.
#include <cstdio>
#include <filesystem>
#include <string>

#include <stb_image.h>
#include <stb_image_write.h>

#include "IconPainter.h"

namespace {

constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::printf("Usage: %s <planet picture> <output directory>\n", argv[0]);
        return 2;
    }
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load(argv[1], &width, &height, &channels, 0);
    if (!pixels) {
        std::printf("Cannot read %s: %s\n", argv[1], stbi_failure_reason());
        return 1;
    }
    const PlanetMap map{width, height, channels, pixels};
    int status = 0;
    for (int size : kSizes) {
        const std::string name = std::to_string(size) + "x" + std::to_string(size);
        const std::filesystem::path folder = std::filesystem::path(argv[2]) / name / "apps";
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        const std::string path = (folder / "orbelune.png").string();
        const auto icon = paintPlanetIcon(map, size);
        if (error || !stbi_write_png(path.c_str(), size, size, 4, icon.data(), size * 4)) {
            std::printf("Cannot write %s\n", path.c_str());
            status = 1;
        }
    }
    stbi_image_free(pixels);
    return status;
}
