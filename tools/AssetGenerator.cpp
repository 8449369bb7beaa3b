// Writes every model and image the game loads into the directory named on the command
// line. The output depends only on this code: the same bytes on every run.
#include <cstdio>
#include <string>

#include "Images.h"
#include "Models.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::printf("usage: orbelune_assetgen <output directory>\n");
        return 1;
    }
    const std::string directory = argv[1];
    struct Model {
        const char* name;
        MeshBuilder (*build)();
        const char* material;
    };
    const Model models[] = {{"star-wars-arc-170-pbr", buildShip, "hull"},
                            {"sphere", buildSphere, "planet"},
                            {"Rock", buildRock, "rock"},
                            {"star", buildStar, "gold"}};
    bool ok = true;
    for (const Model& model : models) {
        MeshBuilder mesh = model.build();
        if (!mesh.writeObj(directory, model.name, model.material)) {
            std::printf("Cannot write %s/%s.obj\n", directory.c_str(), model.name);
            ok = false;
        }
    }
    if (!writeHullMaps(directory) || !writeRockMaps(directory) || !writeGoldMaps(directory) ||
        !writeEarth(directory)) {
        std::printf("Cannot write the images into %s\n", directory.c_str());
        ok = false;
    }
    return ok ? 0 : 1;
}
