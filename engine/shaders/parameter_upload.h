// Routines that feed whole groups of uniforms from the engine's inputs: the
// material and atmosphere settings, the deformation region, the camera's view
// and a noise group. Each uniform is set only when the program has it.
// Rendering thread only, with the engine's context current.
#pragma once

#include <string>

#include "engine/interfaces/deformation_collection.h"
#include "engine/interfaces/displacement_settings.h"
#include "engine/interfaces/noise_parameters.h"
#include "engine/shaders/program.h"
#include "engine/interfaces/shader_collection.h"

namespace tavrel {

// prefix + "NoiseAmplitude", "NoiseEvolution" (halved), "NoiseFrequency"
// (divided by 10), "NoiseAmplMult", "NoiseFreqMult", "NoiseEvoMult",
// "NoiseOctaves", "NoiseGain", "NoiseLacunarity".
void set_noise_uniforms(IProgram& program, const NoiseParameters& noise, const std::string& prefix);

// Map channels, reflection, fog, mist and Fresnel settings. Only a
// ShaderParameters record has any; another collection (NoShader) sets nothing.
void upload_material_parameters(const IShaderCollection& shader_parameters, IProgram& program);

// "ApplyDeformation", "DeformationToWorldTransform" (the unit box -0.5..0.5
// scaled by the region's size and moved to its position),
// "WorldToDeformationTransform" (its inverse), "Amplitude", "DeformType".
void upload_deformation_parameters(const IDeformationCollection& deformation, IProgram& program);

// The height map's scale, channel, mask and noise as the shading and peeling
// programs read them. The mesh is displaced already, so the programs only
// differentiate the map: its bias is always 0.
void upload_displacement_parameters(const DisplacementSettings& displacement, IProgram& program);

// "ViewTransform" = the view matrix, "CameraPosition" = the translation of
// the inverse view matrix, "CameraEye" = the eye in homogeneous world
// coordinates: (CameraPosition, 1) for a camera with a centre of projection;
// for an orthographic one, whose eye is at infinity, (d, 0) with d the unit
// direction from the scene towards the camera (the inverse view's z axis).
// A program shades with E = normalize(CameraEye.xyz - CameraEye.w * P) and
// measures depth as the eye's distance, or along the view where w is 0.
// 16 doubles each, translation at 12 to 14.
void upload_view_parameters(IProgram& program, const double* view, const double* inverse_view,
                            bool orthographic = false);

}  // namespace tavrel
