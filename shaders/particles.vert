#version 330 core
// GPU particle step: moves each particle of a burst outward along its own random
// direction, slowing and fading with age; the new record is captured by transform feedback.
// Uniforms: mat4 view, mat4 projection, float dt (seconds).

// Stage-to-stage locations need GLSL 4.10 or this extension; without it the varyings
// still match by name.
#ifdef GL_ARB_separate_shader_objects
#extension GL_ARB_separate_shader_objects : enable
#define VARYING(n) layout(location = n)
#else
#define VARYING(n)
#endif

layout(location = 0) in vec4 aRecord; // xyz position, w age stamp (see below)
layout(location = 1) in vec4 aRandom; // three values in [0, 1], fixed per particle

VARYING(0) out vec4 position; // captured: the record for the next frame
VARYING(1) out float glow;    // brightness for the fragment stage, 0..1

uniform mat4 view;
uniform mat4 projection;
uniform float dt;

const float SPEED_MIN = 1.0;     // units per second at birth
const float SPEED_MAX = 6.0;      // with the drag a burst stays within about 7 units
const float DRAG = 0.8;          // per second: bursts slow down as they spread
const float FADE_TIME = 1.2;     // seconds for brightness to fall to 1/e
const float TICKS_PER_SECOND = 100.0;
const float MAX_TICKS = 4000.0;  // ages saturate at 40 s; tick * 256 stays exact in a float
const float STAMP_RANGE = 256.0;

// NOTE: a new burst resets x, y and z but leaves w as captured. So w holds the age in
// ticks times 256 plus an 8-bit stamp of the position it was written with; a stamp that no
// longer matches the position means the particle was just re-emitted, and its age is 0.
float positionStamp(vec3 p)
{
    uvec3 bits = floatBitsToUint(p);
    uint h = bits.x * 73856093u ^ bits.y * 19349663u ^ bits.z * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return float(h & 255u);
}

float ageInSeconds(vec4 record)
{
    float ticks = floor(record.w / STAMP_RANGE);
    float stamp = record.w - ticks * STAMP_RANGE;
    return stamp == positionStamp(record.xyz) ? ticks / TICKS_PER_SECOND : 0.0;
}

vec3 burstDirection(vec3 random)
{
    vec3 direction = random * 2.0 - 1.0;
    float len = length(direction);
    return len > 1e-4 ? direction / len : vec3(0.0, 1.0, 0.0);
}

float launchSpeed(vec3 random)
{
    return mix(SPEED_MIN, SPEED_MAX, fract(random.x * 7.31 + random.y * 3.17 + random.z * 1.93));
}

void main()
{
    float age = ageInSeconds(aRecord);
    float speed = launchSpeed(aRandom.xyz) * exp(-DRAG * age);
    vec3 moved = aRecord.xyz + burstDirection(aRandom.xyz) * speed * dt;
    float ticks = min(floor((age + dt) * TICKS_PER_SECOND + 0.5), MAX_TICKS);
    position = vec4(moved, ticks * STAMP_RANGE + positionStamp(moved));
    glow = exp(-age / FADE_TIME);
    // Two matrix-vector products per point rather than a matrix product.
    gl_Position = projection * (view * vec4(moved, 1.0));
}
