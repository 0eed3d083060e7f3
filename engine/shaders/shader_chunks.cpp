#include "engine/shaders/shader_chunks.h"

namespace tavrel {

const std::string& deformation_chunk() {
    static const std::string text = R"glsl(
uniform bool ApplyDeformation;
uniform mat4 WorldToDeformationTransform;
uniform mat4 DeformationToWorldTransform;
uniform float Amplitude;
uniform int DeformType;

struct DeformationOutput {
    vec4 eye_position;
    vec4 world_position;
    vec3 world_normal;
    vec3 world_tangent;
    vec3 world_binormal;
};

DeformationOutput Deform(vec4 local_vertex, vec3 local_normal, vec3 local_tangent, vec3 local_binormal,
                         mat4 view_transform)
{
    DeformationOutput o;
    o.world_position = gl_ModelViewMatrix * local_vertex;
    o.world_normal = gl_NormalMatrix * local_normal;
    o.world_tangent = gl_NormalMatrix * local_tangent;
    o.world_binormal = gl_NormalMatrix * local_binormal;
    o.eye_position = o.world_position * view_transform;
#ifndef TAVREL_NO_DEFORMATION
    if (!ApplyDeformation)
        return o;

    // Box coordinates: the region spans -0.5 to 0.5 on each axis. J is the
    // map's derivative there, column by column (d/dx, d/dy, d/dz of the
    // deformed box point). Beyond the x faces the shape is the face's, so
    // the turn and the height do not change along x there; on a face the
    // derivative is the one from inside, where the surface bends.
    vec4 b = o.world_position * WorldToDeformationTransform;
    float inside = abs(b.x) <= 0.50001 ? 1.0 : 0.0;
    mat3 J;
    if (DeformType == 0) {
        float angle = radians(clamp(b.x + 0.5, 0.0, 1.0) * Amplitude * 360.0);
        float c = cos(angle);
        float s = sin(angle);
        mat3 R = mat3(1.0, 0.0, 0.0, 0.0, c, s, 0.0, -s, c);
        b = vec4(R * b.xyz, 1.0);
        // The angle grows along x: a step in x also turns the point (y, z).
        float turn = inside * radians(Amplitude * 360.0);
        J = mat3(vec3(1.0, -turn * b.z, turn * b.y), R[1], R[2]);
    } else {
        float xs = clamp(b.x, -0.5, 0.5);
        if (DeformType == 1) {
            b.z -= Amplitude * (1.25 - 5.0 * xs * xs);
            J = mat3(1.0, 0.0, inside * 10.0 * Amplitude * xs, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0);
        } else {
            float a = Amplitude > 0.0 ? 100.0 : 3.6;
            float depth_scale = Amplitude * (0.25 * a - a * xs * xs) + 1.0;
            J = mat3(1.0, 0.0, -inside * 2.0 * a * Amplitude * xs * b.z, 0.0, 1.0, 0.0, 0.0, 0.0, depth_scale);
            b.z *= depth_scale;
        }
    }
    // The same derivative in world units: the region's proportions enter
    // through the box transforms (row vectors, so their linear parts are
    // transposed). A surface element of normal n becomes one of normal
    // cofactor(J) n, whose columns are the cross products of J's. The
    // tangent and binormal are made the same way (each the cross product of
    // the normal and one of the surface's derivatives), and the fragment
    // stage adds them to the normal with the height's slopes, so all three
    // take the same map and the same scale: the normal keeps its length.
    mat3 Jw = transpose(mat3(DeformationToWorldTransform)) * J * transpose(mat3(WorldToDeformationTransform));
    mat3 C = mat3(cross(Jw[1], Jw[2]), cross(Jw[2], Jw[0]), cross(Jw[0], Jw[1]));
    vec3 n = C * o.world_normal;
    float from = length(o.world_normal);
    float to = length(n);
    // Where the map folds the surface flat (a bulge beyond its amplitudes)
    // no normal exists; the undeformed ones stay.
    if (to > 1e-6 * from) {
        float k = from / to;
        o.world_normal = k * n;
        o.world_tangent = k * (C * o.world_tangent);
        o.world_binormal = k * (C * o.world_binormal);
    }
    o.world_position = b * DeformationToWorldTransform;
    o.eye_position = o.world_position * view_transform;
#endif
    return o;
}
)glsl";
    return text;
}

