#version 330 core
// Object vertices into world and clip space for physically based shading.
// Uniforms: mat4 model, mat4 view, mat4 projection.

// Stage-to-stage locations need GLSL 4.10 or this extension; without it the varyings
// still match by name.
#ifdef GL_ARB_separate_shader_objects
#extension GL_ARB_separate_shader_objects : enable
#define VARYING(n) layout(location = n)
#else
#define VARYING(n)
#endif

layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec2 aTexCoord;

VARYING(0) out vec3 worldPosition;
VARYING(1) out vec3 worldNormal;
VARYING(2) out vec2 texCoord;

uniform mat4 model;
uniform mat4 view;
uniform mat4 projection;

void main()
{
    vec4 world = model * vec4(aPosition, 1.0);
    worldPosition = world.xyz;
    // The model matrix scales uniformly, so its upper 3x3 keeps normals perpendicular.
    worldNormal = mat3(model) * aNormal;
    texCoord = aTexCoord;
    // Two matrix-vector products per vertex rather than a matrix product.
    gl_Position = projection * (view * world);
}
