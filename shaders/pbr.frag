#version 330 core
// Cook-Torrance shading (GGX distribution, Smith geometry, Schlick Fresnel) of one point
// light, with tangent-space normal mapping built from screen-space derivatives.
// Uniforms: vec3 lightPosition, vec3 camPos, vec3 lightColor, sampler2D albedoMap,
// normalMap, metallicMap, roughnessMap, aoMap (units 0-4), int hdr_enabled.

// Stage-to-stage locations need GLSL 4.10 or this extension; without it the varyings
// still match by name.
#ifdef GL_ARB_separate_shader_objects
#extension GL_ARB_separate_shader_objects : enable
#define VARYING(n) layout(location = n)
#else
#define VARYING(n)
#endif

VARYING(0) in vec3 worldPosition;
VARYING(1) in vec3 worldNormal;
VARYING(2) in vec2 texCoord;

layout(location = 0) out vec4 fragColor;   // lit colour, linear HDR when hdr_enabled is 1
layout(location = 1) out vec4 brightColor; // the part above the bloom threshold

uniform vec3 lightPosition;
uniform vec3 camPos;
uniform vec3 lightColor;
uniform sampler2D albedoMap;
uniform sampler2D normalMap;
uniform sampler2D metallicMap;
uniform sampler2D roughnessMap;
uniform sampler2D aoMap;
uniform int hdr_enabled;

const float PI = 3.14159265359;
const vec3 DIELECTRIC_F0 = vec3(0.04);
const float MIN_ROUGHNESS = 0.04;     // a perfect mirror makes the GGX peak infinite
const float AMBIENT_STRENGTH = 0.08;
// The light's colour is 1e7 on purpose (it sits 100-250 units from everything it lights);
// this brings the radiance it delivers to about 1 on a white surface facing it, where the
// bloom threshold and the exposure range of the composite are made for.
const float RADIANCE_SCALE = 0.02;
const float BLOOM_THRESHOLD = 1.0;    // luminance above which a pixel feeds the bloom
const vec3 LUMINANCE = vec3(0.2126, 0.7152, 0.0722);
const float GAMMA = 2.2;
// Without the adaptive exposure of the HDR path, a fixed one.
const float DIRECT_EXPOSURE = 1.5;

// Per-pixel tangent frame from the derivatives of position and texture coordinate
// (no tangent attribute exists); T follows u and B follows t of the maps.
vec3 mappedNormal()
{
    vec3 tangentNormal = texture(normalMap, texCoord).xyz * 2.0 - 1.0;
    vec3 n = normalize(worldNormal);
    vec3 dp1 = dFdx(worldPosition);
    vec3 dp2 = dFdy(worldPosition);
    vec2 duv1 = dFdx(texCoord);
    vec2 duv2 = dFdy(texCoord);
    vec3 dp2perp = cross(dp2, n);
    vec3 dp1perp = cross(n, dp1);
    vec3 t = dp2perp * duv1.x + dp1perp * duv2.x;
    vec3 b = dp2perp * duv1.y + dp1perp * duv2.y;
    float largest = max(dot(t, t), dot(b, b));
    // Where the coordinates do not change (poles, degenerate faces) keep the vertex normal.
    if (largest < 1e-20)
        return n;
    float scale = inversesqrt(largest);
    return normalize(mat3(t * scale, b * scale, n) * tangentNormal);
}

float distributionGGX(vec3 n, vec3 h, float roughness)
{
    float a = roughness * roughness;
    float a2 = a * a;
    float nDotH = max(dot(n, h), 0.0);
    float denominator = nDotH * nDotH * (a2 - 1.0) + 1.0;
    return a2 / (PI * denominator * denominator);
}

float geometrySchlickGGX(float nDotV, float roughness)
{
    float r = roughness + 1.0;
    float k = r * r / 8.0;
    return nDotV / (nDotV * (1.0 - k) + k);
}

float geometrySmith(vec3 n, vec3 v, vec3 l, float roughness)
{
    return geometrySchlickGGX(max(dot(n, v), 0.0), roughness) *
           geometrySchlickGGX(max(dot(n, l), 0.0), roughness);
}

vec3 fresnelSchlick(float cosTheta, vec3 f0)
{
    return f0 + (1.0 - f0) * pow(clamp(1.0 - cosTheta, 0.0, 1.0), 5.0);
}

// Radiance arriving from the point light: inverse-square falloff, hence the huge colour.
vec3 lightRadiance()
{
    float distance = length(lightPosition - worldPosition);
    return lightColor * RADIANCE_SCALE / (distance * distance);
}

vec3 ambient(vec3 albedo, float ao)
{
    return vec3(AMBIENT_STRENGTH) * albedo * ao;
}

vec3 toneMapAndGamma(vec3 colour)
{
    vec3 exposed = colour * DIRECT_EXPOSURE;
    vec3 mapped = exposed / (exposed + vec3(1.0));
    return pow(mapped, vec3(1.0 / GAMMA));
}

void main()
{
    vec3 albedo = texture(albedoMap, texCoord).rgb;
    float metallic = texture(metallicMap, texCoord).r;
    float roughness = max(texture(roughnessMap, texCoord).r, MIN_ROUGHNESS);
    float ao = texture(aoMap, texCoord).r;

    vec3 n = mappedNormal();
    vec3 v = normalize(camPos - worldPosition);
    vec3 l = normalize(lightPosition - worldPosition);
    vec3 h = normalize(v + l);
    vec3 f0 = mix(DIELECTRIC_F0, albedo, metallic);

    float nDotL = max(dot(n, l), 0.0);
    float nDotV = max(dot(n, v), 0.0);
    vec3 fresnel = fresnelSchlick(max(dot(h, v), 0.0), f0);
    vec3 specular = distributionGGX(n, h, roughness) * geometrySmith(n, v, l, roughness) * fresnel /
                    (4.0 * nDotV * nDotL + 0.0001);
    vec3 diffuseShare = (vec3(1.0) - fresnel) * (1.0 - metallic);
    vec3 colour = (diffuseShare * albedo / PI + specular) * lightRadiance() * nDotL +
                  ambient(albedo, ao);

    float brightness = dot(colour, LUMINANCE);
    brightColor = brightness > BLOOM_THRESHOLD ? vec4(colour, 1.0) : vec4(0.0, 0.0, 0.0, 1.0);
    // Without the HDR pipeline this pass writes straight to the window.
    fragColor = vec4(hdr_enabled == 1 ? colour : toneMapAndGamma(colour), 1.0);
}
