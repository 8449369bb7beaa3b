#version 330 core
// HUD glyphs: the colour, with the glyph's coverage (red channel) as alpha.
// Uniforms: sampler2D glyph (unit 0, the default), vec3 text_color.

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

uniform sampler2D glyph;
uniform vec3 text_color;

float coverage()
{
    return texture(glyph, texCoord).r;
}

void main()
{
    fragColor = vec4(text_color, coverage());
}
