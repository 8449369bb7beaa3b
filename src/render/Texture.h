// Image files to mipmapped GL textures.
#pragma once

#include <string>

struct TextureFormats {
    int internalFormat; // GL internal format
    int pixelFormat;    // GL pixel format of the decoded bytes
};

// Upload formats for a decoded image with `channels` channels (1 to 4).
TextureFormats textureFormatsFor(int channels, bool gammaCorrection);

// Returns a texture name in every case; a file that cannot be decoded gives an empty
// texture that samples as black. Needs a current GL context.
unsigned int loadTexture(std::string path, bool gammaCorrection);
