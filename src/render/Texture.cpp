// Texture loading: PNG and JPEG files decoded by stb_image into mipmapped 2D textures.
#include "Texture.h"

#include <GL/glew.h>
#include <stb_image.h>

#include <iostream>

#include "GlFlavour.h"

TextureFormats textureFormatsFor(int channels, bool gammaCorrection)
{
    switch (channels) {
    // Sized formats throughout: ES refuses the unsized ones, and the desktop gives the same.
    case 1:
        // Grey data is never colour, so it stays linear either way.
        return {GL_R8, GL_RED};
    case 2:
        // Grey plus alpha: core profile has no luminance-alpha format, and GL_RG keeps
        // the grey value in red, where the shaders read one-channel maps. There is no
        // two-channel sRGB format, so gamma correction leaves it linear too.
        return {GL_RG8, GL_RG};
    case 3:
        return {gammaCorrection ? GL_SRGB8 : GL_RGB8, GL_RGB};
    case 4:
        return {gammaCorrection ? GL_SRGB8_ALPHA8 : GL_RGBA8, GL_RGBA};
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
    // NOTE: ES cannot make mipmaps of SRGB8 (it is not renderable there), so a colour image
    // without alpha is decoded with an opaque one and stored as SRGB8_ALPHA8 instead.
    int fileChannels = 0;
    const bool addAlpha = openGlEs && gammaCorrection &&
                          stbi_info(path.c_str(), &width, &height, &fileChannels) && fileChannels == 3;
    unsigned char* pixels = stbi_load(path.c_str(), &width, &height, &channels, addAlpha ? 4 : 0);
    if (addAlpha)
        channels = 4;
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
