#version 330 core
// One direction of a separable 9-tap Gaussian blur of the bright image.
// Uniforms: sampler2D image (unit 0), int horizontal (1 blurs along x, 0 along y),
// int bloom_enabled (0 passes the image through unchanged).

// Stage-to-stage locations need GLSL 4.10 or this extension; without it the varyings
// still match by name.
#ifdef GL_ARB_separate_shader_objects
#extension GL_ARB_separate_shader_objects : enable
#define VARYING(n) layout(location = n)
#else
#define VARYING(n)
#endif

VARYING(0) in vec2 texCoord;

layout(location = 0) out vec4 fragColor;

uniform sampler2D image;
uniform int horizontal;
uniform int bloom_enabled;

// A 9-tap Gaussian (binomial weights of order 12 without the faint outer taps) folded
// into 5 fetches: each pair of neighbouring taps is read at the weighted point between
// them, where the linear filter returns exactly their weighted sum.
const int FETCHES = 3;
const float OFFSETS[FETCHES] = float[](0.0, 1.3846153846, 3.2307692308);
const float WEIGHTS[FETCHES] = float[](0.2270270270, 0.3162162162, 0.0702702703);

vec3 blurAlong(vec2 texelStep)
{
    vec3 sum = texture(image, texCoord).rgb * WEIGHTS[0];
    for (int i = 1; i < FETCHES; ++i) {
        sum += texture(image, texCoord + texelStep * OFFSETS[i]).rgb * WEIGHTS[i];
        sum += texture(image, texCoord - texelStep * OFFSETS[i]).rgb * WEIGHTS[i];
    }
    return sum;
}

void main()
{
    if (bloom_enabled == 0) {
        fragColor = vec4(texture(image, texCoord).rgb, 1.0);
        return;
    }
    vec2 texel = 1.0 / vec2(textureSize(image, 0));
    vec2 texelStep = horizontal == 1 ? vec2(texel.x, 0.0) : vec2(0.0, texel.y);
    fragColor = vec4(blurAlong(texelStep), 1.0);
}
