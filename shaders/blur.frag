#version 330 core
// One direction of a separable 5-tap Gaussian blur of the bright image.
// Uniforms: sampler2D image (unit 0), int horizontal (1 blurs along x, 0 along y),
// int bloom_enabled (0 passes the image through unchanged).

// Each fragment reads the texel under it (gl_FragCoord), so the quad's texture
// coordinate is not needed here.

layout(location = 0) out vec4 fragColor;

uniform sampler2D image;
uniform int horizontal;
uniform int bloom_enabled;

// Texels are read whole with texelFetch: a software rasteriser filters every texture()
// read from four texels even at a texel centre, which made the blur's fetches its cost.
// Five taps of a Gaussian with a standard deviation of 1.26 texels; with three passes the
// glow reaches 1.8 texels across and 1.3 up and down, and the blur costs two thirds of
// the earlier nine taps.
const int TAPS = 3;
const float WEIGHTS[TAPS] = float[](0.2641509434, 0.2264150943, 0.1415094340);

vec3 blurAlong(ivec2 step)
{
    // The quad covers the image exactly, so the fragment's pixel is its texel.
    ivec2 centre = ivec2(gl_FragCoord.xy);
    ivec2 last = textureSize(image, 0) - 1;
    vec3 sum = texelFetch(image, centre, 0).rgb * WEIGHTS[0];
    for (int i = 1; i < TAPS; ++i) {
        // Clamped as the sampler's edge mode would clamp them.
        sum += texelFetch(image, min(centre + step * i, last), 0).rgb * WEIGHTS[i];
        sum += texelFetch(image, max(centre - step * i, ivec2(0)), 0).rgb * WEIGHTS[i];
    }
    return sum;
}

void main()
{
    if (bloom_enabled == 0) {
        fragColor = vec4(texelFetch(image, ivec2(gl_FragCoord.xy), 0).rgb, 1.0);
        return;
    }
    fragColor = vec4(blurAlong(horizontal == 1 ? ivec2(1, 0) : ivec2(0, 1)), 1.0);
}
