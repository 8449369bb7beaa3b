#version 330 core
// Particle points: hot white-orange sparks, brighter than 1 while young so they bloom.
// Uniforms: none (view, projection and dt belong to the vertex stage).

// Stage-to-stage locations need GLSL 4.10 or this extension; without it the varyings
// still match by name.
#ifdef GL_ARB_separate_shader_objects
#extension GL_ARB_separate_shader_objects : enable
#define VARYING(n) layout(location = n)
#else
#define VARYING(n)
#endif

VARYING(1) in float glow;

layout(location = 0) out vec4 fragColor;   // HDR colour (the window when HDR is off)
layout(location = 1) out vec4 brightColor; // bloom input

const vec3 HOT_COLOUR = vec3(1.0, 0.85, 0.55);
const vec3 COOL_COLOUR = vec3(0.9, 0.3, 0.08);
const float PEAK_INTENSITY = 4.0;

vec3 sparkColour(float heat)
{
    return mix(COOL_COLOUR, HOT_COLOUR, heat) * PEAK_INTENSITY * heat;
}

void main()
{
    vec3 colour = sparkColour(glow);
    fragColor = vec4(colour, glow);
    brightColor = vec4(colour, glow);
}