const std::string& blend_colors_chunk() {
    static const std::string text = R"glsl(
vec3 blend_cmp(vec3 a, vec3 b) { return max(sign(a - b), 0.0); }
vec3 blend_burn(vec3 A, vec3 B) { return 1.0 - (1.0 - A) / max(B, EPSILON); }
vec3 blend_dodge(vec3 A, vec3 B) { return A / max(1.0 - B, EPSILON); }
vec3 blend_overlay(vec3 A, vec3 B)
{
    return mix(2.0 * A * B, 1.0 - 2.0 * (1.0 - A) * (1.0 - B), blend_cmp(A, vec3(0.5)));
}
vec3 blend_vivid(vec3 A, vec3 B)
{
    return mix(blend_burn(A, 2.0 * B), blend_dodge(A, 2.0 * (B - 0.5)), blend_cmp(B, vec3(0.5)));
}
vec3 blend_rgb_to_yuv(vec3 c)
{
    return vec3(dot(vec3(0.299, 0.587, 0.114), c), dot(vec3(-0.169, -0.331, 0.499), c),
                dot(vec3(0.499, -0.418, -0.0813), c));
}
vec3 blend_yuv_to_rgb(vec3 c)
{
    return vec3(dot(vec3(1.0, 0.0, 1.402), c), dot(vec3(1.0, -0.344, -0.714), c),
                dot(vec3(1.0, 1.772, 0.0), c));
}
vec2 blend_direction(vec2 chroma)
{
    float l = length(chroma);
    return l > 0.0 ? chroma / l : vec2(0.0);
}

// A is the base colour, B the blend colour; the result replaces B.
vec3 blendColors(vec3 A, vec3 B, int type)
{
    const vec3 luma = vec3(0.3, 0.59, 0.11);
    const vec3 half3 = vec3(0.5);
    if (type == 2) return min(A, B);
    if (type == 3) return A * B;
    if (type == 4) return blend_burn(A, B);
    if (type == 5) return A + B - 1.0;
    if (type == 6) return dot(B, luma) < dot(A, luma) ? B : A;
    if (type == 8) return max(A, B);
    if (type == 9) return 1.0 - (1.0 - A) * (1.0 - B);
    if (type == 10) return blend_dodge(A, B);
    if (type == 11) return A + B;
    if (type == 12) return dot(B, luma) > dot(A, luma) ? B : A;
    if (type == 14) return blend_overlay(A, B);
    if (type == 15)
        return mix(2.0 * A * B + A * A * (1.0 - 2.0 * B), sqrt(A) * (2.0 * B - 1.0) + 2.0 * A * (1.0 - B),
                   blend_cmp(B, half3));
    if (type == 16) return blend_overlay(B, A);
    if (type == 17) return blend_vivid(A, B);
    if (type == 18) return mix(A + 2.0 * B - 1.0, A + 2.0 * (B - 0.5), blend_cmp(B, half3));
    if (type == 19) return mix(min(A, 2.0 * B), max(A, 2.0 * (B - 0.5)), blend_cmp(B, half3));
    if (type == 20) return blend_cmp(blend_vivid(A, B), half3);
    if (type == 22) return abs(A - B);
    if (type == 23) return A + B - 2.0 * A * B;
    if (type == 24) return A - B;
    if (type == 25) return A / max(B, EPSILON);
    if (type >= 27 && type <= 30) {
        vec3 a = blend_rgb_to_yuv(A);
        vec3 b = blend_rgb_to_yuv(B);
        vec3 r;
        if (type == 27) r = vec3(a.x, blend_direction(b.yz) * length(a.yz));
        else if (type == 28) r = vec3(a.x, blend_direction(a.yz) * length(b.yz));
        else if (type == 29) r = vec3(a.x, b.yz);
        else r = vec3(b.x, a.yz);
        return blend_yuv_to_rgb(r);
    }
    return B;
}
)glsl";
    return text;
}

