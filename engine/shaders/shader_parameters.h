// The material and atmosphere settings of one frame, as the uniform upload
// and the shading programs read them. The layout is a record of 32-bit words
// whose positions the consumers rely on; the frame set-up fills it from the
// effect's parameters.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/interfaces/shader_collection.h"

namespace tavrel {

// Word positions are part of the contract: see the static_asserts below.
// Choices taken from pop-ups are unsigned words, everything else floats.
struct ShaderParameterWords {
    std::uint32_t specular_map_channel = 0;    // 0
    std::uint32_t shininess_map_channel = 0;   // 1
    std::uint32_t metal_map_channel = 0;       // 2
    std::uint32_t opacity_map_channel = 0;     // 3
    std::uint32_t reflection_map_channel = 0;  // 4
    std::uint32_t reflection_blending = 0;     // 5
    float reflection_offset_x = 0.0f;          // 6, radians
    float reflection_offset_y = 0.0f;          // 7, radians
    std::uint32_t fog_type = 0;                // 8
    float fog_intensity = 1.0f;                // 9
    float fog_color[3] = {0.0f, 0.0f, 0.0f};   // 10-12
    float fog_opacity = 0.0f;                  // 13
    float fog_near = 5000.0f;                  // 14
    std::uint32_t unused_15_16[2] = {0, 0};
    // The fog's far distance defaults past its near one, so that a record
    // that was never filled still describes a usable fog range.
    float fog_far = 15000.0f;                  // 17
    float reserved_18 = 15000.0f;              // 18
    std::uint32_t unused_19_34[16] = {};
    std::uint32_t fog_blending = 0;            // 35
    float fog_preserve_alpha = 0.0f;           // 36
    std::uint32_t mist_type = 0;               // 37
    float mist_intensity = 1.0f;               // 38
    float mist_color[3] = {0.0f, 0.0f, 0.0f};  // 39-41
    float mist_opacity = 0.0f;                 // 42
    float mist_near[3] = {0.0f, 0.0f, 0.0f};   // 43-45, world space
    float mist_far[3] = {0.0f, 0.0f, 0.0f};    // 46-48, world space
    std::uint32_t unused_49_63[15] = {};
    std::uint32_t mist_blending = 0;           // 64
    float mist_preserve_alpha = 0.0f;          // 65
    float fresnel_bias = 0.0f;                 // 66
    float fresnel_scale = 0.0f;                // 67
    float fresnel_power = 0.0f;                // 68
    float fresnel_display = 0.0f;              // 69
};

#define TAVREL_SHADER_WORD(field, word) \
    static_assert(offsetof(ShaderParameterWords, field) == (word) * 4, #field " is word " #word)
TAVREL_SHADER_WORD(specular_map_channel, 0);
TAVREL_SHADER_WORD(reflection_map_channel, 4);
TAVREL_SHADER_WORD(reflection_blending, 5);
TAVREL_SHADER_WORD(reflection_offset_x, 6);
TAVREL_SHADER_WORD(fog_type, 8);
TAVREL_SHADER_WORD(fog_intensity, 9);
TAVREL_SHADER_WORD(fog_color, 10);
TAVREL_SHADER_WORD(fog_opacity, 13);
TAVREL_SHADER_WORD(fog_near, 14);
TAVREL_SHADER_WORD(fog_far, 17);
TAVREL_SHADER_WORD(reserved_18, 18);
TAVREL_SHADER_WORD(fog_blending, 35);
TAVREL_SHADER_WORD(fog_preserve_alpha, 36);
TAVREL_SHADER_WORD(mist_type, 37);
TAVREL_SHADER_WORD(mist_intensity, 38);
TAVREL_SHADER_WORD(mist_color, 39);
TAVREL_SHADER_WORD(mist_opacity, 42);
TAVREL_SHADER_WORD(mist_near, 43);
TAVREL_SHADER_WORD(mist_far, 46);
TAVREL_SHADER_WORD(mist_blending, 64);
TAVREL_SHADER_WORD(mist_preserve_alpha, 65);
TAVREL_SHADER_WORD(fresnel_bias, 66);
TAVREL_SHADER_WORD(fresnel_display, 69);
#undef TAVREL_SHADER_WORD
static_assert(sizeof(ShaderParameterWords) == 70 * 4, "seventy words");

class ShaderParameters : public IShaderCollection, public ShaderParameterWords {};

}  // namespace tavrel
