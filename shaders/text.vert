#version 330 core
// HUD glyph quads: window-pixel positions to clip space.
// Uniforms: mat4 projection (orthographic, window pixels, origin lower left).

// Stage-to-stage locations need GLSL 4.10 or this extension; without it the varyings
// still match by name.
#ifdef GL_ARB_separate_shader_objects
#extension GL_ARB_separate_shader_objects : enable
#define VARYING(n) layout(location = n)
#else
#define VARYING(n)
#endif

layout(location = 0) in vec4 vertex; // xy position in pixels, zw texture coordinate

VARYING(0) out vec2 texCoord;

uniform mat4 projection;

void main()
{
    texCoord = vertex.zw;
    gl_Position = projection * vec4(vertex.xy, 0.0, 1.0);
}