const std::string& fog_and_mist_chunk() {
    static const std::string text = blend_colors_chunk() + R"glsl(
uniform float FogIntensity;
uniform int FogExponent;
uniform vec3 FogColor;
uniform float FogAlpha;
uniform float FogNear;
uniform float FogFar;
uniform float FogPreserveAlpha;
uniform int FogBlending;
uniform float MistIntensity;
uniform int MistExponent;
uniform vec3 MistColor;
uniform float MistAlpha;
uniform vec3 MistNear;
uniform vec3 MistFar;
uniform float MistPreserveAlpha;
uniform int MistBlending;

// Falloff types 1 and 2 are powers, 3 and above a smooth step.
float interpFog(float v, int type)
{
    float t = float(type);
    return mix(pow(clamp(v, 0.0, 1.0), t), smoothstep(0.0, 1.0, v), max(sign(t - 2.0), 0.0));
}

vec4 ApplyFog(vec3 colour, float alpha, vec3 position)
{
#ifndef TAVREL_MIST_BLENDING
#define TAVREL_MIST_BLENDING MistBlending
#endif
#ifndef TAVREL_FOG_BLENDING
#define TAVREL_FOG_BLENDING FogBlending
#endif
#ifndef TAVREL_NO_MIST
    if (MistExponent > 0) {
        vec3 d = MistNear - MistFar;
        float l = length(d) + 0.001;
        float f = dot(MistNear - position, d) / (l * l);
        f = interpFog(f, MistExponent) * MistIntensity;
        colour = mix(colour, blendColors(colour, MistColor, TAVREL_MIST_BLENDING), f * MistAlpha);
        alpha = mix(alpha, mix(MistAlpha, MistAlpha * alpha, MistPreserveAlpha), f);
    }
#endif
#ifndef TAVREL_NO_FOG
    if (FogExponent > 0) {
        float range = max(FogFar - FogNear, 1.0);
        float f = (EyeZ - FogNear) / range;
        f = interpFog(f, FogExponent) * FogIntensity;
        colour = mix(colour, blendColors(colour, FogColor, TAVREL_FOG_BLENDING), f * FogAlpha);
        alpha = mix(alpha, mix(FogAlpha, FogAlpha * alpha, FogPreserveAlpha), f);
    }
#endif
    return vec4(colour, alpha);
}
)glsl";
    return text;
}

const std::string& noise_chunk() {
    static const std::string text = [] {
        std::string groups;
        for (const char* prefix : {"Disp", "Global", "Local"}) {
            const std::string p = prefix;
            groups += "uniform float " + p + "NoiseAmplitude;\nuniform float " + p + "NoiseFrequency;\n" +
                      "uniform float " + p + "NoiseEvolution;\nuniform vec3 " + p + "NoiseAmplMult;\n" +
                      "uniform vec3 " + p + "NoiseFreqMult;\nuniform vec3 " + p + "NoiseEvoMult;\n" +
                      "uniform int " + p + "NoiseOctaves;\nuniform float " + p + "NoiseGain;\n" +
                      "uniform float " + p + "NoiseLacunarity;\n";
        }
        return "\n" + groups + R"glsl(
vec3 noise_mod289(vec3 x) { return x - floor(x * (1.0 / 289.0)) * 289.0; }
vec2 noise_mod289(vec2 x) { return x - floor(x * (1.0 / 289.0)) * 289.0; }
vec3 noise_permute(vec3 x) { return noise_mod289((x * 34.0 + 1.0) * x); }

// Two-dimensional simplex noise, about -1 to 1.
float noise2d(vec2 v)
{
    const vec4 C = vec4(0.211324865405187,    // (3 - sqrt(3)) / 6
                        0.366025403784439,    // (sqrt(3) - 1) / 2
                        -0.577350269189626,   // -1 + 2 C.x
                        0.024390243902439);   // 1 / 41
    vec2 i = floor(v + dot(v, C.yy));
    vec2 x0 = v - i + dot(i, C.xx);
    vec2 i1 = x0.x > x0.y ? vec2(1.0, 0.0) : vec2(0.0, 1.0);
    vec4 x12 = x0.xyxy + C.xxzz;
    x12.xy -= i1;
    i = noise_mod289(i);
    vec3 p = noise_permute(noise_permute(i.y + vec3(0.0, i1.y, 1.0)) + i.x + vec3(0.0, i1.x, 1.0));
    vec3 m = max(0.5 - vec3(dot(x0, x0), dot(x12.xy, x12.xy), dot(x12.zw, x12.zw)), 0.0);
    m = m * m;
    m = m * m;
    // 41 gradients on a line, mapped to a diamond.
    vec3 x = 2.0 * fract(p * C.www) - 1.0;
    vec3 h = abs(x) - 0.5;
    vec3 ox = floor(x + 0.5);
    vec3 a0 = x - ox;
    m *= 1.79284291400159 - 0.85373472095314 * (a0 * a0 + h * h);
    vec3 g;
    g.x = a0.x * x0.x + h.x * x0.y;
    g.yz = a0.yz * x12.xz + h.yz * x12.yw;
    return 130.0 * dot(m, g);
}

float fbm2(vec2 p, float amplitude, float evolution, float frequency, int octaves, float lacunarity, float gain,
           vec2 freqMult, vec2 evoMult)
{
    if (amplitude * float(octaves) * frequency == 0.0)
        return 0.0;
    p *= frequency * freqMult;
    float sum = 0.0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * noise2d(p - evoMult * evolution * float(i + 1));
        amplitude *= gain;
        p *= lacunarity;
    }
    return sum;
}
)glsl";
    }();
    return text;
}

