// Texture loading: PNG and JPEG files decoded by stb_image into mipmapped 2D textures.
#include "Texture.h"

#include <GL/glew.h>
#include <stb_image.h>

#include <iostream>

TextureFormats textureFormatsFor(int channels, bool gammaCorrection)
{
    switch (channels) {
    case 1:
        // Grey data is never colour, so it stays linear either way.
        return {GL_RED, GL_RED};
    case 2:
        // Grey plus alpha: core profile has no luminance-alpha format, and GL_RG keeps
        // the grey value in red, where the shaders read one-channel maps. There is no
        // two-channel sRGB format, so gamma correction leaves it linear too.
        return {GL_RG, GL_RG};
    case 3:
        return {gammaCorrection ? GL_SRGB : GL_RGB, GL_RGB};
    case 4:
        return {gammaCorrection ? GL_SRGB_ALPHA : GL_RGBA, GL_RGBA};
    default:
        return {0, 0};
    }
}

unsigned int loadTexture(std::string path, bool gammaCorrection)
{
    GLuint texture = 0;
    glGenTextures(1, &texture);

    int width = 0;
    int height = 0;
    int channels = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &width, &height, &channels, 0);
    const TextureFormats formats = textureFormatsFor(channels, gammaCorrection);
    if (!pixels || formats.internalFormat == 0) {
        // The caller still gets a name: sampled without an image it reads as black.
        std::cout << "Texture failed to load at path: " << path << '\n';
        stbi_image_free(pixels);
        return texture;
    }

    // NOTE: relies on GL_UNPACK_ALIGNMENT being 1 (the text renderer sets it at
    // start-up); stb_image rows have no padding.
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, formats.internalFormat, width, height, 0,
                 static_cast<GLenum>(formats.pixelFormat), GL_UNSIGNED_BYTE, pixels);
    glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);

    stbi_image_free(pixels);
    std::cout << path << " loaded.\n";
    return texture;
}
