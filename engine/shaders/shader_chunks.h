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
// are row-vector (p * M).
const std::string& deformation_chunk();

// `blendColors(base, blend, mode)` with the 26 blending modes; needs EPSILON
// from the preamble.
const std::string& blend_colors_chunk();

// `ApplyFog(colour, alpha, world position)` returning (colour, alpha) after
// mist and fog, with the Fog* and Mist* uniforms; includes the blending
// chunk. The source must declare `varying float EyeZ` before this chunk.
const std::string& fog_and_mist_chunk();

}  // namespace tavrel
