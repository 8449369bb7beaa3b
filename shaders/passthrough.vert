#version 330 core
// The full-screen quad: clip-space positions as given, texture coordinate passed on.
// Uniforms: none.

// Stage-to-stage locations need GLSL 4.10 or this extension; without it the varyings
// still match by name.
#ifdef GL_ARB_separate_shader_objects
#extension GL_ARB_separate_shader_objects : enable
#define VARYING(n) layout(location = n)
#else
#define VARYING(n)
#endif

layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec2 aTexCoord;

VARYING(0) out vec2 texCoord;

void main()
{
    texCoord = aTexCoord;
    gl_Position = vec4(aPosition, 1.0);
}
