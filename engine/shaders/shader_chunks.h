// GLSL source chunks shared by several programs. Each chunk is kept here
// once and pasted into the sources that need it, after the preamble.
#pragma once

#include <string>

namespace tavrel {

// `Deform(vertex, normal, tangent, binormal, view)` returning a
// `DeformationOutput` {eye_position, world_position (vec4), world_normal,
// world_tangent, world_binormal (vec3)}, with its uniforms ApplyDeformation,
// WorldToDeformationTransform, DeformationToWorldTransform, Amplitude and
// DeformType. The model-view matrix holds the model matrix only; matrices
// are row-vector (p * M). The deformed normal, tangent and binormal are the
// undeformed ones taken through the cofactor of the map's derivative (in
// world units, the region's proportions included), all three scaled so that
// the normal keeps its length: the normal is that of the surface drawn, also
// once the fragment stage tilts it by the height's slopes.
const std::string& deformation_chunk();

// `blendColors(base, blend, mode)` with the 26 blending modes; needs EPSILON
// from the preamble.
const std::string& blend_colors_chunk();

// `ApplyFog(colour, alpha, world position)` returning (colour, alpha) after
// mist and fog, with the Fog* and Mist* uniforms; includes the blending
// chunk. The source must declare `varying float EyeZ` before this chunk.
const std::string& fog_and_mist_chunk();

// The noise uniform groups "Disp", "Global" and "Local" (NoiseAmplitude,
// NoiseFrequency, NoiseEvolution, NoiseAmplMult, NoiseFreqMult, NoiseEvoMult,
// NoiseOctaves, NoiseGain, NoiseLacunarity after the prefix), `noise2d(v)`,
// two-dimensional simplex noise, and `fbm2(p, amplitude, evolution,
// frequency, octaves, lacunarity, gain, freqMult, evoMult)`.
const std::string& noise_chunk();

// The noise chunk, then `get_disp_channel(raw, channel)` (channel codes 1-4
// red, green, blue, alpha, 5 the mean of rgb, 6 one minus it, 7-10 one minus
// red, green, blue, alpha, others 1.0; rgb premultiplied first when
// `disp_map_premultiply`) and `get_disp_height(raw, channel, pos)`, which
// adds the displacement noise inside its band, with the uniforms
// DispNoiseStart, DispNoiseStartFade, DispNoiseStop, DispNoiseStopFade,
// DispNoiseMapChannel, disp_map_scale and disp_map_premultiply.
const std::string& displacement_noise_chunk();

// `displace_vertex(position, N, st, channel, out hmap_alpha)`: with a map,
// moves the position along the unit normal by the height read from
// "vheight_map" at `lod_bias` times `disp_map_scale` plus `disp_map_bias`,
// hmap_alpha the texel's alpha; without, by `disp_map_bias` with hmap_alpha
// 1. The variant with a map includes the displacement noise chunk.
const std::string& vertex_displacement_chunk(bool with_map);

}  // namespace tavrel
