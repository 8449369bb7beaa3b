#version 330 core
// Composite: scene plus blurred bright parts, exposed, tone-mapped and gamma-corrected
// for the window.
// Uniforms: sampler2D scene (unit 0), sampler2D bloomBlur (unit 1), int bloom_enabled,
// float exposure.

// Each fragment reads the texel under it (gl_FragCoord), so the quad's texture
// coordinate is not needed here.

layout(location = 0) out vec4 fragColor;

uniform sampler2D scene;
uniform sampler2D bloomBlur;
uniform int bloom_enabled;
uniform float exposure;

const float GAMMA = 2.2;
// The adapted exposure maps the average green of the image to 1; this places that average
// at a mid-tone instead of near white.
const float MIDDLE_GREY = 0.35;
// Constants of a filmic curve (Narkowicz's fit of the ACES response).
const float A = 2.51;
const float B = 0.03;
const float C = 2.43;
const float D = 0.59;
const float E = 0.14;

vec3 filmicToneMap(vec3 colour)
{
    return clamp((colour * (A * colour + B)) / (colour * (C * colour + D) + E), 0.0, 1.0);
}

vec3 gammaCorrect(vec3 colour)
{
    return pow(colour, vec3(1.0 / GAMMA));
}

void main()
{
    // The quad covers both images exactly: whole texels are read, with none of the
    // filtering a software rasteriser would do for texture() even at a texel centre.
    ivec2 pixel = ivec2(gl_FragCoord.xy);
    vec3 hdr = texelFetch(scene, pixel, 0).rgb;
    if (bloom_enabled == 1)
        hdr += texelFetch(bloomBlur, pixel, 0).rgb;
    fragColor = vec4(gammaCorrect(filmicToneMap(hdr * exposure * MIDDLE_GREY)), 1.0);
}
