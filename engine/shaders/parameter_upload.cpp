#include "engine/shaders/parameter_upload.h"

#include <cmath>
#include <stdexcept>

#include "engine/core/matrix4d.h"
#include "engine/shaders/uniform_helpers.h"
#include "engine/shaders/shader_parameters.h"

namespace tavrel {

namespace {

bool set_vec3_if_present(IProgram& program, const std::string& name, const float* v) {
    if (!program.has_parameter(name)) return false;
    program.get_parameter(name)->set_vec3(v[0], v[1], v[2]);
    return true;
}

bool set_matrix_if_present(IProgram& program, const std::string& name, const double* m16) {
    if (!program.has_parameter(name)) return false;
    program.get_parameter(name)->set_matrix(m16);
    return true;
}

// Pop-up choices are stored unsigned; the shaders take them as signed ints.
int as_int(std::uint32_t word) { return static_cast<int>(word); }

}  // namespace

void set_noise_uniforms(IProgram& program, const NoiseParameters& noise, const std::string& prefix) {
    set_uniform_float_if_present(program, prefix + "NoiseAmplitude", noise.amplitude);
    set_uniform_float_if_present(program, prefix + "NoiseEvolution", noise.evolution * 0.5f);
    set_float_uniform_if_present(program, prefix + "NoiseFrequency", noise.frequency / 10.0);
    set_vec3_if_present(program, prefix + "NoiseAmplMult", noise.amplitude_multipliers);
    set_vec3_if_present(program, prefix + "NoiseFreqMult", noise.frequency_multipliers);
    set_vec3_if_present(program, prefix + "NoiseEvoMult", noise.evolution_multipliers);
    set_uniform_int_if_present(program, prefix + "NoiseOctaves", noise.octaves);
    set_uniform_float_if_present(program, prefix + "NoiseGain", noise.gain);
    set_uniform_float_if_present(program, prefix + "NoiseLacunarity", noise.lacunarity);
}

void upload_material_parameters(const IShaderCollection& shader_parameters, IProgram& program) {
    const auto* p = dynamic_cast<const ShaderParameters*>(&shader_parameters);
    if (p == nullptr) return;
    set_channel_selector_uniform(program, as_int(p->specular_map_channel), "SpecularMapChannel");
    set_channel_selector_uniform(program, as_int(p->shininess_map_channel), "ShininessMapChannel");
    set_channel_selector_uniform(program, as_int(p->metal_map_channel), "MetalMapChannel");
    set_channel_selector_uniform(program, as_int(p->opacity_map_channel), "OpacityMapChannel");
    set_channel_selector_uniform(program, as_int(p->reflection_map_channel), "ReflectionMapChannel");
    set_uniform_int_if_present(program, "ReflectionBlending", as_int(p->reflection_blending));
    set_uniform_float_if_present(program, "ReflectionOffsetX", p->reflection_offset_x);
    set_uniform_float_if_present(program, "ReflectionOffsetY", p->reflection_offset_y);
    set_uniform_float_if_present(program, "FogIntensity", p->fog_intensity);
    set_uniform_int_if_present(program, "FogExponent", as_int(p->fog_type));
    set_vec3_if_present(program, "FogColor", p->fog_color);
    set_uniform_float_if_present(program, "FogAlpha", p->fog_opacity);
    set_uniform_float_if_present(program, "FogNear", p->fog_near);
    set_uniform_float_if_present(program, "FogFar", p->fog_far);
    set_uniform_float_if_present(program, "FogPreserveAlpha", p->fog_preserve_alpha);
    set_uniform_int_if_present(program, "FogBlending", as_int(p->fog_blending));
    set_uniform_float_if_present(program, "MistIntensity", p->mist_intensity);
    set_uniform_int_if_present(program, "MistExponent", as_int(p->mist_type));
    set_vec3_if_present(program, "MistColor", p->mist_color);
    set_uniform_float_if_present(program, "MistAlpha", p->mist_opacity);
    set_vec3_if_present(program, "MistNear", p->mist_near);
    set_vec3_if_present(program, "MistFar", p->mist_far);
    set_uniform_float_if_present(program, "MistPreserveAlpha", p->mist_preserve_alpha);
    set_uniform_int_if_present(program, "MistBlending", as_int(p->mist_blending));
    set_uniform_float_if_present(program, "FresnelBias", p->fresnel_bias);
    set_uniform_float_if_present(program, "FresnelScale", p->fresnel_scale);
    set_uniform_float_if_present(program, "FresnelPower", p->fresnel_power);
    set_uniform_float_if_present(program, "FresnelDisplay", p->fresnel_display);
}

void upload_deformation_parameters(const IDeformationCollection& deformation, IProgram& program) {
    const Vec3d size = deformation.size();
    const Vec3d position = deformation.position();
    Matrix4d to_world;
    to_world[0] = size.x;
    to_world[5] = size.y;
    to_world[10] = size.z;
    to_world[12] = position.x;
    to_world[13] = position.y;
    to_world[14] = position.z;
    // A collapsed region (the null object's) has no inverse; its adjugate is
    // finite and the shader does not use it, since such a region is never
    // applied.
    Matrix4d to_deformation;
    invert_matrix(to_world, to_deformation);
    set_uniform_int_if_present(program, "ApplyDeformation", deformation.apply_deformation() ? 1 : 0);
    set_matrix_if_present(program, "DeformationToWorldTransform", to_world.data());
    set_matrix_if_present(program, "WorldToDeformationTransform", to_deformation.data());
    set_uniform_float_if_present(program, "Amplitude", deformation.amplitude());
    set_uniform_int_if_present(program, "DeformType", deformation.deform_type());
}

void upload_view_parameters(IProgram& program, const double* view, const double* inverse_view,
                            bool orthographic) {
    if (program.has_parameter("ViewTransform")) {
        float f[16];
        for (int i = 0; i < 16; ++i) f[i] = static_cast<float>(view[i]);
        program.get_parameter("ViewTransform")->set_matrix_f(f);
    }
    const float camera[3] = {static_cast<float>(inverse_view[12]), static_cast<float>(inverse_view[13]),
                             static_cast<float>(inverse_view[14])};
    set_vec3_if_present(program, "CameraPosition", camera);
    if (!program.has_parameter("CameraEye")) return;
    if (!orthographic) {
        program.get_parameter("CameraEye")->set_vec4(camera[0], camera[1], camera[2], 1.0f);
        return;
    }
    // The camera's z axis in the world points from the scene back at it:
    // the engine's cameras look down -z. Normalised in double, since the
    // view may scale x for non-square pixels.
    const Vec3d towards(inverse_view[8], inverse_view[9], inverse_view[10]);
    const double length = std::sqrt(towards.x * towards.x + towards.y * towards.y + towards.z * towards.z);
    if (!(length > 0.0) || !std::isfinite(length))
        throw std::invalid_argument("An orthographic camera's view has no viewing direction.");
    program.get_parameter("CameraEye")->set_vec4(static_cast<float>(towards.x / length),
                                                 static_cast<float>(towards.y / length),
                                                 static_cast<float>(towards.z / length), 0.0f);
}

void upload_displacement_parameters(const DisplacementSettings& displacement, IProgram& program) {
    set_uniform_float_if_present(program, "disp_map_scale", displacement.scale);
    set_uniform_float_if_present(program, "disp_map_bias", 0.0f);
    set_uniform_int_if_present(program, "disp_map_premultiply", displacement.premultiply);
    set_uniform_int_if_present(program, "disp_map_use_alpha_as_mask", displacement.use_alpha_as_mask != 0 ? 1 : 0);
    set_uniform_float_if_present(program, "lod_bias", displacement.bias);
    set_channel_selector_uniform(program, static_cast<int>(displacement.channel), "disp_map_channel");
    set_noise_uniforms(program, displacement.noise, "Disp");
    set_uniform_float_if_present(program, "DispNoiseStart", displacement.noise_start);
    set_uniform_float_if_present(program, "DispNoiseStartFade", displacement.noise_start_fade);
    set_uniform_float_if_present(program, "DispNoiseStop", displacement.noise_stop);
    set_uniform_float_if_present(program, "DispNoiseStopFade", displacement.noise_stop_fade);
    set_channel_selector_uniform(program, static_cast<int>(displacement.noise_channel), "DispNoiseMapChannel");
}

}  // namespace tavrel