const std::string& displacement_noise_chunk() {
    static const std::string text = noise_chunk() + R"glsl(
uniform float DispNoiseStart;
uniform float DispNoiseStartFade;
uniform float DispNoiseStop;
uniform float DispNoiseStopFade;
uniform int DispNoiseMapChannel;
uniform float disp_map_scale;
uniform bool disp_map_premultiply;

float get_disp_channel(vec4 raw, int channel)
{
    if (disp_map_premultiply)
        raw.rgb *= raw.a;
    float mean = (raw.r + raw.g + raw.b) / 3.0;
    if (channel == 1) return raw.r;
    if (channel == 2) return raw.g;
    if (channel == 3) return raw.b;
    if (channel == 4) return raw.a;
    if (channel == 5) return mean;
    if (channel == 6) return 1.0 - mean;
    if (channel == 7) return 1.0 - raw.r;
    if (channel == 8) return 1.0 - raw.g;
    if (channel == 9) return 1.0 - raw.b;
    if (channel == 10) return 1.0 - raw.a;
    return 1.0;
}

float interpNoise(float beg, float end, float v, float range)
{
    return pow(smoothstep(beg, end, v), range * range);
}

float get_disp_height(vec4 raw, int channel, vec2 pos)
{
    float h = get_disp_channel(raw, channel);
#ifdef TAVREL_NO_DISP_NOISE
    return h;
#else
    float k = DispNoiseAmplitude * get_disp_channel(raw, DispNoiseMapChannel);
    if (k * DispNoiseFrequency == 0.0)
        return h;
    bool single = DispNoiseStart <= DispNoiseStop;
    bool in_band = single ? (h >= DispNoiseStart && h <= DispNoiseStop)
                          : (h >= DispNoiseStart || h <= DispNoiseStop);
    if (!in_band)
        return h;
    float w = 1.0;
    if (single) {
        float mid = 0.5 * (DispNoiseStart + DispNoiseStop);
        if (DispNoiseStartFade > 0.0 && h <= mid)
            w = interpNoise(DispNoiseStart, mid, h, DispNoiseStartFade);
        else if (DispNoiseStopFade > 0.0)
            w = interpNoise(DispNoiseStop, mid, h, DispNoiseStopFade);
    } else {
        if (DispNoiseStopFade > 0.0 && h <= DispNoiseStop)
            w = interpNoise(DispNoiseStop, 0.0, h, DispNoiseStopFade);
        else if (DispNoiseStartFade > 0.0 && h >= DispNoiseStart)
            w = interpNoise(DispNoiseStart, 1.0, h, DispNoiseStartFade);
    }
    return h + fbm2(pos - 0.5, w * k, DispNoiseEvolution * DispNoiseEvoMult.z, DispNoiseFrequency / 10.0,
                    DispNoiseOctaves, DispNoiseLacunarity, DispNoiseGain, DispNoiseFreqMult.xy,
                    DispNoiseEvoMult.xy);
#endif
}
)glsl";
    return text;
}

const std::string& vertex_displacement_chunk(bool with_map) {
    static const std::string with = displacement_noise_chunk() + R"glsl(
uniform sampler2D vheight_map;
uniform float disp_map_bias;
uniform int disp_map_channel;
uniform float lod_bias;

vec3 displace_vertex(vec3 position, vec3 N, vec2 st, int channel, out float hmap_alpha)
{
    vec4 texel = texture2DLod(vheight_map, st, lod_bias);
    hmap_alpha = texel.a;
    float h = get_disp_height(texel, channel, st) * disp_map_scale + disp_map_bias;
    return position + h * normalize(N);
}
)glsl";
    static const std::string without = R"glsl(
uniform float disp_map_bias;

vec3 displace_vertex(vec3 position, vec3 N, vec2 st, int channel, out float hmap_alpha)
{
    hmap_alpha = 1.0;
    return position + disp_map_bias * normalize(N);
}
)glsl";
    return with_map ? with : without;
}

}  // namespace tavrel
